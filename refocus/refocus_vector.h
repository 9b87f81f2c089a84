// The vector type of the refocus kernel: W doubles (2, 4 or 8), element-wise
// + - *, load, store and an in-register transpose. GCC and Clang get their
// vector extension; any other compiler a struct of W doubles doing the very same
// per-element operations, so no bit can differ between the two.
#pragma once

#include <cstring>

#include "common/portable.h"

// Everything here is inlined into each instruction set's entry, so the
// compiler emits that set's instructions from the same plain vector code.
#define LF_INLINE LF_ALWAYS_INLINE

// Internal linkage, as the kernel's own helpers: only the refocus kernels
// include this, and GCC inlines and schedules the kernel as it did with these
// lines in its file (with external linkage the code differs).
namespace {

#if LF_GNU

// Loops over the W vectors of a transpose must unroll, or the vectors live in
// memory instead of registers; -O2 does not unroll them by itself.
#define LF_EACH_LANE _Pragma("GCC unroll 8")
// No vector ever crosses a call, so the warning that 256-bit vectors change
// the calling convention outside AVX code does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"

template <int W> struct VecOf;
template <> struct VecOf<2> { typedef double type __attribute__((vector_size(16))); };
template <> struct VecOf<4> { typedef double type __attribute__((vector_size(32))); };
template <> struct VecOf<8> { typedef double type __attribute__((vector_size(64))); };
template <int W> using Vec = typename VecOf<W>::type;

template <int W> LF_INLINE Vec<W> load(const double* p) {
  Vec<W> x;
  __builtin_memcpy(&x, p, sizeof x);
  return x;
}
template <int W> LF_INLINE void store(double* p, Vec<W> x) { __builtin_memcpy(p, &x, sizeof x); }

// In-register transpose of W vectors of W lanes: lane l of vector i goes to
// lane i of vector l.
template <int W> struct Transpose;
template <> struct Transpose<2> {
  static LF_INLINE void run(Vec<2>* x) {
    const Vec<2> a = x[0], b = x[1];
    x[0] = __builtin_shufflevector(a, b, 0, 2);
    x[1] = __builtin_shufflevector(a, b, 1, 3);
  }
};
template <> struct Transpose<4> {
  static LF_INLINE void run(Vec<4>* x) {
    const Vec<4> t0 = __builtin_shufflevector(x[0], x[1], 0, 4, 2, 6);
    const Vec<4> t1 = __builtin_shufflevector(x[0], x[1], 1, 5, 3, 7);
    const Vec<4> t2 = __builtin_shufflevector(x[2], x[3], 0, 4, 2, 6);
    const Vec<4> t3 = __builtin_shufflevector(x[2], x[3], 1, 5, 3, 7);
    x[0] = __builtin_shufflevector(t0, t2, 0, 1, 4, 5);
    x[1] = __builtin_shufflevector(t1, t3, 0, 1, 4, 5);
    x[2] = __builtin_shufflevector(t0, t2, 2, 3, 6, 7);
    x[3] = __builtin_shufflevector(t1, t3, 2, 3, 6, 7);
  }
};
// Pairs of lanes, then pairs of pairs, then halves: the three steps of the
// four-lane transpose, one more.
template <> struct Transpose<8> {
  static LF_INLINE void run(Vec<8>* x) {
    Vec<8> t[8], s[8];
    LF_EACH_LANE
    for (int p = 0; p < 8; p += 2) {
      t[p] = __builtin_shufflevector(x[p], x[p + 1], 0, 8, 2, 10, 4, 12, 6, 14);
      t[p + 1] = __builtin_shufflevector(x[p], x[p + 1], 1, 9, 3, 11, 5, 13, 7, 15);
    }
    LF_EACH_LANE
    for (int p = 0; p < 8; p += 4)
      LF_EACH_LANE
      for (int h = 0; h < 2; ++h) {
        s[p + h] = __builtin_shufflevector(t[p + h], t[p + h + 2], 0, 1, 8, 9, 4, 5, 12, 13);
        s[p + h + 2] = __builtin_shufflevector(t[p + h], t[p + h + 2], 2, 3, 10, 11, 6, 7, 14, 15);
      }
    LF_EACH_LANE
    for (int l = 0; l < 4; ++l) {
      x[l] = __builtin_shufflevector(s[l], s[l + 4], 0, 1, 2, 3, 8, 9, 10, 11);
      x[l + 4] = __builtin_shufflevector(s[l], s[l + 4], 4, 5, 6, 7, 12, 13, 14, 15);
    }
  }
};

#else

#define LF_EACH_LANE

template <int W> struct Vec {
  double lane[W];
  double operator[](int64_t l) const { return lane[l]; }
  double& operator[](int64_t l) { return lane[l]; }
};

template <int W> LF_INLINE Vec<W> operator+(Vec<W> a, const Vec<W>& b) {
  for (int l = 0; l < W; ++l) a.lane[l] = a.lane[l] + b.lane[l];
  return a;
}
template <int W> LF_INLINE Vec<W> operator*(Vec<W> a, const Vec<W>& b) {
  for (int l = 0; l < W; ++l) a.lane[l] = a.lane[l] * b.lane[l];
  return a;
}
// A scalar operand stands for W copies of itself, as with the extension.
template <int W> LF_INLINE Vec<W> operator*(Vec<W> a, double b) {
  for (int l = 0; l < W; ++l) a.lane[l] = a.lane[l] * b;
  return a;
}
template <int W> LF_INLINE Vec<W> operator-(double a, Vec<W> b) {
  for (int l = 0; l < W; ++l) b.lane[l] = a - b.lane[l];
  return b;
}

template <int W> LF_INLINE Vec<W> load(const double* p) {
  Vec<W> x;
  std::memcpy(x.lane, p, sizeof x.lane);
  return x;
}
template <int W> LF_INLINE void store(double* p, const Vec<W>& x) { std::memcpy(p, x.lane, sizeof x.lane); }

template <int W> struct Transpose {
  static LF_INLINE void run(Vec<W>* x) {
    for (int i = 0; i < W; ++i)
      for (int l = i + 1; l < W; ++l) {
        const double t = x[i].lane[l];
        x[i].lane[l] = x[l].lane[i];
        x[l].lane[i] = t;
      }
  }
};

#endif

}  // namespace
