// The vector paths of the refocus kernels. Host-free.
#pragma once

#include "common/vector_paths.h"

// The kernels have vectors of two doubles (sse2 on x86-64, neon on AArch64,
// plain C++ on the portable path of builds without vector extensions) and of
// four (avx2, chosen at run time). 512-bit vectors were no faster than
// 256-bit ones (their shuffles are slower on the AVX-512 machine measured;
// docs/PERFORMANCE.md), so avx512 has no kernel of its own: it runs avx2's.
bool refocus_has_path(VectorPath path);
// The widest path of the kernel that this CPU runs.
VectorPath refocus_best_path();

// Of a refocus kernel's table for vectors of two and, where compiled (else
// null), its table for vectors of four, the one that a path runs: the one
// place where avx512 runs avx2's kernels.
template <class Kernels>
constexpr const Kernels& refocus_table(VectorPath path, const Kernels& pairs, const Kernels* quads) {
  return (path == VectorPath::avx2 || path == VectorPath::avx512) && quads ? *quads : pairs;
}
