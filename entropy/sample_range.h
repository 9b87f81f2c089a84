// Names the sample that made an entropy kernel report one outside its bin
// rule's range. Host-free.
#pragma once

#include <cstdint>

#include "common/remapped_light_field.h"
#include "entropy/angular_bins.h"

// Index into `source` of the first sample outside `range` in the order the
// entropy kernels are defined over (pixel rows, pixel columns, then angular
// rows a, angular columns b, then planes), or -1 when the kernel reads none.
// A plain walk: entries run it only after a kernel has reported a fault.
// `planes`: how many planes the source holds (1 for a single plane).
int64_t first_sample_out_of_range(const double* source, int64_t rows, int64_t cols, int64_t angular_size,
                                  SampleRange range, int64_t planes = 3);

// The place of sample `index` of a field in that order.
inline int64_t visiting_rank(const RemappedLightField& field, int64_t index) {
  const RlfPlace p = rlf_place(field, index);
  return (((p.r * field.cols + p.c) * field.angular_size + p.a) * field.angular_size + p.b) * 3 + p.k;
}
