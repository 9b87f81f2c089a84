// The natural logarithm of glibc (2.27 and later) on CPUs that fuse
// multiply-adds, with each fused step written out, so that no platform's C
// library decides the bits.
//
// The algorithm and its table are those of Arm's optimized-routines
// (math/logf.c, math/logf_data.c), under this licence:
//
//   Copyright (c) 2017-2018, Arm Limited.
//   SPDX-License-Identifier: MIT
//
//   Permission is hereby granted, free of charge, to any person obtaining a
//   copy of this software and associated documentation files (the
//   "Software"), to deal in the Software without restriction, including
//   without limitation the rights to use, copy, modify, merge, publish,
//   distribute, sublicense, and/or sell copies of the Software, and to permit
//   persons to whom the Software is furnished to do so, subject to the
//   following conditions:
//
//   The above copyright notice and this permission notice shall be included
//   in all copies or substantial portions of the Software.
//
//   THE SOFTWARE IS PROVIDED "AS IS", WITHOUT WARRANTY OF ANY KIND, EXPRESS
//   OR IMPLIED, INCLUDING BUT NOT LIMITED TO THE WARRANTIES OF
//   MERCHANTABILITY, FITNESS FOR A PARTICULAR PURPOSE AND NONINFRINGEMENT. IN
//   NO EVENT SHALL THE AUTHORS OR COPYRIGHT HOLDERS BE LIABLE FOR ANY CLAIM,
//   DAMAGES OR OTHER LIABILITY, WHETHER IN AN ACTION OF CONTRACT, TORT OR
//   OTHERWISE, ARISING FROM, OUT OF OR IN CONNECTION WITH THE SOFTWARE OR THE
//   USE OR OTHER DEALINGS IN THE SOFTWARE.
#include "common/natural_log.h"

#include <cstdint>
#include <cstring>
#include <limits>

#include "common/bit_cast.h"
#include "common/exact_fma.h"

namespace {

// x = 2^k z with z in [kOff, 2 kOff) as a bit pattern (about 0.7 .. 1.4),
// split into 16 intervals; entry i holds 1/c and log(c) for c near the
// centre of interval i.
constexpr uint32_t kOff = 0x3f330000;

struct Entry {
  double invc, logc;
};

constexpr Entry kTable[16] = {
    {0x1.661ec79f8f3bep+0, -0x1.57bf7808caadep-2}, {0x1.571ed4aaf883dp+0, -0x1.2bef0a7c06ddbp-2},
    {0x1.49539f0f010bp+0, -0x1.01eae7f513a67p-2},  {0x1.3c995b0b80385p+0, -0x1.b31d8a68224e9p-3},
    {0x1.30d190c8864a5p+0, -0x1.6574f0ac07758p-3}, {0x1.25e227b0b8eap+0, -0x1.1aa2bc79c81p-3},
    {0x1.1bb4a4a1a343fp+0, -0x1.a4e76ce8c0e5ep-4}, {0x1.12358f08ae5bap+0, -0x1.1973c5a611cccp-4},
    {0x1.0953f419900a7p+0, -0x1.252f438e10c1ep-5}, {0x1p+0, 0x0p+0},
    {0x1.e608cfd9a47acp-1, 0x1.aa5aa5df25984p-5},  {0x1.ca4b31f026aap-1, 0x1.c5e53aa362eb4p-4},
    {0x1.b2036576afce6p-1, 0x1.526e57720db08p-3},  {0x1.9c2d163a1aa2dp-1, 0x1.bc2860d22477p-3},
    {0x1.886e6037841edp-1, 0x1.1058bc8a07ee1p-2},  {0x1.767dcf5534862p-1, 0x1.4043057b6ee09p-2},
};
constexpr double kLn2 = 0x1.62e42fefa39efp-1;
// log1p(r) ~ r + A2 r^2 + A1 r^3 + A0 r^4.
constexpr double kA0 = -0x1.00ea348b88334p-2, kA1 = 0x1.5575b0be00b6ap-2, kA2 = -0x1.ffffef20a4123p-2;

}  // namespace

float natural_log(float x) {
  uint32_t ix = lf_bit_cast<uint32_t>(x);
  // +0 rather than a rounding mode's -0.
  if (ix == 0x3f800000u) return 0.0f;
  if (ix - 0x00800000u >= 0x7f800000u - 0x00800000u) {
    // Zero, subnormal, negative, infinite or NaN.
    if ((ix & 0x7fffffffu) == 0) return -std::numeric_limits<float>::infinity();
    if (ix == 0x7f800000u) return x;
    // NaN, quieted, for NaN and negative inputs.
    if ((ix & 0x80000000u) || (ix & 0x7fffffffu) >= 0x7f800000u) return (x - x) / (x - x);
    ix = lf_bit_cast<uint32_t>(x * 0x1p23f) - (23u << 23);
  }
  const uint32_t tmp = ix - kOff;
  const uint32_t i = (tmp >> 19) % 16;
  // tmp as a signed 32-bit value, shifted arithmetically.
  const int k = static_cast<int>(tmp >> 23) - ((tmp & 0x80000000u) ? 512 : 0);
  const uint32_t iz = ix - (tmp & 0xff800000u);
  const double invc = kTable[i].invc;
  const double logc = kTable[i].logc;
  const double z = static_cast<double>(lf_bit_cast<float>(iz));

  // log(x) = log1p(z/c - 1) + log(c) + k ln2, in double, rounded to single once.
  // glibc's FMA build fuses these five steps (its machine code has five
  // fused multiply-adds). Unfused, all together or one at a time, they give
  // the same float for every positive input (checked exhaustively); the fused
  // form stays the definition.
  const double r = fused_multiply_add(z, invc, -1.0);
  const double y0 = fused_multiply_add(static_cast<double>(k), kLn2, logc);
  const double r2 = r * r;
  double y = fused_multiply_add(kA1, r, kA2);
  y = fused_multiply_add(kA0, r2, y);
  y = fused_multiply_add(y, r2, y0 + r);
  return static_cast<float>(y);
}
