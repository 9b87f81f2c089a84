// varnel's kernel: the mean over the three colour planes of each pixel's
// angular entropy, with samples binned by rounding. Host-free.
#pragma once

#include <cstdint>

#include "common/vector_paths.h"
#include "entropy/plane_entropy.h"

// Writes map[r + c*rows] for every pixel of a (rows*C) x (cols*C) x 3 remapped
// light field; nothing when rows <= 0 or cols <= 0, negative zero everywhere
// when C <= 0. Returns whether every sample lies in kRoundedBinRange; when one
// does not, the map holds no meaningful values. The map must not overlap the
// source (it carries partial sums between planes). `path`: any available one.
bool angular_entropy_mean(const double* source, double* map, int32_t cols, int32_t rows, int32_t angular_size,
                          VectorPath path = plane_entropy_path());
