// Shift-and-add refocusing of a remapped light field with clamped bilinear
// interpolation. Host-free.
#pragma once

#include <cstdint>

#include "refocus/refocus_paths.h"

// Writes block positions 0 .. 2D of every pixel of `destination` and every
// element of the rows x cols x 3 `image`. Requires C >= 2D + 1 and arrays of
// (rows*C) x (cols*C) x 3 elements; allocates nothing.
void refocus_remapped(const double* source, double* destination, double* image, uint16_t cols,
                      uint16_t rows, uint16_t angular_size, uint16_t angular_radius, double alpha,
                      VectorPath path = refocus_best_path());
