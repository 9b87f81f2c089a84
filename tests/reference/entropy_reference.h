// The angular entropy algorithms followed step by step, never optimised: the
// oracles that the modules' kernels must match bit for bit.
#pragma once

#include <cstdint>

float histogram_entropy_reference(float* histogram, int32_t angular_size);

void angular_entropy_mean_reference(const double* source, double* map, int32_t cols, int32_t rows,
                                    int32_t angular_size);

void angular_entropy_channels_reference(const double* source, double* map0, double* map1, double* map2,
                                        uint16_t cols, uint16_t rows, uint16_t angular_size);
