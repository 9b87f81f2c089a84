// Angular entropy of each pixel in each colour plane separately, with samples
// binned by truncation (tressik). Host-free.
#pragma once

#include <cstdint>

// Writes map_k[r + c*rows] for every pixel and plane k of a (rows*C) x
// (cols*C) x 3 remapped light field; nothing when rows or cols is 0, negative
// zero everywhere when C = 0. Every sample must lie in kTruncatedBinRange, and
// no map may overlap the source or another map.
void angular_entropy_channels(const double* source, double* map0, double* map1, double* map2,
                              uint16_t cols, uint16_t rows, uint16_t angular_size);
