// Per-plane angular entropy: truncated bins, each plane's entropies widened
// to double into its own map, one plane at a time.
#include "entropy/angular_entropy_channels.h"

#include "entropy/entropy_paths.h"
#include "entropy/plane_entropy.h"

void angular_entropy_channels_on_path(EntropyPath path, const double* source, double* map0, double* map1,
                                      double* map2, uint16_t cols, uint16_t rows, uint16_t angular_size) {
  double* const maps[3] = {map0, map1, map2};
  const int64_t pixels = int64_t{rows} * cols;
  if (pixels == 0) return;
  if (angular_size == 0) {
    for (double* map : maps)
      for (int64_t i = 0; i < pixels; ++i) map[i] = -0.0;
    return;
  }
  EntropyTerms terms;
  make_entropy_terms(terms, angular_size);
  const int64_t plane = int64_t{rows} * angular_size * cols * angular_size;
  for (int k = 0; k < 3; ++k)
    plane_entropy(path, BinRule::truncated, source + k * plane, rows, cols, angular_size, terms, maps[k],
                  MapUpdate::store);
}

void angular_entropy_channels(const double* source, double* map0, double* map1, double* map2, uint16_t cols,
                              uint16_t rows, uint16_t angular_size) {
  angular_entropy_channels_on_path(entropy_best_path(), source, map0, map1, map2, cols, rows, angular_size);
}
