// The vector paths of the refocus kernel. Host-free.
#pragma once

#include "common/vector_paths.h"

// The kernel has vectors of two doubles (sse2 on x86-64, neon on AArch64,
// plain C++ on the portable path of builds without vector extensions) and of
// four (avx2, chosen at run time). 512-bit vectors were no faster than
// 256-bit ones (their shuffles are slower on the AVX-512 machine measured;
// docs/PERFORMANCE.md), so avx512 is no path of this kernel.
bool refocus_has_path(VectorPath path);
// The widest path of the kernel that this CPU runs.
VectorPath refocus_best_path();
// The kernel's path for a vector path of the whole library: its widest that
// the path's instruction set covers (avx2 for avx512).
inline VectorPath refocus_path_for(VectorPath path) { return path == VectorPath::avx512 ? VectorPath::avx2 : path; }
