// The angular entropy of a light field refocused at each of a list of shifts,
// without ever holding a refocused light field: tiles of pixels are refocused
// into a small buffer and their entropy taken there, on one or more threads.
// Host-free.
#pragma once

#include <cstdint>

#include "common/vector_paths.h"

// The first refocused sample outside the rounded bin range: the lowest shift
// index, and within it the first sample in the entropy kernels' visiting
// order (pixel rows, pixel columns, angular rows, angular columns, planes).
struct SweepFault {
  int64_t shift;  // -1: none
  int64_t index;  // position of the sample in a refocused (rows*C) x (cols*C) x 3 field
  double value;
};

// Pixels per tile; zero picks the default sizes (docs/PERFORMANCE.md).
struct SweepTiling {
  int64_t rows = 0, cols = 0;
};

// For every s < n: entropy[.. + s*rows*cols] (rows x cols) and, unless
// images is null, images[.. + s*rows*cols*3] (rows x cols x 3) hold what the
// refocus kernel (angular radius (C-1)/2, every block position written) and
// then the channel-averaged entropy kernel give for shifts[s]. Requires C odd,
// 1 <= C, rows, cols <= 65535, and threads >= 1 (1: the calling thread only).
// The results do not depend on the path, the tiling or the thread count. When
// a fault is returned, the outputs hold unspecified values. Throws
// std::bad_alloc, on the calling thread, when the tile buffers cannot be had;
// the threads allocate nothing, and every one has ended when this returns or
// throws.
SweepFault entropy_sweep(VectorPath path, const double* source, int64_t rows, int64_t cols, int64_t angular_size,
                         const double* shifts, int64_t n, double* entropy, double* images, int threads,
                         SweepTiling tiling = {});

// How many threads this process may run at once: its CPU affinity where the
// system tells it, else the hardware's count; at least 1.
int available_threads();
