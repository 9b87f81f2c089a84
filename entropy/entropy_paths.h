// The instruction-set paths of the angular entropy kernels and of the sample
// range check before them, so that tests and the benchmark can run each one;
// the plain entry points pick the widest path this CPU runs.
#pragma once

#include <cstdint>

#include "entropy/angular_bins.h"

// baseline: portable code (with SSE2 for the check on x86-64); avx2: AVX2,
// for CPUs without AVX-512; avx512: AVX-512 with VBMI. The vector kernels
// take 1 <= C <= 15; larger blocks take the baseline kernel on every path.
enum class EntropyPath { baseline, avx2, avx512 };

// Whether this build has the path and this CPU can run it.
bool entropy_path_available(EntropyPath path);
const char* entropy_path_name(EntropyPath path);
EntropyPath entropy_best_path();

// The kernels and the check on the given path, which must be available.
void angular_entropy_mean_on_path(EntropyPath path, const double* source, double* map, int32_t cols, int32_t rows,
                                  int32_t angular_size);
void angular_entropy_channels_on_path(EntropyPath path, const double* source, double* map0, double* map1,
                                      double* map2, uint16_t cols, uint16_t rows, uint16_t angular_size);
int64_t first_sample_out_of_range_on_path(EntropyPath path, const double* source, int64_t rows, int64_t cols,
                                          int64_t angular_size, SampleRange range);
