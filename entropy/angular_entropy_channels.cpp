// Per-plane angular entropy: three truncated-bin histograms per pixel, each
// entropy widened to double into its own map.
#include "entropy/angular_entropy_channels.h"

#include <cstring>

#include "common/remapped_light_field.h"
#include "entropy/angular_bins.h"
#include "entropy/histogram_entropy.h"

void angular_entropy_channels(const double* source, double* map0, double* map1, double* map2,
                              uint16_t cols, uint16_t rows, uint16_t angular_size) {
  const RemappedLightField field{source, rows, cols, angular_size};
  double* const maps[3] = {map0, map1, map2};
  float histograms[3][kBins];
  for (int64_t r = 0; r < rows; ++r) {
    for (int64_t c = 0; c < cols; ++c) {
      std::memset(histograms, 0, sizeof histograms);
      count_pixel_samples<truncated_bin>(field, r, c, histograms);
      for (int k = 0; k < 3; ++k)
        maps[k][map_index(rows, r, c)] = static_cast<double>(histogram_entropy(histograms[k], angular_size));
    }
  }
}
