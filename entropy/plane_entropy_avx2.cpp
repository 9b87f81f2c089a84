// The AVX2 path of the per-plane entropy engine: 32 pixels per vector; no
// byte permute across the register, so summands are gathered by count.
#include "entropy/plane_entropy_isa.h"

#if LF_X86_PATHS

#include <immintrin.h>

constexpr int kLanes = 32;
LF_TARGET_BEGIN("avx2")
#include "entropy/plane_entropy_lanes.h"
namespace {

inline Floats narrow(Doubles a, Doubles b) {
  return (Floats)_mm256_set_m128(_mm256_cvtpd_ps((__m256d)b), _mm256_cvtpd_ps((__m256d)a));
}

// Invalid conversions give 0x80000000.
inline Dwords truncate(Floats f) { return (Dwords)_mm256_cvttps_epi32((__m256)f); }

inline Bytes pack_bins(Dwords a, Dwords b, Dwords c, Dwords d) {
  const __m256i packed = _mm256_packus_epi16(_mm256_packus_epi32((__m256i)a, (__m256i)b),
                                             _mm256_packus_epi32((__m256i)c, (__m256i)d));
  return (Bytes)packed;
}
// Packs work within 16-byte blocks: block j of the result holds block j of a, b, c and d in turn.
#define LF_PACK_BY_BLOCKS

#define LF_UNSIGNED_MAX
inline Dwords max_unsigned(Dwords a, Dwords b) { return (Dwords)_mm256_max_epu32((__m256i)a, (__m256i)b); }

#define LF_GATHER_TERMS
inline Floats gather_terms(const float* table, Dwords index) {
  return (Floats)_mm256_i32gather_ps(table, (__m256i)index, 4);
}

#define LF_SHORT_TERMS
inline bool all_below(Bytes index, int bound) {
  return _mm256_movemask_epi8((__m256i)(index >= static_cast<uint8_t>(bound))) == 0;
}
// An index of 16 or more saturates to 0x80 and above, where the shuffle gives 0.
inline Bytes short_lookup(const uint8_t* table, Bytes index) {
  const __m256i select = _mm256_adds_epu8((__m256i)index, _mm256_set1_epi8(0x70));
  return (Bytes)_mm256_shuffle_epi8(_mm256_broadcastsi128_si256(load<__m128i>(table)), select);
}
// An index of 128 or more gives 0 as it is.
inline Bytes short_lookup_low(const uint8_t* table, Bytes index) {
  return (Bytes)_mm256_shuffle_epi8(_mm256_broadcastsi128_si256(load<__m128i>(table)), (__m256i)index);
}

// Counts below 8 (most of them unless a pixel's samples cluster) take their
// summands from the float table's first eight entries in one register: a
// byte shuffle puts each pixel's count in the low byte of its dword, and the
// float permute reads only the low three bits.
#define LF_DIRECT_TERMS
constexpr int kDirectTerms = 8;
constexpr Spread kSpread = make_spread(true);
struct DirectTerms {
  __m256 table;
  __m256i spread[4];
};
inline void load_direct_terms(const float* table, DirectTerms& d) {
  d.table = _mm256_loadu_ps(table);
  for (int q = 0; q < 4; ++q) d.spread[q] = _mm256_load_si256(reinterpret_cast<const __m256i*>(kSpread.bytes[q]));
}
inline void direct_summands(Bytes index, const DirectTerms& d, Floats (&out)[4]) {
  for (int q = 0; q < 4; ++q)
    out[q] = (Floats)_mm256_permutevar8x32_ps(d.table, _mm256_shuffle_epi8((__m256i)index, d.spread[q]));
}

// The next column asked for while one is sorted (Ahead, in the body).
#define LF_PREFETCH_AHEAD

}  // namespace
#include "entropy/plane_entropy_body.h"

LF_BINNED_ENTROPY_PATH(avx2) { lanes_binned_entropy(bins, rows, cols, angular_size, terms, map, update); }
LF_PLANE_ENTROPY_PATH(avx2) { return lanes_plane_entropy(rule, plane, rows, cols, angular_size, terms, map, update, scratch); }
LF_TARGET_END

#endif
