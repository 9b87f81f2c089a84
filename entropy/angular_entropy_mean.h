// Mean over the three colour planes of each pixel's angular entropy, with
// samples binned by rounding (varnel). Host-free.
#pragma once

#include <cstdint>

// Writes map[r + c*rows] for every pixel of a (rows*C) x (cols*C) x 3 remapped
// light field; nothing when rows <= 0 or cols <= 0, negative zero everywhere
// when C <= 0. Every sample must lie in kRoundedBinRange, and the map must
// not overlap the source (it carries partial sums between planes).
void angular_entropy_mean(const double* source, double* map, int32_t cols, int32_t rows,
                          int32_t angular_size);
