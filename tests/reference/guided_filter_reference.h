// The guided filter as its definition reads, over whole maps, never
// optimised: the oracle the filter kernel must match bit for bit.
#pragma once

#include <cstdint>

// Same contract as guided_filter (filter/guided_filter.h), on one thread.
void guided_filter_reference(const double* p, const double* guide, int64_t rows, int64_t cols, int64_t slices,
                             int64_t radius, double epsilon, double* q);
