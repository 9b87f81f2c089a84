// The AVX-512 path of the per-plane entropy engine: 64 pixels of a column at
// once, one per byte lane, each pixel's bins sorted instead of counted.
//
// Reorganised against the definition, bits unchanged:
// - bins come sixteen samples at a time, with the same narrowing, truncation
//   and half-away comparison as the scalar rules;
// - a pixel's C^2 bins are sorted (a fixed sorting network run on 64 pixels
//   side by side), so equal bins form runs in ascending bin order and a run's
//   length is that bin's count: each lane adds the summand of every run where
//   it ends, in ascending order. Elsewhere it adds +0, which leaves the sum as
//   it is: the sum starts at +0 and every summand is +0 or negative, so the
//   sum is never -0.
// - a chunk of rows is first binned column by column, reading the plane in
//   memory order, and only then sorted and summed group by group.
#include "entropy/plane_entropy.h"

#if LF_X86_PATHS

// GCC 12 warns inside its own intrinsics, whose "undefined" vectors are
// deliberately self-initialised.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <immintrin.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "entropy/sorting_network.h"

#define LF_AVX512 LF_TARGET("avx512f,avx512bw,avx512vl,avx512dq,avx512vbmi")

namespace {

constexpr int kLanes = 64;
// Binned samples of one chunk of rows of a column, 64 bytes per angular sample
// and group, on the stack. A chunk that takes all rows reads the plane in one
// straight pass; when rows are split into chunks, every chunk jumps between
// the C block columns, which costs a quarter more time here. This holds all
// rows up to 1536 at C = 9 and up to 576 at C = 15.
constexpr int64_t kChunkBytes = 128 * 1024;

LF_AVX512 inline void compare_exchange(__m512i* x, int low, int high) {
  const __m512i u = x[low], v = x[high];
  x[low] = _mm512_min_epu8(u, v);
  x[high] = _mm512_max_epu8(u, v);
}

template <int count>
struct FixedNetwork {
  static constexpr SortingNetwork net = sorting_network(count);
  LF_AVX512 static void sort(__m512i* x) {
    LF_UNROLL_NETWORK
    for (int q = 0; q < net.size; ++q) compare_exchange(x, net.comparators[q].low, net.comparators[q].high);
  }
};

template <int... Cs>
LF_AVX512 bool sort_fixed(int64_t C, __m512i* x, std::integer_sequence<int, Cs...>) {
  return ((C == Cs + 1 ? (FixedNetwork<(Cs + 1) * (Cs + 1)>::sort(x), true) : false) || ...);
}

LF_AVX512 void sort_lanes(int64_t C, __m512i* x) { sort_fixed(C, x, std::make_integer_sequence<int, kLaneMaxBlock>()); }

// Per-call constants of the bin transposition and the summand lookup.
struct Layout {
  int64_t C;
  int samples;  // C^2
  int pairs;    // register pairs of binned samples of one block column of 64 pixels
  alignas(64) uint8_t source_byte[kLaneMaxBlock][kLanes];  // per angular row a, low 7 bits
  __mmask64 from_pair[kLaneMaxBlock][(kLaneMaxBlock + 1) / 2];
  alignas(64) uint8_t term_bytes[4][256];  // byte k of the summand of each count
};

// Where a pixel's byte lane is chosen so that unpacking summand bytes into
// floats (interleaving within 128-bit blocks) leaves sixteen consecutive
// pixels per float vector: lane 16L + 4q + i holds pixel 16q + 4L + i. Packing
// binned dwords into bytes interleaves the same way, so sample t of a 64-sample
// block sits in byte 16L + 4v + i for t = 16v + 4L + i.
constexpr int swap_quads(int x) { return (x & 3) | ((x >> 4) & 3) << 2 | ((x >> 2) & 3) << 4; }

void make_layout(Layout& layout, int64_t C, const EntropyTerms& terms) {
  layout.C = C;
  layout.samples = static_cast<int>(C * C);
  layout.pairs = static_cast<int>((C + 1) / 2);
  std::memset(layout.from_pair, 0, sizeof layout.from_pair);
  for (int a = 0; a < C; ++a)
    for (int lane = 0; lane < kLanes; ++lane) {
      const int sample = swap_quads(lane) * static_cast<int>(C) + a;  // within the block column
      const int byte = (sample & ~63) | swap_quads(sample & 63);
      layout.source_byte[a][lane] = static_cast<uint8_t>(byte & 127);
      layout.from_pair[a][byte >> 7] |= __mmask64{1} << lane;
    }
  for (int n = 0; n < 256; ++n) {
    uint32_t bits;
    std::memcpy(&bits, &terms.table[n], sizeof bits);
    for (int k = 0; k < 4; ++k) layout.term_bytes[k][n] = static_cast<uint8_t>(bits >> (8 * k));
  }
}

inline __mmask8 first_valid8(int64_t count) {
  return count >= 8 ? 0xFF : count <= 0 ? 0 : static_cast<__mmask8>((1u << count) - 1);
}

// Eight samples from `samples`, of which `count` exist; no address past them
// is formed, and the missing ones read as 0.
LF_AVX512 inline __m256 narrowed8(const double* samples, int64_t count) {
  if (count <= 0) return _mm256_setzero_ps();
  return _mm512_cvtpd_ps(_mm512_maskz_loadu_pd(first_valid8(count), samples));
}

// The bins of sixteen samples, as dwords.
template <BinRule rule>
LF_AVX512 inline __m512i bins16(const double* samples, int64_t count) {
  const __m256 low = narrowed8(samples, count);
  const __m256 high = count > 8 ? narrowed8(samples + 8, count - 8) : _mm256_setzero_ps();
  const __m512 f = _mm512_insertf32x8(_mm512_castps256_ps512(low), high, 1);
  const __m512i t = _mm512_cvttps_epi32(f);
  if (rule == BinRule::truncated) return t;
  const __m512 fraction = _mm512_sub_ps(f, _mm512_cvtepi32_ps(t));
  const __mmask16 up = _mm512_cmp_ps_mask(fraction, _mm512_set1_ps(0.5f), _CMP_GE_OQ);
  return _mm512_mask_add_epi32(t, up, t, _mm512_set1_epi32(1));
}

// Bins the C x 64 samples of block column b of a group (`valid` of them
// present; the rest, past the last row, are never read and bin as 0) and
// stores them as C vectors, one per angular row a, one pixel per lane.
template <BinRule rule>
LF_AVX512 void bin_block_column(const double* samples, int64_t valid, const Layout& layout, uint8_t* out) {
  __m512i packed[kLaneMaxBlock + 1];
  const int64_t C = layout.C;
  for (int64_t j = 0; j < C; ++j) {
    __m512i d[4];
    for (int v = 0; v < 4; ++v) {
      const int64_t at = 64 * j + 16 * v;
      d[v] = at < valid ? bins16<rule>(samples + at, valid - at) : _mm512_setzero_si512();
    }
    packed[j] = _mm512_packus_epi16(_mm512_packus_epi32(d[0], d[1]), _mm512_packus_epi32(d[2], d[3]));
  }
  packed[C] = _mm512_setzero_si512();
  for (int64_t a = 0; a < C; ++a) {
    const __m512i index = _mm512_load_si512(layout.source_byte[a]);
    __m512i row = _mm512_maskz_permutex2var_epi8(layout.from_pair[a][0], packed[0], index, packed[1]);
    for (int m = 1; m < layout.pairs; ++m)
      row = _mm512_mask_mov_epi8(row, layout.from_pair[a][m],
                                 _mm512_permutex2var_epi8(packed[2 * m], index, packed[2 * m + 1]));
    _mm512_store_si512(out + kLanes * a, row);
  }
}

// Summands of the lanes where a run ends, as four float vectors of sixteen
// consecutive pixels; +0 elsewhere.
template <bool two_pieces>
LF_AVX512 inline void ending_terms(__mmask64 ending, __m512i length, const __m512i (&table)[4][4], __m512 (&out)[4]) {
  __m512i bytes[4];
  const __mmask64 long_run = two_pieces ? _mm512_movepi8_mask(length) : 0;
  for (int k = 0; k < 4; ++k) {
    bytes[k] = _mm512_maskz_permutex2var_epi8(ending & ~long_run, table[k][0], length, table[k][1]);
    if (two_pieces)
      bytes[k] = _mm512_mask_mov_epi8(bytes[k], ending & long_run,
                                      _mm512_permutex2var_epi8(table[k][2], length, table[k][3]));
  }
  const __m512i low01 = _mm512_unpacklo_epi8(bytes[0], bytes[1]), high01 = _mm512_unpackhi_epi8(bytes[0], bytes[1]);
  const __m512i low23 = _mm512_unpacklo_epi8(bytes[2], bytes[3]), high23 = _mm512_unpackhi_epi8(bytes[2], bytes[3]);
  out[0] = _mm512_castsi512_ps(_mm512_unpacklo_epi16(low01, low23));
  out[1] = _mm512_castsi512_ps(_mm512_unpackhi_epi16(low01, low23));
  out[2] = _mm512_castsi512_ps(_mm512_unpacklo_epi16(high01, high23));
  out[3] = _mm512_castsi512_ps(_mm512_unpackhi_epi16(high01, high23));
}

// Entropies of the (up to) 64 pixels of a group from their sorted bins, into
// the map elements of rows r0 .. r0 + valid - 1.
template <bool two_pieces>
LF_AVX512 void group_entropies(const __m512i* sorted, const Layout& layout, double* map, int64_t valid,
                               MapUpdate update) {
  __m512i table[4][4];
  for (int k = 0; k < 4; ++k)
    for (int piece = 0; piece < 4; ++piece)
      table[k][piece] = _mm512_load_si512(layout.term_bytes[k] + kLanes * piece);
  const __m512i one = _mm512_set1_epi8(1);
  __m512 sums[4] = {_mm512_setzero_ps(), _mm512_setzero_ps(), _mm512_setzero_ps(), _mm512_setzero_ps()};
  __m512i length = one;
  const int n = layout.samples;
  for (int j = 0; j < n; ++j) {
    const __mmask64 ending = j + 1 < n ? _mm512_cmpneq_epu8_mask(sorted[j], sorted[j + 1]) : ~__mmask64{0};
    __m512 terms[4];
    ending_terms<two_pieces>(ending, length, table, terms);
    for (int q = 0; q < 4; ++q) sums[q] = _mm512_add_ps(sums[q], terms[q]);
    length = _mm512_mask_blend_epi8(ending, _mm512_add_epi8(length, one), one);
  }
  for (int q = 0; q < 4; ++q) {
    const int64_t count = valid - 16 * q;  // pixels of these sixteen that exist
    if (count <= 0) break;
    double* out = map + 16 * q;
    __m512 value = _mm512_mul_ps(sums[q], _mm512_set1_ps(-1.0f));
    if (update != MapUpdate::store) {
      // The partial sums of earlier planes, exactly single-precision values.
      const __m256 before_low = narrowed8(out, count);
      const __m256 before_high = count > 8 ? narrowed8(out + 8, count - 8) : _mm256_setzero_ps();
      value = _mm512_add_ps(_mm512_insertf32x8(_mm512_castps256_ps512(before_low), before_high, 1), value);
    }
    __m512d wide_low = _mm512_cvtps_pd(_mm512_castps512_ps256(value));
    __m512d wide_high = _mm512_cvtps_pd(_mm512_extractf32x8_ps(value, 1));
    if (update == MapUpdate::add_average) {
      wide_low = _mm512_div_pd(wide_low, _mm512_set1_pd(3.0));
      wide_high = _mm512_div_pd(wide_high, _mm512_set1_pd(3.0));
    }
    _mm512_mask_storeu_pd(out, first_valid8(count), wide_low);
    if (count > 8) _mm512_mask_storeu_pd(out + 8, first_valid8(count - 8), wide_high);
  }
}

template <BinRule rule>
LF_AVX512 void plane(const double* plane, int64_t rows, int64_t cols, int64_t C, const Layout& layout,
                     double* map, MapUpdate update) {
  const int64_t height = rows * C;
  const int n = layout.samples;
  const int64_t group_bytes = int64_t{kLanes} * n;
  const int64_t chunk_rows = kLanes * std::max<int64_t>(1, kChunkBytes / group_bytes);
  alignas(64) uint8_t bins[kChunkBytes];
  for (int64_t c = 0; c < cols; ++c) {
    for (int64_t first = 0; first < rows; first += chunk_rows) {
      const int64_t last = std::min(rows, first + chunk_rows);
      // Column by column in memory order: one pass over the chunk's samples.
      for (int64_t b = 0; b < C; ++b) {
        const double* column = plane + (c * C + b) * height;
        for (int64_t r0 = first; r0 < last; r0 += kLanes) {
          uint8_t* out = bins + (r0 - first) / kLanes * group_bytes + kLanes * C * b;
          bin_block_column<rule>(column + r0 * C, (last - r0) * C, layout, out);
        }
      }
      for (int64_t r0 = first; r0 < last; r0 += kLanes) {
        __m512i* sorted = reinterpret_cast<__m512i*>(bins + (r0 - first) / kLanes * group_bytes);
        sort_lanes(C, sorted);
        if (n + 1 > 128)
          group_entropies<true>(sorted, layout, map + r0 + c * rows, last - r0, update);
        else
          group_entropies<false>(sorted, layout, map + r0 + c * rows, last - r0, update);
      }
    }
  }
}

}  // namespace

void plane_entropy_avx512(BinRule rule, const double* plane_samples, int64_t rows, int64_t cols,
                          int64_t angular_size, const EntropyTerms& terms, double* map, MapUpdate update) {
  static_assert(kMaxSamples < 256, "run lengths must fit a byte");
  Layout layout;
  make_layout(layout, angular_size, terms);
  if (rule == BinRule::rounded)
    plane<BinRule::rounded>(plane_samples, rows, cols, angular_size, layout, map, update);
  else
    plane<BinRule::truncated>(plane_samples, rows, cols, angular_size, layout, map, update);
}

#endif
