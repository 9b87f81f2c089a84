// The AVX2 path of the per-plane entropy engine, for CPUs without AVX-512:
// 32 pixels of a column at once, one per byte lane, each pixel's bins sorted
// instead of counted, as on the AVX-512 path.
//
// Reorganised against the definition, bits unchanged:
// - bins come eight samples at a time, with the same narrowing, truncation
//   and half-away comparison as the scalar rules;
// - a pixel's C^2 bins are sorted by a fixed network run on 32 pixels side by
//   side, so equal bins form runs in ascending bin order and a run's length is
//   that bin's count; each lane adds the summand of every run where it ends,
//   in ascending order, and +0 elsewhere, which leaves the sum as it is (the
//   sum starts at +0 and every summand is +0 or negative, so it is never -0);
// - summands are fetched by gathering from the per-count table.
#include "entropy/plane_entropy.h"

#if LF_X86_PATHS

#include <immintrin.h>

#include <algorithm>
#include <utility>

#include "entropy/sorting_network.h"

#define LF_AVX2 LF_TARGET("avx2")

namespace {

constexpr int kLanes = 32;
// Binned samples of one chunk of rows of a column, 32 bytes per angular
// sample and group, on the stack; as on the AVX-512 path, a chunk that takes
// all rows of a column reads the plane in one straight pass. This holds all
// rows up to 1600 at C = 9 and up to 576 at C = 15.
constexpr int64_t kChunkBytes = 128 * 1024;

LF_AVX2 inline void compare_exchange(__m256i* x, int low, int high) {
  const __m256i u = x[low], v = x[high];
  x[low] = _mm256_min_epu8(u, v);
  x[high] = _mm256_max_epu8(u, v);
}

template <int count>
struct FixedNetwork {
  static constexpr SortingNetwork net = sorting_network(count);
  LF_AVX2 static void sort(__m256i* x) {
    LF_UNROLL_NETWORK
    for (int q = 0; q < net.size; ++q) compare_exchange(x, net.comparators[q].low, net.comparators[q].high);
  }
};

template <int... Cs>
LF_AVX2 bool sort_fixed(int64_t C, __m256i* x, std::integer_sequence<int, Cs...>) {
  return ((C == Cs + 1 ? (FixedNetwork<(Cs + 1) * (Cs + 1)>::sort(x), true) : false) || ...);
}

LF_AVX2 void sort_lanes(int64_t C, __m256i* x) { sort_fixed(C, x, std::make_integer_sequence<int, kLaneMaxBlock>()); }

// Lanes 0 .. count - 1 of four doubles, as the sign bits maskload and
// maskstore read.
LF_AVX2 inline __m256i first_valid4(int64_t count) {
  const __m256i lane = _mm256_set_epi64x(3, 2, 1, 0);
  return _mm256_cmpgt_epi64(_mm256_set1_epi64x(std::clamp<int64_t>(count, 0, 4)), lane);
}

// Eight samples from `samples`, of which `count` exist; no address past them
// is read, and the missing ones read as 0.
LF_AVX2 inline __m256 narrowed8(const double* samples, int64_t count) {
  if (count >= 8)  // plain loads where they can: masked ones are slower on some CPUs
    return _mm256_insertf128_ps(_mm256_castps128_ps256(_mm256_cvtpd_ps(_mm256_loadu_pd(samples))),
                                _mm256_cvtpd_ps(_mm256_loadu_pd(samples + 4)), 1);
  const __m128 low = _mm256_cvtpd_ps(_mm256_maskload_pd(samples, first_valid4(count)));
  const __m128 high = count > 4 ? _mm256_cvtpd_ps(_mm256_maskload_pd(samples + 4, first_valid4(count - 4)))
                                : _mm_setzero_ps();
  return _mm256_insertf128_ps(_mm256_castps128_ps256(low), high, 1);
}

// The bins of eight samples, as bytes in the low half.
template <BinRule rule>
LF_AVX2 inline __m128i bins8(const double* samples, int64_t count) {
  const __m256 f = narrowed8(samples, count);
  __m256i t = _mm256_cvttps_epi32(f);
  if (rule == BinRule::rounded) {
    const __m256 fraction = _mm256_sub_ps(f, _mm256_cvtepi32_ps(t));
    const __m256 up = _mm256_cmp_ps(fraction, _mm256_set1_ps(0.5f), _CMP_GE_OQ);
    t = _mm256_sub_epi32(t, _mm256_castps_si256(up));  // all ones is -1
  }
  const __m128i words = _mm_packus_epi32(_mm256_castsi256_si128(t), _mm256_extracti128_si256(t, 1));
  return _mm_packus_epi16(words, words);
}

// Bins the 32 x C samples of block column b of a group (`valid` of them
// present; the rest, past the last row, are never read and bin as 0) and
// stores them as C vectors, one per angular row a, one pixel per lane.
template <BinRule rule>
LF_AVX2 void bin_block_column(const double* samples, int64_t valid, int64_t C, uint8_t* out) {
  alignas(32) uint8_t in_order[kLanes * kLaneMaxBlock + 8];
  const int64_t n = kLanes * C;
  for (int64_t t = 0; t < n; t += 8) {
    const __m128i bins = t < valid ? bins8<rule>(samples + t, valid - t) : _mm_setzero_si128();
    _mm_storel_epi64(reinterpret_cast<__m128i*>(in_order + t), bins);
  }
  for (int64_t a = 0; a < C; ++a) {
    const uint8_t* from = in_order + a;
#pragma GCC unroll 32
    for (int lane = 0; lane < kLanes; ++lane) out[kLanes * a + lane] = from[lane * C];
  }
}

// Entropies of the (up to) 32 pixels of a group from their sorted bins, into
// the map elements of rows r0 .. r0 + valid - 1.
LF_AVX2 void group_entropies(const __m256i* sorted, int samples, const EntropyTerms& terms, double* map,
                             int64_t valid, MapUpdate update) {
  const __m256i one = _mm256_set1_epi8(1), all = _mm256_set1_epi8(-1);
  __m256 sums[4] = {_mm256_setzero_ps(), _mm256_setzero_ps(), _mm256_setzero_ps(), _mm256_setzero_ps()};
  __m256i length = one;
  for (int j = 0; j < samples; ++j) {
    const __m256i ending =
        j + 1 < samples ? _mm256_xor_si256(_mm256_cmpeq_epi8(sorted[j], sorted[j + 1]), all) : all;
    const __m128i length_halves[2] = {_mm256_castsi256_si128(length), _mm256_extracti128_si256(length, 1)};
    const __m128i ending_halves[2] = {_mm256_castsi256_si128(ending), _mm256_extracti128_si256(ending, 1)};
    for (int q = 0; q < 4; ++q) {
      const __m128i length8 = q % 2 ? _mm_srli_si128(length_halves[q / 2], 8) : length_halves[q / 2];
      const __m128i ending8 = q % 2 ? _mm_srli_si128(ending_halves[q / 2], 8) : ending_halves[q / 2];
      const __m256 term = _mm256_i32gather_ps(terms.table, _mm256_cvtepu8_epi32(length8), 4);
      const __m256 kept = _mm256_and_ps(term, _mm256_castsi256_ps(_mm256_cvtepi8_epi32(ending8)));
      sums[q] = _mm256_add_ps(sums[q], kept);
    }
    length = _mm256_blendv_epi8(_mm256_add_epi8(length, one), one, ending);
  }
  for (int q = 0; q < 4; ++q) {
    const int64_t count = valid - 8 * q;  // pixels of these eight that exist
    if (count <= 0) break;
    double* out = map + 8 * q;
    __m256 value = _mm256_mul_ps(sums[q], _mm256_set1_ps(-1.0f));
    // The partial sums of earlier planes, exactly single-precision values.
    if (update != MapUpdate::store) value = _mm256_add_ps(narrowed8(out, count), value);
    __m256d wide_low = _mm256_cvtps_pd(_mm256_castps256_ps128(value));
    __m256d wide_high = _mm256_cvtps_pd(_mm256_extractf128_ps(value, 1));
    if (update == MapUpdate::add_average) {
      wide_low = _mm256_div_pd(wide_low, _mm256_set1_pd(3.0));
      wide_high = _mm256_div_pd(wide_high, _mm256_set1_pd(3.0));
    }
    _mm256_maskstore_pd(out, first_valid4(count), wide_low);
    if (count > 4) _mm256_maskstore_pd(out + 4, first_valid4(count - 4), wide_high);
  }
}

template <BinRule rule>
LF_AVX2 void plane(const double* plane, int64_t rows, int64_t cols, int64_t C, const EntropyTerms& terms,
                   double* map, MapUpdate update) {
  const int64_t height = rows * C;
  const int n = static_cast<int>(C * C);
  const int64_t group_bytes = int64_t{kLanes} * n;
  const int64_t chunk_rows = kLanes * std::max<int64_t>(1, kChunkBytes / group_bytes);
  alignas(32) uint8_t bins[kChunkBytes];
  for (int64_t c = 0; c < cols; ++c) {
    for (int64_t first = 0; first < rows; first += chunk_rows) {
      const int64_t last = std::min(rows, first + chunk_rows);
      // Column by column in memory order: one pass over the chunk's samples.
      for (int64_t b = 0; b < C; ++b) {
        const double* column = plane + (c * C + b) * height;
        for (int64_t r0 = first; r0 < last; r0 += kLanes) {
          uint8_t* out = bins + (r0 - first) / kLanes * group_bytes + kLanes * C * b;
          bin_block_column<rule>(column + r0 * C, (last - r0) * C, C, out);
        }
      }
      for (int64_t r0 = first; r0 < last; r0 += kLanes) {
        __m256i* sorted = reinterpret_cast<__m256i*>(bins + (r0 - first) / kLanes * group_bytes);
        sort_lanes(C, sorted);
        group_entropies(sorted, n, terms, map + r0 + c * rows, last - r0, update);
      }
    }
  }
}

}  // namespace

void plane_entropy_avx2(BinRule rule, const double* plane_samples, int64_t rows, int64_t cols,
                        int64_t angular_size, const EntropyTerms& terms, double* map, MapUpdate update) {
  static_assert(kMaxSamples < 256, "run lengths must fit a byte");
  static_assert(kMaxSamples < EntropyTerms::kTabulated, "every run length has its summand in the table");
  if (rule == BinRule::rounded)
    plane<BinRule::rounded>(plane_samples, rows, cols, angular_size, terms, map, update);
  else
    plane<BinRule::truncated>(plane_samples, rows, cols, angular_size, terms, map, update);
}

#endif
