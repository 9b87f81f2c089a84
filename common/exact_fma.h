// a * b + c rounded once, the same on every platform: the operation that the
// single-precision logarithm is defined with.
#pragma once

#include <cmath>

#include "common/portable.h"

// Correctly rounded to nearest, ties to even, in integer arithmetic on the
// significands. For targets whose fused multiply-add is a library call that
// may round twice (mingw-w64's does).
double exact_fma(double a, double b, double c);

// The hardware instruction where the build is known to emit it, else
// exact_fma. Both give the same bits.
inline double fused_multiply_add(double a, double b, double c) {
#if LF_HARDWARE_FMA
  return std::fma(a, b, c);
#else
  return exact_fma(a, b, c);
#endif
}
