// The instruction-set paths of the refocus kernel, so that tests and the
// benchmark can run each one; refocus_remapped picks the widest available.
#pragma once

#include <cstdint>

// baseline: the compiler's default vectors (SSE2 on any x86-64, NEON on
// AArch64); avx2: 256-bit vectors, chosen at run time where the CPU has them.
enum class RefocusPath { baseline, avx2 };

// Whether this build has the path and this CPU can run it.
bool refocus_path_available(RefocusPath path);
const char* refocus_path_name(RefocusPath path);
RefocusPath refocus_best_path();

// refocus_remapped on the given path, which must be available.
void refocus_remapped_on_path(RefocusPath path, const double* source, double* destination, double* image,
                              uint16_t cols, uint16_t rows, uint16_t angular_size, uint16_t angular_radius,
                              double alpha);
