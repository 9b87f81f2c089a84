// Rounding half away from zero in single precision, as C defines roundf, with
// no C library call: mingw-w64's roundf(0.49999997f) is 1.
#pragma once

#include <cmath>
#include <cstdint>

inline float round_half_away(float x) {
  // From 2^23 up every float is an integer; infinities and NaN pass too.
  if (!(std::fabs(x) < 8388608.0f)) return x;
  const float t = static_cast<float>(static_cast<int32_t>(x));
  // Exact: the fraction of a float below 2^23.
  const float fraction = x - t;
  float r = t;
  if (fraction >= 0.5f) r = t + 1.0f;
  if (fraction <= -0.5f) r = t - 1.0f;
  // -0.3f rounds to -0, as roundf.
  return std::copysign(r, x);
}
