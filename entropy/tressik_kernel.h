// tressik's kernel: each pixel's angular entropy in each colour plane
// separately, with samples binned by truncation. Host-free.
#pragma once

#include <cstdint>

#include "common/vector_paths.h"
#include "entropy/plane_entropy.h"

// Writes map_k[r + c*rows] for every pixel and plane k of a (rows*C) x
// (cols*C) x 3 remapped light field; nothing when rows or cols is 0, negative
// zero everywhere when C = 0. Returns whether every sample lies in
// kTruncatedBinRange; when one does not, the maps hold no meaningful values.
// No map may overlap the source or another map. `path`: any available one.
bool angular_entropy_channels(const double* source, double* map0, double* map1, double* map2, uint16_t cols,
                              uint16_t rows, uint16_t angular_size, VectorPath path = plane_entropy_path());
