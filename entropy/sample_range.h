// Names the sample that made an entropy kernel report one outside its bin
// rule's range. Host-free.
#pragma once

#include <cstdint>

#include "entropy/angular_bins.h"

// Index into `source` of the first sample outside `range` in the order the
// entropy kernels are defined over (pixel rows, pixel columns, then angular
// rows a, angular columns b, then planes), or -1 when the kernel reads none.
// A plain walk: entries run it only after a kernel has reported a fault.
int64_t first_sample_out_of_range(const double* source, int64_t rows, int64_t cols, int64_t angular_size,
                                  SampleRange range);
