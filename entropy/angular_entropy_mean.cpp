// Channel-averaged angular entropy: rounded bins, the three plane entropies
// summed in single precision and averaged in double, one plane at a time.
#include "entropy/angular_entropy_mean.h"

#include "entropy/entropy_paths.h"
#include "entropy/plane_entropy.h"

void angular_entropy_mean_on_path(EntropyPath path, const double* source, double* map, int32_t cols, int32_t rows,
                                  int32_t angular_size) {
  if (rows <= 0 || cols <= 0) return;
  const int64_t pixels = int64_t{rows} * cols;
  if (angular_size <= 0) {
    // Empty histograms: each plane's entropy is -0, and so is their mean.
    for (int64_t i = 0; i < pixels; ++i) map[i] = -0.0;
    return;
  }
  EntropyTerms terms;
  make_entropy_terms(terms, angular_size);
  const int64_t plane = int64_t{rows} * angular_size * cols * angular_size;
  // (E0 + E1) + E2: the map carries the partial sum from plane to plane.
  const MapUpdate updates[3] = {MapUpdate::store, MapUpdate::add, MapUpdate::add_average};
  for (int k = 0; k < 3; ++k)
    plane_entropy(path, BinRule::rounded, source + k * plane, rows, cols, angular_size, terms, map, updates[k]);
}

void angular_entropy_mean(const double* source, double* map, int32_t cols, int32_t rows, int32_t angular_size) {
  angular_entropy_mean_on_path(entropy_best_path(), source, map, cols, rows, angular_size);
}
