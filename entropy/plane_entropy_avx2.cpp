// The AVX2 path of the per-plane entropy engine: 32 pixels per vector; no
// byte permute across the register, so summands are gathered by count.
#include "entropy/plane_entropy_isa.h"

#if LF_X86_PATHS

#include <immintrin.h>

LF_TARGET_BEGIN("avx2")
namespace isa_avx2 {
namespace {

constexpr int kLanes = 32;
#include "entropy/plane_entropy_lanes.h"
#include "entropy/plane_entropy_body.h"

constexpr Spread kSpread = make_spread(true);

struct Avx2 : LaneTraits {
  static Floats narrow(Doubles a, Doubles b) {
    return (Floats)_mm256_set_m128(_mm256_cvtpd_ps((__m256d)b), _mm256_cvtpd_ps((__m256d)a));
  }
  // Invalid conversions give 0x80000000.
  static Dwords truncate(Floats f) { return (Dwords)_mm256_cvttps_epi32((__m256)f); }
  // Packs work within 16-byte blocks: block j of the result holds block j of a, b, c and d in turn.
  static constexpr bool pack_by_blocks = true;
  static Bytes pack_bins(Dwords a, Dwords b, Dwords c, Dwords d) {
    const __m256i packed = _mm256_packus_epi16(_mm256_packus_epi32((__m256i)a, (__m256i)b),
                                               _mm256_packus_epi32((__m256i)c, (__m256i)d));
    return (Bytes)packed;
  }

  static constexpr bool unsigned_max = true;
  static Dwords max_unsigned(Dwords a, Dwords b) { return (Dwords)_mm256_max_epu32((__m256i)a, (__m256i)b); }

  static constexpr bool gathers = true;
  static Floats gather_terms(const float* table, Dwords index) {
    return (Floats)_mm256_i32gather_ps(table, (__m256i)index, 4);
  }

  static constexpr bool short_tables = true;
  static bool all_below(Bytes index, int bound) {
    return _mm256_movemask_epi8((__m256i)(index >= static_cast<uint8_t>(bound))) == 0;
  }
  // An index of 16 or more saturates to 0x80 and above, where the shuffle gives 0.
  static Bytes short_lookup(const uint8_t* table, Bytes index) {
    const __m256i select = _mm256_adds_epu8((__m256i)index, _mm256_set1_epi8(0x70));
    return (Bytes)_mm256_shuffle_epi8(_mm256_broadcastsi128_si256(load<__m128i>(table)), select);
  }
  // An index of 128 or more gives 0 as it is.
  static Bytes short_lookup_low(const uint8_t* table, Bytes index) {
    return (Bytes)_mm256_shuffle_epi8(_mm256_broadcastsi128_si256(load<__m128i>(table)), (__m256i)index);
  }

  // Counts below 8 (most of them unless a pixel's samples cluster) take
  // their summands from the float table's first eight entries in one
  // register: a byte shuffle puts each pixel's count in the low byte of its
  // dword, and the float permute reads only the low three bits.
  static constexpr int direct_terms = 8;
  struct DirectTerms {
    __m256 table;
    __m256i spread[4];
  };
  static void load_direct_terms(const float* table, DirectTerms& d) {
    d.table = _mm256_loadu_ps(table);
    for (int q = 0; q < 4; ++q) d.spread[q] = _mm256_load_si256(reinterpret_cast<const __m256i*>(kSpread.bytes[q]));
  }
  static void direct_summands(Bytes index, const DirectTerms& d, Floats (&out)[4]) {
    for (int q = 0; q < 4; ++q)
      out[q] = (Floats)_mm256_permutevar8x32_ps(d.table, _mm256_shuffle_epi8((__m256i)index, d.spread[q]));
  }

  static constexpr bool prefetch_ahead = true;
};

}  // namespace
}  // namespace isa_avx2

const EntropyKernels kEntropyAvx2 = isa_avx2::kernels_of<isa_avx2::Avx2>();
LF_TARGET_END

#else
const EntropyKernels kEntropyAvx2 = kEntropyPortable;
#endif
