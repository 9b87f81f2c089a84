// The sample-range check before an entropy kernel runs. Every sample the
// kernel reads lies in the leading (rows*C) x (cols*C) x 3 elements, so one
// straight pass over them settles the usual case; only when it finds a fault
// is the block order walked to name the first one.
#include "entropy/sample_range.h"

#include <algorithm>

#include "common/remapped_light_field.h"

namespace {

int64_t first_in_visiting_order(const RemappedLightField& field, SampleRange range) {
  const int64_t C = field.angular_size;
  for (int64_t r = 0; r < field.rows; ++r)
    for (int64_t c = 0; c < field.cols; ++c)
      for (int64_t a = 0; a < C; ++a)
        for (int64_t b = 0; b < C; ++b)
          for (int64_t k = 0; k < 3; ++k) {
            const int64_t i = rlf_index(field, r, c, a, b, k);
            if (outside_range(field.data[i], range)) return i;
          }
  return -1;
}

}  // namespace

int64_t first_sample_out_of_range(const double* source, int64_t rows, int64_t cols, int64_t angular_size,
                                  SampleRange range) {
  if (rows <= 0 || cols <= 0 || angular_size <= 0) return -1;
  const int64_t count = rows * angular_size * cols * angular_size * 3;
  // Branch-free over each chunk: the usual case pays three comparisons per sample.
  constexpr int64_t kChunk = 4096;
  for (int64_t start = 0; start < count; start += kChunk) {
    const int64_t end = std::min(count, start + kChunk);
    uint64_t outside = 0;
    for (int64_t i = start; i < end; ++i) outside |= outside_range(source[i], range);
    if (outside) return first_in_visiting_order({source, rows, cols, angular_size}, range);
  }
  return -1;
}
