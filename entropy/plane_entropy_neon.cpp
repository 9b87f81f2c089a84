// The NEON path of the per-plane entropy engine, on every AArch64 CPU: 16
// pixels per vector, bytes moved by lookups in 64-byte tables.
#include "entropy/plane_entropy_isa.h"

#if LF_NEON_PATH

#include <arm_neon.h>

constexpr int kLanes = 16;
#include "entropy/plane_entropy_lanes.h"

namespace {

inline Floats narrow(Doubles a, Doubles b) {
  return (Floats)vcombine_f32(vcvt_f32_f64((float64x2_t)a), vcvt_f32_f64((float64x2_t)b));
}

// Out of range the conversion saturates, and a NaN, which it takes to 0,
// gets all bits set.
inline Dwords truncate(Floats f) { return (Dwords)vcvtq_s32_f32((float32x4_t)f) | (Dwords)(f != f); }

// Saturating narrows keep the order.
inline Bytes pack_bins(Dwords a, Dwords b, Dwords c, Dwords d) {
  const uint16x8_t low = vcombine_u16(vqmovun_s32((int32x4_t)a), vqmovun_s32((int32x4_t)b));
  const uint16x8_t high = vcombine_u16(vqmovun_s32((int32x4_t)c), vqmovun_s32((int32x4_t)d));
  return (Bytes)vcombine_u8(vqmovn_u16(low), vqmovn_u16(high));
}

#define LF_UNSIGNED_MAX
inline Dwords max_unsigned(Dwords a, Dwords b) { return (Dwords)vmaxq_u32((uint32x4_t)a, (uint32x4_t)b); }

#define LF_TABLE_BYTES 64
inline Bytes table_lookup(const uint8_t* table, Bytes index, Bytes acc) {
  return (Bytes)vqtbx4q_u8((uint8x16_t)acc, vld1q_u8_x4(table), (uint8x16_t)index);
}

}  // namespace
#include "entropy/plane_entropy_body.h"

LF_BINNED_ENTROPY_PATH(neon) { lanes_binned_entropy(bins, rows, cols, angular_size, terms, map, update); }
LF_PLANE_ENTROPY_PATH(neon) { return lanes_plane_entropy(rule, plane, rows, cols, angular_size, terms, map, update, scratch); }

#endif
