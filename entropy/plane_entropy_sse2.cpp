// The SSE2 path of the per-plane entropy engine, on every x86-64 CPU: 16
// pixels per vector; bytes and summands move one by one.
#include "entropy/plane_entropy_isa.h"

#if LF_X86_PATHS

#include <emmintrin.h>

constexpr int kLanes = 16;
#include "entropy/plane_entropy_lanes.h"

namespace {

inline Floats narrow(Doubles a, Doubles b) { return (Floats)_mm_movelh_ps(_mm_cvtpd_ps((__m128d)a), _mm_cvtpd_ps((__m128d)b)); }

// Invalid conversions give 0x80000000.
inline Dwords truncate(Floats f) { return (Dwords)_mm_cvttps_epi32((__m128)f); }

// Bins are 0 .. 255, so the signed first step saturates nothing.
inline Bytes pack_bins(Dwords a, Dwords b, Dwords c, Dwords d) {
  return (Bytes)_mm_packus_epi16(_mm_packs_epi32((__m128i)a, (__m128i)b), _mm_packs_epi32((__m128i)c, (__m128i)d));
}

// The next column asked for while one is sorted (Ahead, in the body).
#define LF_PREFETCH_AHEAD

}  // namespace
#include "entropy/plane_entropy_body.h"

LF_BINNED_ENTROPY_PATH(sse2) { lanes_binned_entropy(bins, rows, cols, angular_size, terms, map, update); }
LF_PLANE_ENTROPY_PATH(sse2) { return lanes_plane_entropy(rule, plane, rows, cols, angular_size, terms, map, update, scratch); }

#endif
