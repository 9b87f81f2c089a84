// The AVX-512 path (with VBMI) of the per-plane entropy engine: 64 pixels per
// vector, bytes moved by permutes from 128-byte tables.
#include "entropy/plane_entropy_isa.h"

#if LF_X86_PATHS

// GCC 12 warns inside its own intrinsics, whose "undefined" vectors are
// deliberately self-initialised.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <immintrin.h>

LF_TARGET_BEGIN("avx512f,avx512bw,avx512vl,avx512dq,avx512vbmi")
namespace isa_avx512 {
namespace {

constexpr int kLanes = 64;
#include "entropy/plane_entropy_lanes.h"
#include "entropy/plane_entropy_body.h"

constexpr Spread kSpread = make_spread(false);

struct Avx512 : LaneTraits {
  static Floats narrow(Doubles a, Doubles b) {
    return (Floats)_mm512_insertf32x8(_mm512_castps256_ps512(_mm512_cvtpd_ps((__m512d)a)),
                                      _mm512_cvtpd_ps((__m512d)b), 1);
  }
  // Invalid conversions give 0x80000000.
  static Dwords truncate(Floats f) { return (Dwords)_mm512_cvttps_epi32((__m512)f); }
  static Bytes pack_bins(Dwords a, Dwords b, Dwords c, Dwords d) {
    const __m512i packed = _mm512_packus_epi16(_mm512_packus_epi32((__m512i)a, (__m512i)b),
                                               _mm512_packus_epi32((__m512i)c, (__m512i)d));
    // Packs work within 16-byte blocks: samples 4m .. 4m + 3 lie in dword 4(m % 4) + m / 4.
    const __m512i order = _mm512_setr_epi32(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15);
    return (Bytes)_mm512_permutexvar_epi32(order, packed);
  }

  static constexpr bool unsigned_max = true;
  static Dwords max_unsigned(Dwords a, Dwords b) { return (Dwords)_mm512_max_epu32((__m512i)a, (__m512i)b); }

  static constexpr int table_bytes = 128;
  static Bytes table_lookup(const uint8_t* table, Bytes index, Bytes acc) {
    const __m512i picked =
        _mm512_permutex2var_epi8(load<__m512i>(table), (__m512i)index, load<__m512i>(table + 64));
    return (Bytes)_mm512_mask_mov_epi8((__m512i)acc, ~_mm512_movepi8_mask((__m512i)index), picked);
  }

  // Counts below 32 (nearly all of them unless a pixel's samples agree) take
  // their summands straight from two registers of the float table: a byte
  // permute puts each pixel's count in the low byte of its dword, and the
  // float permute reads only the low five bits.
  static constexpr int direct_terms = 32;
  struct DirectTerms {
    __m512 low, high;
    __m512i spread[4];
  };
  static void load_direct_terms(const float* table, DirectTerms& d) {
    d.low = _mm512_loadu_ps(table);
    d.high = _mm512_loadu_ps(table + 16);
    for (int q = 0; q < 4; ++q) d.spread[q] = _mm512_load_si512(kSpread.bytes[q]);
  }
  static bool all_below(Bytes index, int bound) {
    return _mm512_cmpge_epu8_mask((__m512i)index, _mm512_set1_epi8(static_cast<char>(bound))) == 0;
  }
  static void direct_summands(Bytes index, const DirectTerms& d, Floats (&out)[4]) {
    for (int q = 0; q < 4; ++q)
      out[q] = (Floats)_mm512_permutex2var_ps(d.low, _mm512_permutexvar_epi8(d.spread[q], (__m512i)index), d.high);
  }

  // Reading the next block column ahead shortens this path; on AVX2 it made
  // no difference (docs/PERFORMANCE.md).
  static constexpr bool prefetch_next = true;
  static void prefetch_line(uintptr_t address) { _mm_prefetch(reinterpret_cast<const char*>(address), _MM_HINT_T0); }
  // And the next column while one is sorted (Ahead, in the body).
  static constexpr bool prefetch_ahead = true;
};

}  // namespace
}  // namespace isa_avx512

const EntropyKernels kEntropyAvx512 = isa_avx512::kernels_of<isa_avx512::Avx512>();
LF_TARGET_END

#else
const EntropyKernels kEntropyAvx512 = kEntropyPortable;
#endif
