// The entropy sweep of a light field whose views keep one pixel in k along
// each side, without ever holding the shrunk field: strips of shrunk rows,
// each with the rows its outer views reach at the largest shift, are gathered
// into one buffer and swept there. Host-free.
#pragma once

#include <cstdint>

#include "common/vector_paths.h"
#include "sweep/entropy_sweep.h"

// The strip buffer's size when the caller names none (docs/PERFORMANCE.md).
constexpr int64_t kShrunkStripBytes = int64_t{128} << 20;

// The shrunk field has rows = source_rows / k by cols = source_cols / k
// pixels (rounded down); its pixel (r, c) is the source's pixel (r*k, c*k),
// every angular sample and plane kept. entropy (rows x cols x n) receives,
// bit for bit, what entropy_sweep gives on the shrunk field, and the fault
// returned is the one entropy_sweep would return there (its index into the
// shrunk field). Requires C odd, 1 <= C, source_rows, source_cols <= 65535,
// k >= 1 and threads >= 1. The buffer holds strip_bytes, or the least strip
// that one row and the rows its views reach need, if that is more; with
// shifts beyond the field's height that is the whole shrunk field. Throws
// std::bad_alloc on the calling thread.
SweepFault shrunk_entropy_sweep(VectorPath path, const double* source, int64_t source_rows, int64_t source_cols,
                                int64_t angular_size, int64_t k, const double* shifts, int64_t n, double* entropy,
                                int threads, int64_t strip_bytes = kShrunkStripBytes);
