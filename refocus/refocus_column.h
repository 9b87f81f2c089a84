// The column kernels of shift-and-add refocusing, shared by the whole-field
// kernel (refocus_remapped.cpp) and the sweep's window: the row terms of a
// tile, source columns copied into slots where one offset's rows lie side by
// side, and the values of one column, or of neighbouring columns that share
// their weight products, handed to a sink. Host-free.
//
// Internal linkage, as refocus_vector.h: each including file compiles its
// own copies inside its instruction sets' functions.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "common/portable.h"
#include "refocus/refocus_vector.h"

namespace {

// The truncate-then-clamp rule for a floored position. Any value at or beyond
// the bound (including +inf) takes the last index and anything below zero or
// NaN takes the first, so no float-to-int conversion ever leaves its range.
inline int64_t clamp_index(double f, int64_t bound) {
  if (!(f >= 0.0)) return 0;
  if (f >= static_cast<double>(bound)) return bound - 1;
  return static_cast<int64_t>(f);
}

// Working memory, fixed whatever the sizes (RefocusScratch): a tile of rows
// times the offsets v of one chunk is at most kEntries pairs.
// Tall tiles keep the reads and writes of one column long enough for the
// memory system to stream them.
constexpr int64_t kEntries = 2304;
constexpr int64_t kMinTile = 8;
constexpr int64_t kMaxTile = 256;
constexpr int64_t kMaxChunk = kEntries / kMinTile;
constexpr int64_t kSumEntries = 2048;
constexpr int64_t kSlotEntries = kEntries + kEntries / 4;

// -alpha for the sample positions. alpha * -1.0 keeps a NaN's sign bit on
// IEEE hardware, but compilers fold the product into a sign flip, which
// flips it; so only a number is negated, and a NaN passes as it is.
LF_INLINE double negated(double alpha) { return std::isnan(alpha) ? alpha : -alpha; }

struct Geometry {
  int64_t rows, cols, C, D;
  int64_t height, plane_size;  // rows * C, the layout's column height; elements of one plane
  double neg_alpha;            // negated(alpha)
};

// The row half of a sample's position, its floor, neighbours and weight, by
// the very expressions of one pixel.
LF_INLINE void row_terms(const Geometry& g, int64_t v, int64_t r, double* wr0, int64_t* r0, int64_t* r1) {
  const double pr = static_cast<double>(v) * g.neg_alpha + static_cast<double>(r);
  const double fr = std::floor(pr);
  *wr0 = 1.0 - (pr - fr);
  *r0 = clamp_index(fr, g.rows);
  *r1 = clamp_index(fr + 1.0, g.rows);
}

// The column half: neighbours and weights of column c at offset u, formed
// once per column and u and shared by every row and plane.
LF_INLINE void column_terms(const Geometry& g, int64_t u, int64_t c, double* wc0, double* wc1, int64_t* c0,
                            int64_t* c1) {
  const double pc = static_cast<double>(u) * g.neg_alpha + static_cast<double>(c);
  const double fc = std::floor(pc);
  *c0 = clamp_index(fc, g.cols);
  *c1 = clamp_index(fc + 1.0, g.cols);
  *wc0 = 1.0 - (pc - fc);
  *wc1 = 1.0 - *wc0;
}

// The row terms of one tile of rows and one chunk of offsets v (offset j is
// v = v_begin + j), formed once and shared by every plane, u and column; and
// where the source rows of each offset sit in a slot.
struct RowTable {
  int64_t tile, chunk;  // per call: the most rows of a tile, the most offsets of a chunk
  int64_t slot_stride;  // slot rows per offset: offset j's rows start at j * slot_stride
  int64_t r_begin, row_count, v_begin, offset_count;  // this tile's rows, this chunk's offsets
  double wr0[kEntries];  // [block of W rows][j][lane]
  // [block][j]: j * slot_stride + the slot row of the block's first r0 when
  // its rows run regularly (r0 + lane, r1 = r0 + 1); else -1.
  int32_t run_at[kEntries / 2];
  int32_t slot_row[2][kEntries];  // [r0 or r1][block][j][lane]: the row's place in the slot
  bool regular[kMaxTile];         // per block: W rows, run_at >= 0 for every j
  // Every offset holds the same source rows, common_first ..
  // common_first + common_rows - 1 (a slot then fills with whole vectors).
  bool common;
  int64_t common_first, common_rows;
  int64_t origin[kMaxChunk];  // per offset: source row at slot row 0
  int64_t filled[kMaxChunk];  // and how many slot rows hold data
};

// The per-row entries of a table whose slot rows (origin, filled, slot_stride) are set.
template <int W> void build_row_entries(const Geometry& g, RowTable& t) {
  const int64_t blocks = (t.row_count + W - 1) / W;
  for (int64_t b = 0; b < blocks; ++b) {
    t.regular[b] = (b + 1) * W <= t.row_count;
    for (int64_t j = 0; j < t.offset_count; ++j) {
      const int64_t v = t.v_begin + j;
      int64_t start = 0;
      bool regular = (b + 1) * W <= t.row_count;
      for (int64_t l = 0; l < W; ++l) {
        // Lanes past the last row repeat it; their values are never stored.
        const int64_t i = std::min(b * W + l, t.row_count - 1);
        int64_t r0, r1;
        row_terms(g, v, t.r_begin + i, &t.wr0[(b * t.offset_count + j) * W + l], &r0, &r1);
        t.slot_row[0][(b * t.offset_count + j) * W + l] = static_cast<int32_t>(std::min(r0 - t.origin[j], t.filled[j] - 1));
        t.slot_row[1][(b * t.offset_count + j) * W + l] = static_cast<int32_t>(std::min(r1 - t.origin[j], t.filled[j] - 1));
        if (l == 0) start = r0 - t.origin[j];
        regular = regular && r0 == t.origin[j] + start + l && r1 == r0 + 1;
      }
      regular = regular && start + W + 1 <= t.filled[j];
      t.run_at[b * t.offset_count + j] = regular ? static_cast<int32_t>(j * t.slot_stride + start) : -1;
      t.regular[b] = t.regular[b] && regular;
    }
  }
}

template <int W> void build_row_table(const Geometry& g, RowTable& t) {
  int64_t first = INT64_MAX, end = 0;
  for (int64_t j = 0; j < t.offset_count; ++j) {
    const int64_t v = t.v_begin + j;
    int64_t r0, r1;
    // Rows never decrease with r, so an offset needs rows r0(first row) ..
    // r1(last row): at most n + 2 of them, since floor(x + r) advances by at
    // most n over n rows and clamping only narrows the range.
    double w;
    row_terms(g, v, t.r_begin, &w, &r0, &r1);
    t.origin[j] = r0;
    row_terms(g, v, t.r_begin + t.row_count - 1, &w, &r0, &r1);
    t.filled[j] = std::min(r1 - t.origin[j] + 1, t.slot_stride);
    first = std::min(first, t.origin[j]);
    end = std::max(end, t.origin[j] + t.filled[j]);
  }
  // All offsets share one window of rows when it fits, so that a slot fills
  // with whole vectors; else each offset keeps its own rows.
  t.common = end - first <= t.slot_stride;
  t.common_first = first;
  t.common_rows = end - first;
  for (int64_t j = 0; j < t.offset_count; ++j) {
    if (t.common) {
      t.origin[j] = first;
      t.filled[j] = t.common_rows;
    }
  }
  build_row_entries<W>(g, t);
}

// Copies the source rows that the table names, from one block position a_begin
// of one column, into a slot: offset j into slot row j, so that rows that lie C
// apart in the layout become neighbours.
template <int W> LF_INLINE void fill_slot(const RowTable& t, const double* from, int64_t C, double* slot) {
  if (!t.common) {
    for (int64_t j = 0; j < t.offset_count; ++j) {
      const double* f = from + t.origin[j] * C + j;
      double* to = slot + j * t.slot_stride;
      for (int64_t q = 0; q < t.filled[j]; ++q) to[q] = f[q * C];
    }
    return;
  }
  from += t.common_first * C;
  int64_t q = 0;
  for (; q + W <= t.common_rows; q += W) {
    int64_t j = 0;
    for (; j + W <= t.offset_count; j += W) {
      Vec<W> x[W];
      LF_EACH_LANE
      for (int l = 0; l < W; ++l) x[l] = load<W>(from + (q + l) * C + j);
      Transpose<W>::run(x);
      LF_EACH_LANE
      for (int l = 0; l < W; ++l) store<W>(slot + (j + l) * t.slot_stride + q, x[l]);
    }
    for (; j < t.offset_count; ++j)
      for (int l = 0; l < W; ++l) slot[j * t.slot_stride + q + l] = from[(q + l) * C + j];
  }
  for (; q < t.common_rows; ++q)
    for (int64_t j = 0; j < t.offset_count; ++j) slot[j * t.slot_stride + q] = from[q * C + j];
}

template <int W> struct Weights {
  Vec<W> w00, w10, w01, w11;
};
template <int W> LF_INLINE Weights<W> weights(Vec<W> wr0, double wc0, double wc1) {
  const Vec<W> wr1 = 1.0 - wr0;
  return {wr0 * wc0, wr1 * wc0, wr0 * wc1, wr1 * wc1};
}
template <int W> LF_INLINE Vec<W> weighted(const Weights<W>& w, Vec<W> s00, Vec<W> s10, Vec<W> s01, Vec<W> s11) {
  return ((w.w00 * s00 + w.w10 * s10) + w.w01 * s01) + w.w11 * s11;
}
// The value of W rows of one plane: each weight product formed before it
// meets its sample, the four terms added left to right.
template <int W>
LF_INLINE Vec<W> interpolate(Vec<W> wr0, double wc0, double wc1, Vec<W> s00, Vec<W> s10, Vec<W> s01, Vec<W> s11) {
  return weighted<W>(weights<W>(wr0, wc0, wc1), s00, s10, s01, s11);
}


// Values into the destination in layout order: a column's destination at the
// tile's first row and the chunk's first block position; W offsets of W rows
// are transposed in registers to layout order before they are stored.
struct StoreValues {
  static constexpr bool kBins = false;
  struct Column {
    double* to;
  };
  struct Cursor {
    double* to;  // row i of the column
    int64_t C;
  };
  static LF_INLINE Cursor block(const Column& out, int64_t i, int64_t C) { return {out.to + i * C, C}; }
  // Offsets j .. j + W - 1 of W rows, x[l] holding offset j + l.
  template <int W> static LF_INLINE void offsets(const Cursor& at, int64_t j, Vec<W>* x) {
    Transpose<W>::run(x);
    LF_EACH_LANE
    for (int l = 0; l < W; ++l) store<W>(at.to + l * at.C + j, x[l]);
  }
  // Offset j of W rows.
  template <int W> static LF_INLINE void offset(const Cursor& at, int64_t j, Vec<W> x) {
    for (int l = 0; l < W; ++l) at.to[l * at.C + j] = x[l];
  }
  // Offset j of row l alone.
  static LF_INLINE void lane(const Cursor& at, int64_t j, int64_t l, double x) { at.to[l * at.C + j] = x; }
};

// One pixel column at one u, for the rows of a tile and the offsets of a
// chunk, and what to ask the memory for meanwhile; its values go to a Sink
// (StoreValues, or one of the sweep's).
template <class Sink> struct ColumnJob {
  const double* m0;  // slots of source columns c0 and c1
  const double* m1;
  double wc0, wc1;
  double* sum;  // running sums of the tile's rows
  typename Sink::Column out;
  // Source lines of the slot that the next column fills, and destination
  // lines of the next column, requested a few per block of rows.
  uintptr_t next_source;  // addresses, never dereferenced
  uintptr_t next_destination;
  int64_t source_lines, destination_lines;
};

// The cache lines that hold the doubles p[0] .. p[count - 1], count >= 1.
LF_INLINE void lines_of(const double* p, int64_t count, uintptr_t* first, int64_t* lines) {
  const uintptr_t begin = reinterpret_cast<uintptr_t>(p) & ~uintptr_t{63};
  const uintptr_t end = reinterpret_cast<uintptr_t>(p + count);
  *first = begin;
  *lines = static_cast<int64_t>((end - begin + 63) / 64);
}

// A column's requests for the lines its job names, spread evenly over its
// blocks of rows.
struct ColumnPrefetch {
  uintptr_t source, destination;
  int64_t source_left, destination_left, source_step, destination_step;

