#include "tests/reference/refocus_reference.h"

#include <cmath>
#include <cstdint>

namespace {

// Truncation to signed 32 bits; NaN and out-of-range values, where the
// conversion is left open, saturate (NaN to 0) so that clamping then picks the
// nearer edge of the grid.
int32_t to_int32(double f) {
  if (std::isnan(f)) return 0;
  if (f >= 2147483648.0) return INT32_MAX;
  if (f <= -2147483649.0) return INT32_MIN;
  return static_cast<int32_t>(f);
}

int64_t clamp(int32_t i, int64_t bound) {
  if (i < 0) return 0;
  if (i >= bound) return bound - 1;
  return i;
}

}  // namespace

void refocus_reference(const double* source, double* destination, double* image, uint16_t cols,
                       uint16_t rows, uint16_t angular_size, uint16_t angular_radius, double alpha) {
  const int64_t C = angular_size, D = angular_radius;
  const int64_t P = int64_t{rows} * C * cols * C;
  auto rlf = [&](int64_t r, int64_t c, int64_t a, int64_t b, int64_t k) {
    return (r * C + a) + (c * C + b) * (int64_t{rows} * C) + k * P;
  };
  for (int64_t c = 0; c < cols; ++c) {
    for (int64_t r = 0; r < rows; ++r) {
      double S[3] = {0.0, 0.0, 0.0};
      for (int64_t u = -D; u <= D; ++u) {
        for (int64_t v = -D; v <= D; ++v) {
          // volatile keeps a real multiplication: folded into a negation it
          // would flip the sign bit of a NaN alpha.
          volatile double minus_one = -1.0;
          const double minus_alpha = alpha * minus_one;
          const double pc = static_cast<double>(u) * minus_alpha + static_cast<double>(c);
          const double pr = static_cast<double>(v) * minus_alpha + static_cast<double>(r);
          const double fc = std::floor(pc);
          const double fr = std::floor(pr);
          const int64_t c0 = clamp(to_int32(fc), cols);
          const int64_t c1 = clamp(to_int32(fc + 1.0), cols);
          const int64_t r0 = clamp(to_int32(fr), rows);
          const int64_t r1 = clamp(to_int32(fr + 1.0), rows);
          const double wr0 = 1.0 - (pr - fr);
          const double wr1 = 1.0 - wr0;
          const double wc0 = 1.0 - (pc - fc);
          const double wc1 = 1.0 - wc0;
          for (int64_t k = 0; k < 3; ++k) {
            auto s = [&](int64_t i, int64_t j) { return source[rlf(i, j, D + v, D + u, k)]; };
            const double t00 = (wr0 * wc0) * s(r0, c0);
            const double t10 = (wr1 * wc0) * s(r1, c0);
            const double t01 = (wr0 * wc1) * s(r0, c1);
            const double t11 = (wr1 * wc1) * s(r1, c1);
            const double V = ((t00 + t10) + t01) + t11;
            destination[rlf(r, c, D + v, D + u, k)] = V;
            S[k] = S[k] + V;
          }
        }
      }
      const int32_t block = static_cast<int32_t>(C * C);
      for (int64_t k = 0; k < 3; ++k) image[r + c * rows + k * rows * cols] = S[k] / static_cast<double>(block);
    }
  }
}
