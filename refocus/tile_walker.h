// The walk over one tile of rows of one plane that every refocus kernel
// makes, whatever its source slots and its sink: the whole-field kernel
// (refocus_remapped.cpp) and the sweep's window. Host-free.
//
// Internal linkage, as refocus_column.h: each including file compiles its own
// copies inside its instruction sets' functions.
#pragma once

#include <algorithm>
#include <cstdint>

#include "refocus/refocus_column.h"
#include "refocus/refocus_region.h"

namespace {

// The rows of a tile: the first one's place among the region's rows, how
// many, and how far apart two columns' running sums lie.
struct TileRows {
  int64_t r_at, count, sum_stride;
};

// Column c at offset u, as far as every kernel forms it: its weights, its
// source columns (*c0, *c1) and its running sums; nothing asked ahead yet.
template <class Sink>
LF_INLINE ColumnJob<Sink> column_job(const Geometry& g, int64_t u, int64_t c, double* sum, int64_t* c0, int64_t* c1) {
  ColumnJob<Sink> job;
  column_terms(g, u, c, &job.wc0, &job.wc1, c0, c1);
  job.sum = sum;
  job.next_source = job.next_destination = 0;
  job.source_lines = job.destination_lines = 0;
  return job;
}

// Loop order: tiles of columns whose running sums fit kSumEntries, u, chunks
// of `chunk` offsets v, columns left to right (a Columns call refocuses one
// column or a group of neighbours sharing weight products), then each pixel's
// sum over its block into the image. Every pixel still adds its values in
// u-outer, v-inner order and forms each value by exactly the per-pixel
// expressions, so no bit depends on the tiling; only which pixel is worked on
// when moves.
//
// Columns holds what differs between the kernels, where a column's source
// slots come from and where its values go:
//   void offsets(int64_t u, int64_t v_begin);  // before the columns of one u and chunk
//   int64_t columns(int64_t c_begin, int64_t cl, int64_t m);  // column c_begin + cl of a
//       column tile of m, with the sums of column tile column cl at sums + cl * sum_stride;
//       returns how many columns it refocused
template <class Columns>
LF_INLINE void walk_tile(const Geometry& g, const RefocusRegion& region, const TileRows& rows, int64_t chunk,
                         double* sums, double* image_plane, Columns& columns) {
  const double block = static_cast<double>(static_cast<int32_t>(g.C * g.C));
  const int64_t col_tile = kSumEntries / rows.sum_stride;
  for (int64_t c_begin = region.c_begin; c_begin < region.c_end; c_begin += col_tile) {
    const int64_t m = std::min(col_tile, region.c_end - c_begin);
    std::fill(sums, sums + m * rows.sum_stride, 0.0);
    for (int64_t u = -g.D; u <= g.D; ++u)
      for (int64_t v_begin = -g.D; v_begin <= g.D; v_begin += chunk) {
        columns.offsets(u, v_begin);
        for (int64_t cl = 0; cl < m;) cl += columns.columns(c_begin, cl, m);
      }
    for (int64_t cl = 0; cl < m; ++cl)
      for (int64_t i = 0; i < rows.count; ++i)
        image_plane[(rows.r_at + i) + (c_begin + cl - region.c_begin) * region.image_rows] =
            sums[cl * rows.sum_stride + i] / block;
  }
}

}  // namespace
