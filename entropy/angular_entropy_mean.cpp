// Channel-averaged angular entropy: three rounded-bin histograms per pixel,
// their entropies summed in single precision and averaged in double.
#include "entropy/angular_entropy_mean.h"

#include <cstring>

#include "common/remapped_light_field.h"
#include "entropy/angular_bins.h"
#include "entropy/histogram_entropy.h"

void angular_entropy_mean(const double* source, double* map, int32_t cols, int32_t rows,
                          int32_t angular_size) {
  // An empty grid writes nothing; returning at once spares walking up to
  // 2^31 - 1 rows of no columns, which unoptimised builds do row by row.
  if (rows <= 0 || cols <= 0) return;
  const RemappedLightField field{source, rows, cols, angular_size};
  float histograms[3][kBins];
  for (int64_t r = 0; r < rows; ++r) {
    for (int64_t c = 0; c < cols; ++c) {
      std::memset(histograms, 0, sizeof histograms);
      count_pixel_samples<rounded_bin>(field, r, c, histograms);
      const float e0 = histogram_entropy(histograms[0], angular_size);
      const float e1 = histogram_entropy(histograms[1], angular_size);
      const float e2 = histogram_entropy(histograms[2], angular_size);
      // E0 + E1 first, then E2, in single precision; only the division is in double.
      const float total = (e0 + e1) + e2;
      map[map_index(rows, r, c)] = static_cast<double>(total) / 3.0;
    }
  }
}
