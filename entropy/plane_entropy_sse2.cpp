// The SSE2 path of the per-plane entropy engine, on every x86-64 CPU: 16
// pixels per vector; bytes and summands move one by one.
#include "entropy/plane_entropy_isa.h"

#if LF_X86_PATHS

#include <emmintrin.h>

namespace isa_sse2 {
namespace {

constexpr int kLanes = 16;
#include "entropy/plane_entropy_lanes.h"
#include "entropy/plane_entropy_body.h"

struct Sse2 : LaneTraits {
  static Floats narrow(Doubles a, Doubles b) {
    return (Floats)_mm_movelh_ps(_mm_cvtpd_ps((__m128d)a), _mm_cvtpd_ps((__m128d)b));
  }
  // Invalid conversions give 0x80000000.
  static Dwords truncate(Floats f) { return (Dwords)_mm_cvttps_epi32((__m128)f); }
  // Bins are 0 .. 255, so the signed first step saturates nothing.
  static Bytes pack_bins(Dwords a, Dwords b, Dwords c, Dwords d) {
    return (Bytes)_mm_packus_epi16(_mm_packs_epi32((__m128i)a, (__m128i)b), _mm_packs_epi32((__m128i)c, (__m128i)d));
  }
  static constexpr bool prefetch_ahead = true;
};

}  // namespace
}  // namespace isa_sse2

const EntropyKernels kEntropySse2 = isa_sse2::kernels_of<isa_sse2::Sse2>();

#else
const EntropyKernels kEntropySse2 = kEntropyPortable;
#endif
