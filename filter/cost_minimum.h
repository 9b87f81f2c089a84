// The disparity of least cost per pixel of a cost volume, refined between the
// shifts, and the confidence of that minimum. Host-free.
#pragma once

#include <cstdint>

// cost holds `shifts` slices of rows x cols (column-major), slice s measured
// at shift[s]; every value finite. For each pixel p:
//   least = the smallest cost, at the first slice b that has it;
//   disparity[p] = shift[b], or with refine and at least 3 shifts the vertex
//   of the parabola through it and its neighbours in shift order (stable
//   sort), clamped to half a step either side; the ends of the range, three
//   equal costs and repeated shifts keep shift[b];
//   confidence[p] = (m - least)/m * min(1, (rival - least)/(m - least)), m the
//   mean cost (summed in slice order), rival the least cost at any other local
//   minimum in shift order more than one step from b (m when there is none);
//   0 where m <= 0 or m <= least.
// Each formula is evaluated in the order written, no contraction, so the bits
// match the element-wise array code they come from. confidence may be null.
// Needs shifts >= 1; uses rows*cols*4 + shifts*2 words of working memory
// (throws std::bad_alloc when it cannot be had).
void cost_minimum(const double* cost, const double* shift, int64_t rows, int64_t cols, int64_t shifts, bool refine,
                  double* disparity, double* confidence);
