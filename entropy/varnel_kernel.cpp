// varnel's kernel: rounded bins, the three plane entropies summed in single
// precision and averaged in double, one plane at a time.
#include "entropy/varnel_kernel.h"

#include "common/remapped_light_field.h"
#include "entropy/plane_entropy.h"

bool angular_entropy_mean(const double* source, double* map, int32_t cols, int32_t rows, int32_t angular_size,
                          VectorPath path) {
  if (rows <= 0 || cols <= 0) return true;
  const int64_t pixels = int64_t{rows} * cols;
  if (angular_size <= 0) {
    // Empty histograms: each plane's entropy is -0, and so is their mean.
    for (int64_t i = 0; i < pixels; ++i) map[i] = -0.0;
    return true;
  }
  EntropyTerms terms;
  make_entropy_terms(terms, angular_size);
  const RemappedLightField field{source, rows, cols, angular_size};
  // (E0 + E1) + E2: the map carries the partial sum from plane to plane.
  const MapUpdate updates[3] = {MapUpdate::store, MapUpdate::add, MapUpdate::add_average};
  bool inside = true;
  for (int k = 0; k < 3; ++k)
    inside &= plane_entropy(path, BinRule::rounded, source + rlf_index(field, 0, 0, 0, 0, k), rows, cols,
                            angular_size, terms, map, updates[k]);
  return inside;
}
