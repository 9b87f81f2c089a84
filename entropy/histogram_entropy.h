// Entropy in nats of a 256-bin single-precision histogram of C^2 samples.
// Host-free. The kernels reach the same bits through a table of summands by
// count (plane_entropy.h) instead of a float histogram per pixel.
#pragma once

#include <cstdint>

// Divides every count by C^2 in place, then returns -(sum of natural_log(p) * p over
// the bins with p > 0, in ascending bin order), all in single precision. An
// empty histogram, or C = 0, gives negative zero.
float histogram_entropy(float* histogram, int32_t angular_size);
