// Shift-and-add refocusing: every angular sample at offset (u, v) is read at the
// spatial position shifted by -alpha*(u, v), bilinearly, from the same angular
// position of the neighbouring blocks.
#include "refocus/refocus_remapped.h"

#include <cmath>

#include "common/remapped_light_field.h"

namespace {

// The truncate-then-clamp rule for a floored position. Any value at or beyond
// the bound (including +inf) takes the last index and anything below zero or
// NaN takes the first, so no float-to-int conversion ever leaves its range.
inline int64_t clamp_index(double f, int64_t bound) {
  if (!(f >= 0.0)) return 0;
  if (f >= static_cast<double>(bound)) return bound - 1;
  return static_cast<int64_t>(f);
}

}  // namespace

void refocus_remapped(const double* source, double* destination, double* image, uint16_t cols,
                      uint16_t rows, uint16_t angular_size, uint16_t angular_radius, double alpha) {
  const RemappedLightField field{source, rows, cols, angular_size};
  const int64_t D = angular_radius;
  const int64_t C = angular_size;
  const double block = static_cast<double>(C * C);
  // alpha * -1.0 keeps a NaN's sign bit on IEEE hardware, but compilers fold
  // the product into a sign flip; only non-NaN values may be negated.
  const double neg_alpha = std::isnan(alpha) ? alpha : -alpha;
  for (int64_t c = 0; c < cols; ++c) {
    for (int64_t r = 0; r < rows; ++r) {
      double sum[3] = {0.0, 0.0, 0.0};
      for (int64_t u = -D; u <= D; ++u) {
        const double pc = static_cast<double>(u) * neg_alpha + static_cast<double>(c);
        const double fc = std::floor(pc);
        const int64_t c0 = clamp_index(fc, cols);
        const int64_t c1 = clamp_index(fc + 1.0, cols);
        const double wc0 = 1.0 - (pc - fc);
        const double wc1 = 1.0 - wc0;
        for (int64_t v = -D; v <= D; ++v) {
          const double pr = static_cast<double>(v) * neg_alpha + static_cast<double>(r);
          const double fr = std::floor(pr);
          const int64_t r0 = clamp_index(fr, rows);
          const int64_t r1 = clamp_index(fr + 1.0, rows);
          const double wr0 = 1.0 - (pr - fr);
          const double wr1 = 1.0 - wr0;
          // Each weight product is formed before it meets its sample, and the
          // four terms are added left to right.
          const double w00 = wr0 * wc0, w10 = wr1 * wc0, w01 = wr0 * wc1, w11 = wr1 * wc1;
          for (int64_t k = 0; k < 3; ++k) {
            const int64_t a = D + v, b = D + u;
            const double value = ((w00 * source[rlf_index(field, r0, c0, a, b, k)] +
                                   w10 * source[rlf_index(field, r1, c0, a, b, k)]) +
                                  w01 * source[rlf_index(field, r0, c1, a, b, k)]) +
                                 w11 * source[rlf_index(field, r1, c1, a, b, k)];
            destination[rlf_index(field, r, c, a, b, k)] = value;
            sum[k] = sum[k] + value;
          }
        }
      }
      for (int64_t k = 0; k < 3; ++k) image[image_index(rows, cols, r, c, k)] = sum[k] / block;
    }
  }
}
