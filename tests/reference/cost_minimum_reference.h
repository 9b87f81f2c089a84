// The least-cost disparity and its confidence as their definition reads,
// pixel by pixel, never optimised: the oracle of filter/cost_minimum.
#pragma once

#include <cstdint>

// Same contract as cost_minimum (filter/cost_minimum.h).
void cost_minimum_reference(const double* cost, const double* shift, int64_t rows, int64_t cols, int64_t shifts,
                            bool refine, double* disparity, double* confidence);
