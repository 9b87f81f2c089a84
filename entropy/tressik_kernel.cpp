// tressik's kernel: truncated bins, each plane's entropies widened to double
// into its own map, one plane at a time.
#include "entropy/tressik_kernel.h"

#include "common/remapped_light_field.h"
#include "entropy/plane_entropy.h"

bool angular_entropy_channels(const double* source, double* map0, double* map1, double* map2, uint16_t cols,
                              uint16_t rows, uint16_t angular_size, VectorPath path) {
  double* const maps[3] = {map0, map1, map2};
  const int64_t pixels = int64_t{rows} * cols;
  if (pixels == 0) return true;
  if (angular_size == 0) {
    for (double* map : maps)
      for (int64_t i = 0; i < pixels; ++i) map[i] = -0.0;
    return true;
  }
  EntropyTerms terms;
  make_entropy_terms(terms, angular_size);
  const RemappedLightField field{source, rows, cols, angular_size};
  bool inside = true;
  for (int k = 0; k < 3; ++k)
    inside &= plane_entropy(path, BinRule::truncated, source + rlf_index(field, 0, 0, 0, 0, k), rows, cols,
                            angular_size, terms, maps[k], MapUpdate::store);
  return inside;
}
