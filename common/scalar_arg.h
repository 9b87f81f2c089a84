// Conversion of a scalar input (a double) to a module's integer parameter.
// Host-free; written without any out-of-range float-to-int cast, which is
// undefined behaviour in C++.
#pragma once

#include <cstdint>
#include <limits>

template <class T> T scalar_arg(double x);

// Truncation toward zero to signed 32 bits; NaN and values whose truncation
// does not fit become INT32_MIN.
template <> inline int32_t scalar_arg<int32_t>(double x) {
  // -2^31 - 1 and 2^31 are exact doubles; everything strictly between them
  // truncates into range.
  if (!(x > -2147483649.0 && x < 2147483648.0)) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(x);
}

// Truncation toward zero to signed 64 bits, of which the low 16 bits remain
// (reduction modulo 2^16). NaN and values outside the signed 64-bit range take
// INT64_MIN as intermediate, whose low 16 bits are 0.
template <> inline uint16_t scalar_arg<uint16_t>(double x) {
  if (!(x >= -9223372036854775808.0 && x < 9223372036854775808.0)) return 0;
  const int64_t truncated = static_cast<int64_t>(x);
  return static_cast<uint16_t>(static_cast<uint64_t>(truncated) & 0xFFFFu);
}
