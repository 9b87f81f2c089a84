#include "tests/reference/entropy_reference.h"

#include <cassert>
#include <cstdint>

#include "common/natural_log.h"
#include "tests/reference/round_half_away.h"

namespace {

int32_t bin_rounded(double sample) { return static_cast<int32_t>(round_half_away(static_cast<float>(sample))); }
int32_t bin_truncated(double sample) { return static_cast<int32_t>(static_cast<float>(sample)); }

int64_t rlf(int64_t rows, int64_t cols, int64_t C, int64_t r, int64_t c, int64_t a, int64_t b, int64_t k) {
  const int64_t P = rows * C * cols * C;
  return (r * C + a) + (c * C + b) * (rows * C) + k * P;
}

// One pixel's three histograms, each sample added as the definition visits it.
template <int32_t (*Bin)(double)>
void fill(const double* source, int64_t rows, int64_t cols, int64_t C, int64_t r, int64_t c,
          float (&h)[3][256]) {
  for (int k = 0; k < 3; ++k)
    for (int b = 0; b < 256; ++b) h[k][b] = 0.0f;
  for (int64_t a = 0; a < C; ++a)
    for (int64_t b = 0; b < C; ++b)
      for (int64_t k = 0; k < 3; ++k) {
        const int32_t bin = Bin(source[rlf(rows, cols, C, r, c, a, b, k)]);
        assert(bin >= 0 && bin < 256);
        h[k][bin] = h[k][bin] + 1.0f;
      }
}

}  // namespace

float histogram_entropy_reference(float* histogram, int32_t angular_size) {
  // A 32-bit C^2, as defined; the tests keep |C| small enough for it.
  assert(angular_size > -46341 && angular_size < 46341);
  const int32_t block = angular_size * angular_size;
  for (int b = 0; b < 256; ++b) histogram[b] = histogram[b] / static_cast<float>(block);
  float sum = 0.0f;
  for (int b = 0; b < 256; ++b) {
    if (histogram[b] > 0.0f) {
      const float term = natural_log(histogram[b]) * histogram[b];
      sum = sum + term;
    }
  }
  return sum * -1.0f;
}

void angular_entropy_mean_reference(const double* source, double* map, int32_t cols, int32_t rows,
                                    int32_t angular_size) {
  float h[3][256];
  for (int64_t r = 0; r < rows; ++r)
    for (int64_t c = 0; c < cols; ++c) {
      fill<bin_rounded>(source, rows, cols, angular_size, r, c, h);
      float E[3];
      for (int k = 0; k < 3; ++k) E[k] = histogram_entropy_reference(h[k], angular_size);
      const float e01 = E[0] + E[1];
      const float e012 = e01 + E[2];
      map[r + c * rows] = static_cast<double>(e012) / 3.0;
    }
}

void angular_entropy_channels_reference(const double* source, double* map0, double* map1, double* map2,
                                        uint16_t cols, uint16_t rows, uint16_t angular_size) {
  double* maps[3] = {map0, map1, map2};
  float h[3][256];
  for (int64_t r = 0; r < rows; ++r)
    for (int64_t c = 0; c < cols; ++c) {
      fill<bin_truncated>(source, rows, cols, angular_size, r, c, h);
      for (int k = 0; k < 3; ++k) {
        const float E = histogram_entropy_reference(h[k], angular_size);
        maps[k][r + c * rows] = static_cast<double>(E);
      }
    }
}
