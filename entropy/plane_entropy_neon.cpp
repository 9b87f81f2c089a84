// The NEON path of the per-plane entropy engine, on every AArch64 CPU: 16
// pixels per vector, bytes moved by lookups in 64-byte tables.
#include "entropy/plane_entropy_isa.h"

#if LF_NEON_PATH

#include <arm_neon.h>

namespace isa_neon {
namespace {

constexpr int kLanes = 16;
#include "entropy/plane_entropy_lanes.h"
#include "entropy/plane_entropy_body.h"

struct Neon : LaneTraits {
  static Floats narrow(Doubles a, Doubles b) {
    return (Floats)vcombine_f32(vcvt_f32_f64((float64x2_t)a), vcvt_f32_f64((float64x2_t)b));
  }
  // Out of range the conversion saturates, and a NaN, which it takes to 0,
  // gets all bits set.
  static Dwords truncate(Floats f) { return (Dwords)vcvtq_s32_f32((float32x4_t)f) | (Dwords)(f != f); }
  // Saturating narrows keep the order.
  static Bytes pack_bins(Dwords a, Dwords b, Dwords c, Dwords d) {
    const uint16x8_t low = vcombine_u16(vqmovun_s32((int32x4_t)a), vqmovun_s32((int32x4_t)b));
    const uint16x8_t high = vcombine_u16(vqmovun_s32((int32x4_t)c), vqmovun_s32((int32x4_t)d));
    return (Bytes)vcombine_u8(vqmovn_u16(low), vqmovn_u16(high));
  }

  static constexpr bool unsigned_max = true;
  static Dwords max_unsigned(Dwords a, Dwords b) { return (Dwords)vmaxq_u32((uint32x4_t)a, (uint32x4_t)b); }

  static constexpr int table_bytes = 64;
  static Bytes table_lookup(const uint8_t* table, Bytes index, Bytes acc) {
    return (Bytes)vqtbx4q_u8((uint8x16_t)acc, vld1q_u8_x4(table), (uint8x16_t)index);
  }
};

}  // namespace
}  // namespace isa_neon

const EntropyKernels kEntropyNeon = isa_neon::kernels_of<isa_neon::Neon>();

#else
const EntropyKernels kEntropyNeon = kEntropyPortable;
#endif
