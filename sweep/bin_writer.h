// The sweep's bin writer: refocused values straight from the registers that
// hold them into their rounded bins, in the layout binned_entropy reads, as a
// sink of the refocus column kernels. Host-free.
#pragma once

#include <cstdint>

#include "entropy/angular_bins.h"
#include "entropy/plane_entropy.h"
#include "refocus/refocus_vector.h"

#if LF_X86_PATHS
#include <emmintrin.h>
#endif

namespace {

#if LF_GNU

// Rounded bins of two vectors of values, straight from the registers that
// hold them: out0 gets x0's W bins, out1 x1's. Every value must lie strictly
// inside the rounded bin range, so that narrowing and truncating stay in
// range; the caller makes sure of that.
template <int W> struct BinVectors;
template <> struct BinVectors<2> {
  typedef double Doubles __attribute__((vector_size(32)));
  typedef float Floats __attribute__((vector_size(16)));
  typedef int32_t Ints __attribute__((vector_size(16)));
  typedef uint8_t IntBytes __attribute__((vector_size(16)));
  static LF_INLINE Doubles join(Vec<2> a, Vec<2> b) { return __builtin_shufflevector(a, b, 0, 1, 2, 3); }
  // Every bin is below 256: its low byte is the bin. SSE2 has no byte
  // shuffle; two saturating packs keep bins below 256 as they are.
  static LF_INLINE void store(Ints bin, uint8_t* out0, uint8_t* out1) {
#if LF_X86_PATHS
    const __m128i words = _mm_packs_epi32((__m128i)bin, (__m128i)bin);
    const IntBytes b = (IntBytes)_mm_packus_epi16(words, words);
#else
    const IntBytes b = __builtin_shufflevector((IntBytes)bin, (IntBytes)bin, 0, 4, 8, 12, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                               0, 0, 0);
#endif
    __builtin_memcpy(out0, &b, 2);
    __builtin_memcpy(out1, reinterpret_cast<const uint8_t*>(&b) + 2, 2);
  }
};
template <> struct BinVectors<4> {
  typedef double Doubles __attribute__((vector_size(64)));
  typedef float Half __attribute__((vector_size(16)));
  typedef float Floats __attribute__((vector_size(32)));
  typedef int32_t Ints __attribute__((vector_size(32)));
  typedef uint8_t IntBytes __attribute__((vector_size(32)));
  static LF_INLINE Doubles join(Vec<4> a, Vec<4> b) { return __builtin_shufflevector(a, b, 0, 1, 2, 3, 4, 5, 6, 7); }
  // The low bytes within each 16-byte half, as one byte shuffle does it.
  static LF_INLINE void store(Ints bin, uint8_t* out0, uint8_t* out1) {
    const IntBytes b =
        __builtin_shufflevector((IntBytes)bin, (IntBytes)bin, 0, 4, 8, 12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16, 20,
                                24, 28, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16);
    __builtin_memcpy(out0, &b, 4);
    __builtin_memcpy(out1, reinterpret_cast<const uint8_t*>(&b) + 16, 4);
  }
};
// Both vectors narrowed in one conversion: joined as halves of floats, GCC
// adds a move per half.
template <int W> LF_INLINE void bin_pair(Vec<W> x0, Vec<W> x1, uint8_t* out0, uint8_t* out1) {
  typedef BinVectors<W> V;
  const typename V::Floats f = __builtin_convertvector(V::join(x0, x1), typename V::Floats);
  V::store(__builtin_convertvector(f + kHalfAway, typename V::Ints), out0, out1);
}
// One vector's bins alone: four lanes fill one half-width register.
template <int W> LF_INLINE void bin_one(Vec<W> x, uint8_t* out) { bin_pair<W>(x, x, out, out); }
template <> LF_INLINE void bin_one<4>(Vec<4> x, uint8_t* out) {
  typedef int32_t Ints __attribute__((vector_size(16)));
  typedef uint8_t IntBytes __attribute__((vector_size(16)));
  const Ints bin = __builtin_convertvector(__builtin_convertvector(x, BinVectors<4>::Half) + kHalfAway, Ints);
  const IntBytes b = __builtin_shufflevector((IntBytes)bin, (IntBytes)bin, 0, 4, 8, 12, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                             0, 0, 0);
  __builtin_memcpy(out, &b, 4);
}
// Eight lanes narrow to eight floats in one conversion, and their bins to
// eight bytes in one more (AVX-512's truncating narrowing, where compiled
// for it), so each vector is binned and stored on its own.
template <> LF_INLINE void bin_one<8>(Vec<8> x, uint8_t* out) {
  typedef float Floats __attribute__((vector_size(32)));
  typedef int32_t Ints __attribute__((vector_size(32)));
  typedef uint8_t Bytes __attribute__((vector_size(8)));
  const Ints bin = __builtin_convertvector(__builtin_convertvector(x, Floats) + kHalfAway, Ints);
  const Bytes b = __builtin_convertvector(bin, Bytes);
  __builtin_memcpy(out, &b, 8);
}
template <> LF_INLINE void bin_pair<8>(Vec<8> x0, Vec<8> x1, uint8_t* out0, uint8_t* out1) {
  bin_one<8>(x0, out0);
  bin_one<8>(x1, out1);
}

#else

template <int W> LF_INLINE void bin_pair(const Vec<W>& x0, const Vec<W>& x1, uint8_t* out0, uint8_t* out1) {
  for (int l = 0; l < W; ++l) out0[l] = static_cast<uint8_t>(rounded_bin(x0[l]));
  for (int l = 0; l < W; ++l) out1[l] = static_cast<uint8_t>(rounded_bin(x1[l]));
}
template <int W> LF_INLINE void bin_one(const Vec<W>& x, uint8_t* out) {
  for (int l = 0; l < W; ++l) out[l] = static_cast<uint8_t>(rounded_bin(x[l]));
}

#endif

// Values into their rounded bins: a column's bins at the tile's first row and
// sample (0, b) of its u; offset v is C samples on. Every value must lie
// strictly inside the rounded bin range (RefocusWindow::binnable).
struct RoundedBins {
  static constexpr bool kBins = true;
  struct Column {
    uint8_t* bins;
    BinnedLayout layout;
  };
  struct Cursor {
    uint8_t* at;  // row i
    int64_t offset_bytes, column_bytes;
  };
  static LF_INLINE Cursor block(const Column& out, int64_t i, int64_t C) {
    return {out.bins + out.layout.pixel(i, 0), out.layout.sample(C), out.layout.column_bytes};
  }
  template <int W> static LF_INLINE void offsets(const Cursor& to, int64_t j, Vec<W>* x) {
    LF_EACH_LANE
    for (int l = 0; l < W; l += 2)
      bin_pair<W>(x[l], x[l + 1], to.at + (j + l) * to.offset_bytes, to.at + (j + l + 1) * to.offset_bytes);
  }
  template <int W> static LF_INLINE void offset(const Cursor& to, int64_t j, Vec<W> x) {
    bin_one<W>(x, to.at + j * to.offset_bytes);
  }
  static LF_INLINE void lane(const Cursor& to, int64_t j, int64_t l, double x) {
    to.at[j * to.offset_bytes + l] = static_cast<uint8_t>(rounded_bin(x));
  }
  // Offset j of columns k and k + 1 of a group, from the first one's cursor.
  template <int W> static LF_INLINE void columns(const Cursor& to, int64_t j, int k, Vec<W> x0, Vec<W> x1) {
    uint8_t* at = to.at + j * to.offset_bytes + k * to.column_bytes;
    bin_pair<W>(x0, x1, at, at + to.column_bytes);
  }
};

}  // namespace
