// The refocus algorithm followed step by step, never optimised: the oracle
// that the module's kernel must match bit for bit.
#pragma once

#include <cstdint>

void refocus_reference(const double* source, double* destination, double* image, uint16_t cols,
                       uint16_t rows, uint16_t angular_size, uint16_t angular_radius, double alpha);