  template <class Job> LF_INLINE void start(const Job& job, int64_t blocks) {
    source = job.next_source;
    destination = job.next_destination;
    source_left = job.source_lines;
    destination_left = job.destination_lines;
    source_step = (source_left + blocks - 1) / blocks;
    destination_step = (destination_left + blocks - 1) / blocks;
  }
  // One block's share.
  LF_INLINE void some() {
    take(source, source_left, source_step);
    take(destination, destination_left, destination_step);
  }
  // Four lines a step: a block's share is a handful of lines, and a loop
  // step per line cost about a tenth of the kernel's instructions.
  static LF_INLINE void take(uintptr_t& p, int64_t& left, int64_t count) {
    count = std::min(left, count);
    left -= count;
    const uintptr_t end = p + static_cast<uintptr_t>(64 * count);
    for (; end - p >= 256; p += 256) {
      LF_PREFETCH(p);
      LF_PREFETCH(p + 64);
      LF_PREFETCH(p + 128);
      LF_PREFETCH(p + 192);
    }
    for (; p != end; p += 64) LF_PREFETCH(p);
  }
};

// Block b of W rows (rows i .. i + W - 1) of one column: refocus_column's
// work for one block, its values into the sink.
template <int W, int Side, class Sink>
LF_INLINE void refocus_block(const Geometry& g, const RowTable& t, const ColumnJob<Sink>& job, int64_t i, int64_t b) {
  const int64_t offsets = Side ? Side : t.offset_count, C = Side ? Side : g.C;
  const double* wr0 = t.wr0 + b * offsets * W;
  const int32_t* run_at = t.run_at + b * offsets;
  const typename Sink::Cursor out = Sink::block(job.out, i, C);
  const int64_t lanes = std::min<int64_t>(W, t.row_count - i);
  // Each pixel's sum takes the offsets in increasing j, as per pixel.
  Vec<W> S{};
  if (lanes == W) S = load<W>(job.sum + i);
  int64_t j = 0;
  if (t.regular[b]) {
    // W offsets at a time.
    for (; j + W <= offsets; j += W) {
      Vec<W> x[W];
      LF_EACH_LANE
      for (int l = 0; l < W; ++l) {
        const double* q0 = job.m0 + run_at[j + l];
        const double* q1 = job.m1 + run_at[j + l];
        x[l] = interpolate<W>(load<W>(wr0 + (j + l) * W), job.wc0, job.wc1, load<W>(q0), load<W>(q0 + 1),
                              load<W>(q1), load<W>(q1 + 1));
        S = S + x[l];
      }
      Sink::template offsets<W>(out, j, x);
    }
  }
  // The offsets left over, and every offset of a block that has clamped
  // rows (the grid's top and bottom), a row skipped by rounding, or fewer
  // than W rows: the same steps, the rows gathered one by one.
  for (; j < offsets; ++j) {
    Vec<W> x;
    if (run_at[j] >= 0) {
      const double* q0 = job.m0 + run_at[j];
      const double* q1 = job.m1 + run_at[j];
      x = interpolate<W>(load<W>(wr0 + j * W), job.wc0, job.wc1, load<W>(q0), load<W>(q0 + 1), load<W>(q1),
                         load<W>(q1 + 1));
    } else {
      const double* q0 = job.m0 + j * t.slot_stride;
      const double* q1 = job.m1 + j * t.slot_stride;
      double s[4][W];
      for (int l = 0; l < W; ++l) {
        const int32_t r0 = t.slot_row[0][(b * offsets + j) * W + l], r1 = t.slot_row[1][(b * offsets + j) * W + l];
        s[0][l] = q0[r0];
        s[1][l] = q0[r1];
        s[2][l] = q1[r0];
        s[3][l] = q1[r1];
      }
      x = interpolate<W>(load<W>(wr0 + j * W), job.wc0, job.wc1, load<W>(s[0]), load<W>(s[1]), load<W>(s[2]),
                         load<W>(s[3]));
    }
    if (lanes == W) {
      S = S + x;
      Sink::template offset<W>(out, j, x);
    } else {
      for (int64_t l = 0; l < lanes; ++l) {
        job.sum[i + l] = job.sum[i + l] + x[l];
        Sink::lane(out, j, l, x[l]);
      }
    }
  }
  if (lanes == W) store<W>(job.sum + i, S);
}

// Side > 0: the copy compiled for blocks of that side, every offset in one
// chunk (C = offsets = Side), whose loops over the offsets the compiler
// unrolls; Side = 0: any block and chunk.
template <int W, int Side, class Sink>
LF_INLINE void refocus_column(const Geometry& g, const RowTable& t, ColumnJob<Sink> job) {
  ColumnPrefetch ahead;
  ahead.start(job, (t.row_count + W - 1) / W);
  for (int64_t i = 0, b = 0; i < t.row_count; i += W, ++b) {
    ahead.some();
    refocus_block<W, Side, Sink>(g, t, job, i, b);
  }
}

// The values of K neighbouring columns at one offset from one weight product
// each: column k reads slots p + k * slot and p + (k + 1) * slot.
template <int W, int K>
LF_INLINE void group_values(const Weights<W>& w, const double* p, int64_t slot, Vec<W>* x, Vec<W>* S) {
  for (int k = 0; k < K; ++k) {
    const double* q0 = p + k * slot;
    const double* q1 = q0 + slot;
    x[k] = weighted<W>(w, load<W>(q0), load<W>(q0 + 1), load<W>(q1), load<W>(q1 + 1));
    S[k] = S[k] + x[k];
  }
}

// K neighbouring columns whose column weights have the same bits and whose
// source columns follow one another (column k reads slots c0 + k and
// c0 + k + 1, the slots `slot` apart, either way): in a block whose rows all
// run regularly each weight product serves all K columns, which saves most of
// the multiplications that form them, and every source address is one
// pointer plus a multiple of the slot; other blocks go one column at a time.
// Each value is still interpolate's, each sum in increasing j. A sink of
// bins takes the columns in pairs, offset by offset (Sink::columns, from the
// first column's cursor); values are transposed and stored as refocus_block
// stores them.
template <int W, int Side, int K, class Sink>
LF_INLINE void refocus_column_group(const Geometry& g, const RowTable& t, const ColumnJob<Sink>* group) {
  constexpr bool kBins = Sink::kBins;
  static_assert(!kBins || K % 2 == 0, "columns binned in pairs");
  const int64_t offsets = Side ? Side : t.offset_count, C = Side ? Side : g.C;
  const int64_t slot = group[0].m1 - group[0].m0;
  const int64_t sum_step = group[1].sum - group[0].sum;
  // Storing values, the columns read their jobs from a local copy, which no
  // stored value can alias (read through `group`, GCC reloads them after
  // every store), and ask for the memory they need next; binning reads them
  // in place (a copy of eight slowed the sweep down) and works inside the
  // window's copy.
  ColumnJob<Sink> local[kBins ? 1 : K];
  ColumnPrefetch ahead[K];
  const ColumnJob<Sink>* jobs = group;
  if constexpr (!kBins) {
    for (int k = 0; k < K; ++k) {
      local[k] = group[k];
      ahead[k].start(local[k], (t.row_count + W - 1) / W);
    }
    jobs = local;
  }
  for (int64_t i = 0, b = 0; i < t.row_count; i += W, ++b) {
    if constexpr (!kBins)
      for (int k = 0; k < K; ++k) ahead[k].some();
    if (!t.regular[b]) {
      for (int k = 0; k < K; ++k) refocus_block<W, Side, Sink>(g, t, jobs[k], i, b);
      continue;
    }
    const double* wr0 = t.wr0 + b * offsets * W;
    const int32_t* run_at = t.run_at + b * offsets;
    double* sum = jobs[0].sum + i;
    Vec<W> S[K];
    for (int k = 0; k < K; ++k) S[k] = load<W>(sum + k * sum_step);
    if constexpr (kBins) {
      const typename Sink::Cursor out = Sink::block(jobs[0].out, i, C);
      for (int64_t j = 0; j < offsets; ++j) {
        Vec<W> x[K];
        group_values<W, K>(weights<W>(load<W>(wr0 + j * W), jobs[0].wc0, jobs[0].wc1), jobs[0].m0 + run_at[j], slot, x,
                           S);
        for (int k = 0; k < K; k += 2) Sink::template columns<W>(out, j, k, x[k], x[k + 1]);
      }
    } else {
      // W offsets at a time, transposed in registers to layout order.
      Vec<W> x[K];
      int64_t j = 0;
      for (; j + W <= offsets; j += W) {
        Vec<W> rows[K][W];
        LF_EACH_LANE
        for (int l = 0; l < W; ++l) {
          group_values<W, K>(weights<W>(load<W>(wr0 + (j + l) * W), jobs[0].wc0, jobs[0].wc1),
                             jobs[0].m0 + run_at[j + l], slot, x, S);
          for (int k = 0; k < K; ++k) rows[k][l] = x[k];
        }
        for (int k = 0; k < K; ++k) Sink::template offsets<W>(Sink::block(jobs[k].out, i, C), j, rows[k]);
      }
      for (; j < offsets; ++j) {
        group_values<W, K>(weights<W>(load<W>(wr0 + j * W), jobs[0].wc0, jobs[0].wc1), jobs[0].m0 + run_at[j], slot, x,
                           S);
        for (int k = 0; k < K; ++k) Sink::template offset<W>(Sink::block(jobs[k].out, i, C), j, x[k]);
      }
    }
    for (int k = 0; k < K; ++k) store<W>(sum + k * sum_step, S[k]);
  }
}

}  // namespace
