// The visiting-order walk that names a rejected call's first bad sample.
#include "entropy/sample_range.h"

#include "common/remapped_light_field.h"

int64_t first_sample_out_of_range(const double* source, int64_t rows, int64_t cols, int64_t angular_size,
                                  SampleRange range, int64_t planes) {
  const RemappedLightField field{source, rows, cols, angular_size};
  for (int64_t r = 0; r < rows; ++r)
    for (int64_t c = 0; c < cols; ++c)
      for (int64_t a = 0; a < angular_size; ++a)
        for (int64_t b = 0; b < angular_size; ++b)
          for (int64_t k = 0; k < planes; ++k) {
            const int64_t i = rlf_index(field, r, c, a, b, k);
            if (outside_range(source[i], range)) return i;
          }
  return -1;
}
