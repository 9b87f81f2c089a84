// Shift-and-add refocusing: every angular sample at offset (u, v) is read at the
// spatial position shifted by -alpha*(u, v), bilinearly, from the same angular
// position of the neighbouring blocks.
#include "refocus/refocus_remapped.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "common/portable.h"
#include "common/remapped_light_field.h"
#include "common/vector_paths.h"
#include "refocus/refocus_paths.h"
#include "refocus/refocus_region.h"
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

struct Geometry {
  int64_t rows, cols, C, D, H, P;
  double neg_alpha;
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
  int64_t tile, chunk, cap;  // per call; cap: slot rows per offset
  int64_t r_begin, n, v_begin, nv;
  double wr0[kEntries];      // [block of W rows][j][lane]
  int32_t at[kEntries / 2];  // [block][j]: j*cap + slot row of the block's first r0 when
                             // its rows run r0 + lane, r1 = r0 + 1; else -1
  int32_t slot_row[2][kEntries];  // [r0 or r1][block][j][lane]: the row's place in the slot
  bool simple[kMaxTile];     // per block: W rows, at >= 0 for every j
  bool shared;               // every offset holds source rows first .. first + rows - 1
  int64_t first, rows;
  int64_t origin[kMaxChunk];  // per offset: source row at slot row 0
  int64_t filled[kMaxChunk];  // and how many slot rows hold data
};

}  // namespace

struct RefocusScratch {
  RowTable table;
  double slots[3 * kSlotEntries];  // three source columns, rows of one offset side by side
  double sums[kSumEntries];        // running sums of a tile's pixels
};

void RefocusScratchDelete::operator()(RefocusScratch* scratch) const { delete scratch; }
RefocusScratchPtr make_refocus_scratch() { return RefocusScratchPtr(new RefocusScratch); }

namespace {

// The per-row entries of a table whose slot rows (origin, filled, cap) are set.
template <int W> void build_row_entries(const Geometry& g, RowTable& t) {
  const int64_t blocks = (t.n + W - 1) / W;
  for (int64_t b = 0; b < blocks; ++b) {
    t.simple[b] = (b + 1) * W <= t.n;
    for (int64_t j = 0; j < t.nv; ++j) {
      const int64_t v = t.v_begin + j;
      int64_t start = 0;
      bool regular = (b + 1) * W <= t.n;
      for (int64_t l = 0; l < W; ++l) {
        // Lanes past the last row repeat it; their values are never stored.
        const int64_t i = std::min(b * W + l, t.n - 1);
        int64_t r0, r1;
        row_terms(g, v, t.r_begin + i, &t.wr0[(b * t.nv + j) * W + l], &r0, &r1);
        t.slot_row[0][(b * t.nv + j) * W + l] = static_cast<int32_t>(std::min(r0 - t.origin[j], t.filled[j] - 1));
        t.slot_row[1][(b * t.nv + j) * W + l] = static_cast<int32_t>(std::min(r1 - t.origin[j], t.filled[j] - 1));
        if (l == 0) start = r0 - t.origin[j];
        regular = regular && r0 == t.origin[j] + start + l && r1 == r0 + 1;
      }
      regular = regular && start + W + 1 <= t.filled[j];
      t.at[b * t.nv + j] = regular ? static_cast<int32_t>(j * t.cap + start) : -1;
      t.simple[b] = t.simple[b] && regular;
    }
  }
}

template <int W> void build_row_table(const Geometry& g, RowTable& t) {
  int64_t first = INT64_MAX, end = 0;
  for (int64_t j = 0; j < t.nv; ++j) {
    const int64_t v = t.v_begin + j;
    int64_t r0, r1;
    // Rows never decrease with r, so an offset needs rows r0(first row) ..
    // r1(last row): at most n + 2 of them, since floor(x + r) advances by at
    // most n over n rows and clamping only narrows the range.
    double w;
    row_terms(g, v, t.r_begin, &w, &r0, &r1);
    t.origin[j] = r0;
    row_terms(g, v, t.r_begin + t.n - 1, &w, &r0, &r1);
    t.filled[j] = std::min(r1 - t.origin[j] + 1, t.cap);
    first = std::min(first, t.origin[j]);
    end = std::max(end, t.origin[j] + t.filled[j]);
  }
  // All offsets share one window of rows when it fits, so that a slot fills
  // with whole vectors; else each offset keeps its own rows.
  t.shared = end - first <= t.cap;
  t.first = first;
  t.rows = end - first;
  for (int64_t j = 0; j < t.nv; ++j) {
    if (t.shared) {
      t.origin[j] = first;
      t.filled[j] = t.rows;
    }
  }
  build_row_entries<W>(g, t);
}

// Copies the source rows that the table names, from one block position a_begin
// of one column, into a slot: offset j into slot row j, so that rows that lie C
// apart in the layout become neighbours.
template <int W> LF_INLINE void fill_slot(const RowTable& t, const double* from, int64_t C, double* slot) {
  if (!t.shared) {
    for (int64_t j = 0; j < t.nv; ++j) {
      const double* f = from + t.origin[j] * C + j;
      double* to = slot + j * t.cap;
      for (int64_t q = 0; q < t.filled[j]; ++q) to[q] = f[q * C];
    }
    return;
  }
  from += t.first * C;
  int64_t q = 0;
  for (; q + W <= t.rows; q += W) {
    int64_t j = 0;
    for (; j + W <= t.nv; j += W) {
      Vec<W> x[W];
      LF_EACH_LANE
      for (int l = 0; l < W; ++l) x[l] = load<W>(from + (q + l) * C + j);
      Transpose<W>::run(x);
      LF_EACH_LANE
      for (int l = 0; l < W; ++l) store<W>(slot + (j + l) * t.cap + q, x[l]);
    }
    for (; j < t.nv; ++j)
      for (int l = 0; l < W; ++l) slot[j * t.cap + q + l] = from[(q + l) * C + j];
  }
  for (; q < t.rows; ++q)
    for (int64_t j = 0; j < t.nv; ++j) slot[j * t.cap + q] = from[q * C + j];
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

// One pixel column at one u, for the rows of a tile and the offsets of a
// chunk, and what to ask the memory for meanwhile.
struct ColumnJob {
  const double* m0;  // slots of source columns c0 and c1
  const double* m1;
  double wc0, wc1;
  double* sum;  // running sums of the tile's rows
  double* to;   // destination at row r_begin, block position a_begin
  // Or, binning: the bins of the column's first group at sample (a_begin, b),
  // in the layout the entropy engine sorts (groups of `lanes` rows, C^2
  // vectors of `lanes` bytes each).
  uint8_t* bins;
  int64_t lanes, group_bytes;
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
struct Ahead {
  uintptr_t source, destination;
  int64_t source_left, destination_left, source_step, destination_step;

  LF_INLINE void start(const ColumnJob& job, int64_t blocks) {
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
  static LF_INLINE void take(uintptr_t& p, int64_t& left, int64_t count) {
    count = std::min(left, count);
    for (int64_t e = 0; e < count; ++e) LF_PREFETCH(p + 64 * e);
    p += static_cast<uintptr_t>(64 * count);
    left -= count;
  }
};

// Block b of W rows (rows i .. i + W - 1) of one column: refocus_column's
// work for one block, its values into the destination or their bins.
template <int W, int NV, bool Bins>
LF_INLINE void refocus_block(const Geometry& g, const RowTable& t, const ColumnJob& job, int64_t i, int64_t b) {
  const int64_t nv = NV ? NV : t.nv, C = NV ? NV : g.C;
  const double* wr0 = t.wr0 + b * nv * W;
  const int32_t* at = t.at + b * nv;
  double* to = Bins ? nullptr : job.to + i * C;
  uint8_t* bins = Bins ? job.bins + i / job.lanes * job.group_bytes + i % job.lanes : nullptr;
  const int64_t bin_step = Bins ? C * job.lanes : 0;  // from offset j to j + 1; unset unless binning
  const int64_t lanes = std::min<int64_t>(W, t.n - i);
  // Each pixel's sum takes the offsets in increasing j, as per pixel.
  Vec<W> S{};
  if (lanes == W) S = load<W>(job.sum + i);
  int64_t j = 0;
  if (t.simple[b]) {
    // W offsets at a time, transposed in registers to layout order.
    for (; j + W <= nv; j += W) {
      Vec<W> x[W];
      LF_EACH_LANE
      for (int l = 0; l < W; ++l) {
        const double* q0 = job.m0 + at[j + l];
        const double* q1 = job.m1 + at[j + l];
        x[l] = interpolate<W>(load<W>(wr0 + (j + l) * W), job.wc0, job.wc1, load<W>(q0), load<W>(q0 + 1),
                              load<W>(q1), load<W>(q1 + 1));
        S = S + x[l];
      }
      if (Bins) {
        LF_EACH_LANE
        for (int l = 0; l < W; l += 2) bin_pair<W>(x[l], x[l + 1], bins + (j + l) * bin_step, bins + (j + l + 1) * bin_step);
        continue;
      }
      Transpose<W>::run(x);
      LF_EACH_LANE
      for (int l = 0; l < W; ++l) store<W>(to + l * C + j, x[l]);
    }
  }
  // The offsets left over, and every offset of a block that has clamped
  // rows (the grid's top and bottom), a row skipped by rounding, or fewer
  // than W rows: the same steps, the rows gathered one by one.
  for (; j < nv; ++j) {
    Vec<W> x;
    if (at[j] >= 0) {
      const double* q0 = job.m0 + at[j];
      const double* q1 = job.m1 + at[j];
      x = interpolate<W>(load<W>(wr0 + j * W), job.wc0, job.wc1, load<W>(q0), load<W>(q0 + 1), load<W>(q1),
                         load<W>(q1 + 1));
    } else {
      const double* q0 = job.m0 + j * t.cap;
      const double* q1 = job.m1 + j * t.cap;
      double s[4][W];
      for (int l = 0; l < W; ++l) {
        const int32_t r0 = t.slot_row[0][(b * nv + j) * W + l], r1 = t.slot_row[1][(b * nv + j) * W + l];
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
      if (Bins)
        bin_one<W>(x, bins + j * bin_step);
      else
        for (int l = 0; l < W; ++l) to[l * C + j] = x[l];
    } else {
      for (int64_t l = 0; l < lanes; ++l) {
        job.sum[i + l] = job.sum[i + l] + x[l];
        if (Bins)
          bins[j * bin_step + l] = static_cast<uint8_t>(rounded_bin(x[l]));
        else
          to[l * C + j] = x[l];
      }
    }
  }
  if (lanes == W) store<W>(job.sum + i, S);
}

// NV > 0: the copy for chunks of all NV block positions of blocks of side
// NV, whose loops over the offsets the compiler unrolls; NV = 0: any chunk.
// With Bins the values go to their rounded bins instead of the destination;
// every value must then lie inside the rounded bin range.
template <int W, int NV, bool Bins = false>
LF_INLINE void refocus_column(const Geometry& g, const RowTable& t, ColumnJob job) {
  Ahead ahead;
  ahead.start(job, (t.n + W - 1) / W);
  for (int64_t i = 0, b = 0; i < t.n; i += W, ++b) {
    ahead.some();
    refocus_block<W, NV, Bins>(g, t, job, i, b);
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
// Each value is still interpolate's, each sum in increasing j. Binning, the
// columns are binned in pairs; else their values are transposed and stored
// as refocus_block stores them.
template <int W, int NV, int K, bool Bins = true>
LF_INLINE void refocus_column_group(const Geometry& g, const RowTable& t, const ColumnJob* group) {
  static_assert(!Bins || K % 2 == 0, "columns binned in pairs");
  const int64_t nv = NV ? NV : t.nv, C = NV ? NV : g.C, bin_step = Bins ? C * group[0].lanes : 0;
  const int64_t slot = group[0].m1 - group[0].m0, column_bytes = Bins ? group[1].bins - group[0].bins : 0;
  const int64_t sum_step = group[1].sum - group[0].sum;
  // Storing values, the columns read their jobs from a local copy, which no
  // stored value can alias (read through `group`, GCC reloads them after
  // every store: 11 % more instructions), and ask for the memory they need
  // next; binning reads them in place (a copy of eight cost the sweep 18 %)
  // and works inside the window's copy.
  ColumnJob local[Bins ? 1 : K];
  Ahead ahead[K];
  const ColumnJob* jobs = group;
  if (!Bins) {
    for (int k = 0; k < K; ++k) {
      local[k] = group[k];
      ahead[k].start(local[k], (t.n + W - 1) / W);
    }
    jobs = local;
  }
  for (int64_t i = 0, b = 0; i < t.n; i += W, ++b) {
    if (!Bins)
      for (int k = 0; k < K; ++k) ahead[k].some();
    if (!t.simple[b]) {
      for (int k = 0; k < K; ++k) refocus_block<W, NV, Bins>(g, t, jobs[k], i, b);
      continue;
    }
    const double* wr0 = t.wr0 + b * nv * W;
    const int32_t* at = t.at + b * nv;
    double* sum = jobs[0].sum + i;
    Vec<W> S[K];
    for (int k = 0; k < K; ++k) S[k] = load<W>(sum + k * sum_step);
    if (Bins) {
      uint8_t* bins = jobs[0].bins + i / jobs[0].lanes * jobs[0].group_bytes + i % jobs[0].lanes;
      for (int64_t j = 0; j < nv; ++j, bins += bin_step) {
        Vec<W> x[K];
        group_values<W, K>(weights<W>(load<W>(wr0 + j * W), jobs[0].wc0, jobs[0].wc1), jobs[0].m0 + at[j], slot, x,
                           S);
        for (int k = 0; k < K; k += 2)
          bin_pair<W>(x[k], x[k + 1], bins + k * column_bytes, bins + (k + 1) * column_bytes);
      }
    } else {
      // W offsets at a time, transposed in registers to layout order.
      Vec<W> x[K];
      int64_t j = 0;
      for (; j + W <= nv; j += W) {
        Vec<W> rows[K][W];
        LF_EACH_LANE
        for (int l = 0; l < W; ++l) {
          group_values<W, K>(weights<W>(load<W>(wr0 + (j + l) * W), jobs[0].wc0, jobs[0].wc1),
                             jobs[0].m0 + at[j + l], slot, x, S);
          for (int k = 0; k < K; ++k) rows[k][l] = x[k];
        }
        for (int k = 0; k < K; ++k) {
          Transpose<W>::run(rows[k]);
          LF_EACH_LANE
          for (int l = 0; l < W; ++l) store<W>(jobs[k].to + (i + l) * C + j, rows[k][l]);
        }
      }
      for (; j < nv; ++j) {
        group_values<W, K>(weights<W>(load<W>(wr0 + j * W), jobs[0].wc0, jobs[0].wc1), jobs[0].m0 + at[j], slot, x,
                           S);
        for (int k = 0; k < K; ++k)
          for (int l = 0; l < W; ++l) jobs[k].to[(i + l) * C + j] = x[k][l];
      }
    }
    for (int k = 0; k < K; ++k) store<W>(sum + k * sum_step, S[k]);
  }
}

// Loop order: tiles of rows, planes, tiles of columns, u, chunks of v,
// columns, blocks of W rows, v. Every pixel still adds its values to its sum
// in u-outer, v-inner order and forms each value by exactly the per-pixel
// expressions, so no bit changes; only which pixel is worked on when moves.
// The source column of a block position is first copied into a slot where
// successive rows of one offset v lie next to each other (in the layout they
// are C apart), so W rows of one v are one vector load, and the slot serves
// the next column as its c0; the values of W rows are transposed back to
// layout order. Three slots let a pair of columns with the same weights
// share each weight product (refocus_column_group). Measured on a shared
// 2-core AMD EPYC (Zen 4) VM, 512 x 512 pixels, C = 9: about 64 ms on the
// AVX2 path (73 ms one column at a time), 90 ms on SSE2, against about
// 600 ms for the literal loops and 31 ms for a plain copy of the source.
template <int W, int NV>
LF_INLINE void refocus_region_body(const double* LF_RESTRICT source, uint16_t cols_in, uint16_t rows_in,
                                   uint16_t angular_size, uint16_t angular_radius, double alpha,
                                   const RefocusRegion& region) {
  Geometry g;
  g.rows = rows_in;
  g.cols = cols_in;
  g.C = angular_size;
  g.D = angular_radius;
  g.H = g.rows * g.C;
  g.P = g.H * g.cols * g.C;
  // alpha * -1.0 keeps a NaN's sign bit on IEEE hardware, but compilers fold
  // the product into a sign flip; only non-NaN values may be negated.
  g.neg_alpha = std::isnan(alpha) ? alpha : -alpha;
  if (region.r_end <= region.r_begin || region.c_end <= region.c_begin) return;
  const double block = static_cast<double>(static_cast<int32_t>(g.C * g.C));
  const int64_t offsets = 2 * g.D + 1;
  double* LF_RESTRICT destination = region.destination;
  double* LF_RESTRICT image = region.image;

  RowTable& t = region.scratch->table;
  if (offsets * kMinTile <= kEntries) {
    t.chunk = offsets;
    t.tile = std::min(kMaxTile, kEntries / offsets / kMinTile * kMinTile);
  } else {
    t.chunk = kMaxChunk;
    t.tile = kMinTile;
  }
  t.cap = t.tile + t.tile / 4;
  const int64_t col_tile = kSumEntries / t.tile;
  double* const slots = region.scratch->slots;
  double* const sums = region.scratch->sums;

  for (t.r_begin = region.r_begin; t.r_begin < region.r_end; t.r_begin += t.tile) {
    const int64_t n = t.n = std::min(t.tile, region.r_end - t.r_begin);
    const int64_t r_at = t.r_begin - region.r_begin;
    t.v_begin = INT64_MIN;
    for (int64_t k = region.k_begin; k < region.k_end; ++k) {
      const double* plane = source + k * g.P;
      double* to_plane = destination + (k - region.k_begin) * region.destination_plane;
      for (int64_t c_begin = region.c_begin; c_begin < region.c_end; c_begin += col_tile) {
        const int64_t m = std::min(col_tile, region.c_end - c_begin);
        std::fill(sums, sums + m * t.tile, 0.0);
        for (int64_t u = -g.D; u <= g.D; ++u) {
          const int64_t b = g.D + u;
          for (int64_t v_begin = -g.D; v_begin <= g.D; v_begin += t.chunk) {
            if (t.v_begin != v_begin) {
              t.v_begin = v_begin;
              t.nv = std::min(t.chunk, g.D + 1 - v_begin);
              build_row_table<W>(g, t);
            }
            const int64_t a_begin = g.D + v_begin;
            int64_t held[3] = {-1, -1, -1};  // source column in each slot
            const auto fill = [&](int e, int64_t column) {
              if (held[e] == column) return;
              held[e] = column;
              fill_slot<W>(t, plane + (column * g.C + b) * g.H + a_begin, g.C, slots + e * kSlotEntries);
            };
            // The slot of a column, filled unless held; evicts the lowest
            // column held other than `keep`, as columns only grow.
            const auto slot_for = [&](int64_t column, int64_t keep) -> const double* {
              int e = -1;
              for (int s = 0; s < 3; ++s)
                if (held[s] == column) return slots + s * kSlotEntries;
              for (int s = 0; s < 3; ++s)
                if (held[s] != keep && (e < 0 || held[s] < held[e])) e = s;
              fill(e, column);
              return slots + e * kSlotEntries;
            };
            // Column c's job, its slots not yet chosen.
            const auto column_job = [&](int64_t c, int64_t* c0, int64_t* c1) {
              ColumnJob job;
              column_terms(g, u, c, &job.wc0, &job.wc1, c0, c1);
              job.sum = sums + (c - c_begin) * t.tile;
              job.to = to_plane + ((c - region.c_begin) * g.C + b) * region.destination_height + r_at * g.C +
                       a_begin;
              return job;
            };
            // Column c asks for the column `ahead` after it: that one usually
            // fills a slot with its c1 and writes beside this one; every line
            // that holds a part of either (a range's last line, when the range
            // starts inside a line, is the one its fill would otherwise wait
            // for).
            const auto ask_ahead = [&](ColumnJob& job, int64_t c, int64_t ahead) {
              const bool last = c + ahead >= region.c_end;
              const double pn = static_cast<double>(u) * g.neg_alpha + static_cast<double>(c + ahead);
              const int64_t next = last ? 0 : clamp_index(std::floor(pn) + 1.0, g.cols);
              job.next_source = job.next_destination = 0;
              job.source_lines = job.destination_lines = 0;
              if (!last && t.shared)
                lines_of(plane + (next * g.C + b) * g.H + t.first * g.C + a_begin, (t.rows - 1) * g.C + t.nv,
                         &job.next_source, &job.source_lines);
              if (!last && region.prefetch_destination)
                lines_of(job.to + ahead * g.C * region.destination_height, (n - 1) * g.C + t.nv,
                         &job.next_destination, &job.destination_lines);
            };
            const bool sized = NV && t.nv == NV && g.C == NV;
            for (int64_t cl = 0; cl < m;) {
              const int64_t c = c_begin + cl;
              ColumnJob jobs[2];
              int64_t c0, c1;
              jobs[0] = column_job(c, &c0, &c1);
              // A pair of columns shares its weight products when their
              // weights have the same bits (one binade of c + u * alpha) and
              // they read three source columns in a row, unclamped. Only the
              // copies of one block side have the pair kernel, and only with
              // vectors of four: with two (SSE2) it ran 10 % slower, although
              // it took 17 % fewer instructions.
              if constexpr (NV > 0 && W == 4) {
                int64_t d0, d1;
                if (sized && cl + 1 < m && c1 == c0 + 1) {
                  jobs[1] = column_job(c + 1, &d0, &d1);
                  const double w0[2] = {jobs[0].wc0, jobs[0].wc1}, w1[2] = {jobs[1].wc0, jobs[1].wc1};
                  if (std::memcmp(w0, w1, sizeof w0) == 0 && d0 == c1 && d1 == c0 + 2) {
                    ask_ahead(jobs[0], c, 2);
                    ask_ahead(jobs[1], c + 1, 2);
                    // The pair's slots run away from the one that holds c0, so
                    // that a pair's last column starts the next pair where it is.
                    const double* m0 = slots;
                    int64_t step = kSlotEntries;
                    if (held[2] == c0) {
                      m0 = slots + 2 * kSlotEntries;
                      step = -kSlotEntries;
                      fill(1, c0 + 1);
                      fill(0, c0 + 2);
                    } else {
                      fill(0, c0);
                      fill(1, c0 + 1);
                      fill(2, c0 + 2);
                    }
                    for (int e = 0; e < 2; ++e) {
                      jobs[e].m0 = m0 + e * step;
                      jobs[e].m1 = m0 + (e + 1) * step;
                    }
                    refocus_column_group<W, NV, 2, false>(g, t, jobs);
                    cl += 2;
                    continue;
                  }
                }
              }
              ask_ahead(jobs[0], c, 1);
              jobs[0].m0 = slot_for(c0, c1);
              jobs[0].m1 = slot_for(c1, c0);
              if (sized)
                refocus_column<W, NV>(g, t, jobs[0]);
              else
                refocus_column<W, 0>(g, t, jobs[0]);
              ++cl;
            }
          }
        }
        double* image_plane = image + (k - region.k_begin) * region.image_plane;
        for (int64_t cl = 0; cl < m; ++cl)
          for (int64_t i = 0; i < n; ++i)
            image_plane[(r_at + i) + (c_begin + cl - region.c_begin) * region.image_rows] =
                sums[cl * t.tile + i] / block;
      }
    }
  }
}

// The whole field is the region of every pixel and plane, written in the
// source's own layout.
RefocusRegion whole_field(double* destination, double* image, int64_t rows, int64_t cols, int64_t C) {
  RefocusRegion whole;
  whole.r_begin = whole.c_begin = whole.k_begin = 0;
  whole.r_end = rows;
  whole.c_end = cols;
  whole.k_end = 3;
  whole.destination = destination;
  whole.destination_height = rows * C;
  whole.destination_plane = rows * C * cols * C;
  whole.image = image;
  whole.image_rows = rows;
  whole.image_plane = rows * cols;
  whole.prefetch_destination = true;
  return whole;
}

// Two doubles a vector: SSE2, NEON, or plain C++ where there are no vectors.
template <int NV>
void refocus_pairs(const double* source, uint16_t cols, uint16_t rows, uint16_t angular_size,
                   uint16_t angular_radius, double alpha, const RefocusRegion& region) {
  refocus_region_body<2, NV>(source, cols, rows, angular_size, angular_radius, alpha, region);
}

#if LF_X86_PATHS
template <int NV>
LF_TARGET("avx2") void refocus_avx2(const double* source, uint16_t cols, uint16_t rows, uint16_t angular_size,
                                    uint16_t angular_radius, double alpha, const RefocusRegion& region) {
  refocus_region_body<4, NV>(source, cols, rows, angular_size, angular_radius, alpha, region);
}
#endif

using Kernel = void (*)(const double*, uint16_t, uint16_t, uint16_t, uint16_t, double, const RefocusRegion&);

struct Copy {
  int side;  // 0: any size
  Kernel pairs, avx2;
};
#if LF_X86_PATHS
#define LF_COPY(side) {side, refocus_pairs<side>, refocus_avx2<side>}
#else
#define LF_COPY(side) {side, refocus_pairs<side>, nullptr}
#endif
// The block sides of the usual camera arrays and plenoptic captures, with
// every offset of a block visited (C = 2D + 1), have their own copies.
constexpr Copy kSideCopies[] = {LF_COPY(5), LF_COPY(7), LF_COPY(9), LF_COPY(11), LF_COPY(13), LF_COPY(15)};
constexpr Copy kGeneralCopy = LF_COPY(0);
#undef LF_COPY

// The one dispatch point of the refocus kernel.
Kernel kernel_for(VectorPath path, uint16_t angular_size, uint16_t angular_radius) {
  Copy copy = kGeneralCopy;
  for (const Copy& c : kSideCopies)
    if (angular_size == c.side && angular_size == 2 * angular_radius + 1) copy = c;
  return path == VectorPath::avx2 && copy.avx2 ? copy.avx2 : copy.pairs;
}

}  // namespace

bool refocus_has_path(VectorPath path) {
  switch (path) {
    case VectorPath::portable: return !(LF_X86_PATHS || LF_NEON_PATH);
    case VectorPath::sse2:
    case VectorPath::avx2: return LF_X86_PATHS != 0;
    case VectorPath::neon: return LF_NEON_PATH != 0;
    case VectorPath::avx512: return false;
  }
  return false;
}

VectorPath refocus_best_path() {
  for (VectorPath path : {VectorPath::avx2, VectorPath::sse2, VectorPath::neon})
    if (refocus_has_path(path) && path_available(path)) return path;
  return VectorPath::portable;
}

void refocus_remapped(const double* source, double* destination, double* image, uint16_t cols, uint16_t rows,
                      uint16_t angular_size, uint16_t angular_radius, double alpha, VectorPath path) {
  refocus_region(source, cols, rows, angular_size, angular_radius, alpha,
                 whole_field(destination, image, rows, cols, angular_size), path);
}

namespace {

// The working memory on this frame's stack, apart from the kernel's own, so
// that a call that brings its own never reserves it.
LF_NOINLINE void refocus_region_on_stack(const double* source, uint16_t cols, uint16_t rows, uint16_t angular_size,
                                         uint16_t angular_radius, double alpha, const RefocusRegion& region,
                                         VectorPath path) {
  RefocusScratch scratch;
  RefocusRegion with = region;
  with.scratch = &scratch;
  kernel_for(path, angular_size, angular_radius)(source, cols, rows, angular_size, angular_radius, alpha, with);
}

}  // namespace

void refocus_region(const double* source, uint16_t cols, uint16_t rows, uint16_t angular_size,
                    uint16_t angular_radius, double alpha, const RefocusRegion& region, VectorPath path) {
  if (!region.scratch)
    return refocus_region_on_stack(source, cols, rows, angular_size, angular_radius, alpha, region, path);
  kernel_for(path, angular_size, angular_radius)(source, cols, rows, angular_size, angular_radius, alpha, region);
}

// The window: where each offset's rows and each u's columns sit in the copy,
// and one row table per planned shift.
struct RefocusWindowState {
  VectorPath path;
  Geometry g;
  int64_t count;  // planned shifts
  int64_t r_begin, r_end, c_begin, c_end;
  RowTable layout;                   // slot rows of the copy (origin, filled, cap, shared)
  std::vector<int64_t> col_lo, col_at;  // per u (index D + u): first column held, its slot
  std::vector<int64_t> plan_bounds;     // plan's working rows and columns, 8 x C
  std::vector<double> shifts;
  std::vector<RowTable> tables;
  std::vector<double> copy;
  bool in_band = false;  // every sample of the copied plane within kBinBand
  // What the tables were made for: they hang on the rows, the shifts and the
  // slot rows alone, so the next tile along the same rows reuses them.
  bool tables_made = false;
  int64_t tables_r_begin = 0, tables_r_end = 0, tables_count = 0;
};

namespace {

// About 2.5 MB: each shift reads the copy once, column by column, so it may
// outgrow the second-level cache; a longer run of shifts per copy saves more
// filling than the third-level reads cost (measured 88 K entries against 320
// K: about 51 against 47 ms per shift, 512 x 512, C = 9, 41 shifts).
constexpr int64_t kWindowEntries = 320 * 1024;

template <int W> void window_tables(RefocusWindowState& w) {
  for (int64_t i = 0; i < w.count; ++i) {
    RowTable& t = w.tables[static_cast<size_t>(i)];
    Geometry g = w.g;
    g.neg_alpha = std::isnan(w.shifts[size_t(i)]) ? w.shifts[size_t(i)] : -w.shifts[size_t(i)];
    t.tile = w.layout.tile;
    t.chunk = w.layout.chunk;
    t.cap = w.layout.cap;
    t.r_begin = w.r_begin;
    t.n = w.r_end - w.r_begin;
    t.v_begin = -g.D;
    t.nv = g.C;
    t.shared = w.layout.shared;
    t.first = w.layout.first;
    t.rows = w.layout.rows;
    std::copy(w.layout.origin, w.layout.origin + g.C, t.origin);
    std::copy(w.layout.filled, w.layout.filled + g.C, t.filled);
    build_row_entries<W>(g, t);
  }
}

// Samples in this band (NaN excluded) can only make values that bin inside
// the rounded range, whatever the weights; the margins dwarf any rounding.
constexpr double kBinBandLow = -0.25, kBinBandHigh = 255.25;

// Whether every sample a slot holds lies in the band.
LF_INLINE bool slot_in_band(const RowTable& t, const double* slot) {
  int64_t outside = 0;
  for (int64_t j = 0; j < t.nv; ++j) {
    const double* q = slot + j * t.cap;
    const int64_t filled = t.shared ? t.rows : t.filled[j];
    // Without branches or negations, so that it runs as vector compares.
    for (int64_t e = 0; e < filled; ++e) outside += (q[e] < kBinBandLow) | (q[e] > kBinBandHigh) | (q[e] != q[e]);
  }
  return outside == 0;
}

template <int W> LF_INLINE void window_fill(RefocusWindowState& w, const double* source, int64_t k) {
  const Geometry& g = w.g;
  const double* plane = source + k * g.P;
  const int64_t slot = g.C * w.layout.cap;
  w.in_band = true;
  for (int64_t b = 0; b < g.C; ++b) {
    const int64_t held = w.col_at[size_t(b) + 1] - w.col_at[size_t(b)];
    for (int64_t q = 0; q < held; ++q) {
      const int64_t column = w.col_lo[size_t(b)] + q;
      double* to = w.copy.data() + (w.col_at[size_t(b)] + q) * slot;
      fill_slot<W>(w.layout, plane + (column * g.C + b) * g.H, g.C, to);
      w.in_band = slot_in_band(w.layout, to) && w.in_band;
    }
  }
}

// refocus_region_body with the slots taken from the copy and the row table
// of the shift; with Bins, into `bins` as refocus_bins describes.
// MaxGroup: the most columns that share weight products (4 or 8).
template <int W, int NV, bool Bins, int MaxGroup = 4>
LF_INLINE void window_refocus(const RefocusWindowState& w, int64_t i, const RefocusRegion& region, uint8_t* bins,
                              int64_t lanes) {
  Geometry g = w.g;
  const double alpha = w.shifts[size_t(i)];
  g.neg_alpha = std::isnan(alpha) ? alpha : -alpha;
  const RowTable& t = w.tables[size_t(i)];
  const double block = static_cast<double>(static_cast<int32_t>(g.C * g.C));
  const int64_t n = t.n, slot = g.C * t.cap;
  const int64_t col_tile = kSumEntries / n;
  // Values: no bins, and lanes 0.
  const int64_t group_bytes = lanes * g.C * g.C, column_bytes = Bins ? (n + lanes - 1) / lanes * group_bytes : 0;
  double sums[kSumEntries];
  for (int64_t c_begin = region.c_begin; c_begin < region.c_end; c_begin += col_tile) {
    const int64_t m = std::min(col_tile, region.c_end - c_begin);
    std::fill(sums, sums + m * n, 0.0);
    for (int64_t u = -g.D; u <= g.D; ++u) {
      const int64_t b = g.D + u;
      const double* held = w.copy.data() + (w.col_at[size_t(b)] - w.col_lo[size_t(b)]) * slot;
      const auto column_job = [&](int64_t cl) {
        const int64_t c = c_begin + cl;
        ColumnJob job;
        int64_t c0, c1;
        column_terms(g, u, c, &job.wc0, &job.wc1, &c0, &c1);
        job.m0 = held + c0 * slot;
        job.m1 = held + c1 * slot;
        job.sum = sums + cl * n;
        if (Bins) {
          job.to = nullptr;
          job.bins = bins + (c - region.c_begin) * column_bytes + b * lanes;
          job.lanes = lanes;
          job.group_bytes = group_bytes;
        } else {
          job.to = region.destination + ((c - region.c_begin) * g.C + b) * region.destination_height;
        }
        job.next_source = job.next_destination = 0;
        job.source_lines = job.destination_lines = 0;
        return job;
      };
      for (int64_t cl = 0; cl < m;) {
        ColumnJob jobs[MaxGroup];
        jobs[0] = column_job(cl);
        // Neighbouring columns in one binade of c + u * alpha have weights of
        // the same bits; a group also needs source slots that follow one another.
        const double weights[2] = {jobs[0].wc0, jobs[0].wc1};
        int same = 1;
        if (Bins && jobs[0].m1 - jobs[0].m0 == slot)
          for (; same < MaxGroup && cl + same < m; ++same) {
            jobs[same] = column_job(cl + same);
            const double next[2] = {jobs[same].wc0, jobs[same].wc1};
            if (std::memcmp(weights, next, sizeof weights) != 0 || jobs[same].m0 - jobs[0].m0 != same * slot ||
                jobs[same].m1 - jobs[same].m0 != slot)
              break;
          }
        // A copy of side NV serves only blocks of that side (window_copy).
        if (MaxGroup == 8 && same == 8) {
          refocus_column_group<W, NV, MaxGroup>(g, t, jobs);
        } else if (same >= 4) {
          same = 4;
          refocus_column_group<W, NV, 4>(g, t, jobs);
        } else if (same >= 2) {
          same = 2;
          refocus_column_group<W, NV, 2>(g, t, jobs);
        } else {
          refocus_column<W, NV, Bins>(g, t, jobs[0]);
        }
        cl += same;
      }
    }
    for (int64_t cl = 0; cl < m; ++cl)
      for (int64_t r = 0; r < n; ++r)
        region.image[r + (c_begin + cl - region.c_begin) * region.image_rows] = sums[cl * n + r] / block;
  }
}

template <int NV, bool Bins>
void window_refocus_baseline(const RefocusWindowState& w, int64_t i, const RefocusRegion& region, uint8_t* bins,
                             int64_t lanes) {
  window_refocus<2, NV, Bins>(w, i, region, bins, lanes);
}
void window_fill_baseline(RefocusWindowState& w, const double* source, int64_t k) { window_fill<2>(w, source, k); }
#if LF_X86_PATHS
template <int NV, bool Bins>
LF_TARGET("avx2") void window_refocus_avx2(const RefocusWindowState& w, int64_t i, const RefocusRegion& region,
                                           uint8_t* bins, int64_t lanes) {
  window_refocus<4, NV, Bins>(w, i, region, bins, lanes);
}
LF_TARGET("avx2") void window_fill_avx2(RefocusWindowState& w, const double* source, int64_t k) {
  window_fill<4>(w, source, k);
}
// The same vectors of four, with the 32 registers AVX-512 gives them: the
// binning kernel keeps its weights, sums and values in registers for up to
// eight columns at a time (about 6 % of a sweep at C = 9 on Zen 4).
template <int NV>
LF_TARGET("avx2,avx512f,avx512vl") void window_refocus_avx512_bins(const RefocusWindowState& w, int64_t i,
                                                                  const RefocusRegion& region, uint8_t* bins,
                                                                  int64_t lanes) {
  window_refocus<4, NV, true, 8>(w, i, region, bins, lanes);
}
#endif

using WindowKernel = void (*)(const RefocusWindowState&, int64_t, const RefocusRegion&, uint8_t*, int64_t);
struct WindowCopy {
  int side;
  WindowKernel baseline, avx2, baseline_bins, avx2_bins, avx512_bins;
};
#if LF_X86_PATHS
#define LF_WINDOW_COPY(side)                                                                              \
  {side, window_refocus_baseline<side, false>, window_refocus_avx2<side, false>,                         \
   window_refocus_baseline<side, true>, window_refocus_avx2<side, true>, window_refocus_avx512_bins<side>}
#else
#define LF_WINDOW_COPY(side) \
  {side, window_refocus_baseline<side, false>, nullptr, window_refocus_baseline<side, true>, nullptr, nullptr}
#endif
constexpr WindowCopy kWindowCopies[] = {LF_WINDOW_COPY(5),  LF_WINDOW_COPY(7),  LF_WINDOW_COPY(9),
                                        LF_WINDOW_COPY(11), LF_WINDOW_COPY(13), LF_WINDOW_COPY(15)};
constexpr WindowCopy kGeneralWindowCopy = LF_WINDOW_COPY(0);
#undef LF_WINDOW_COPY

bool wide(VectorPath path) { return LF_X86_PATHS && (path == VectorPath::avx2 || path == VectorPath::avx512); }

}  // namespace

RefocusWindow::RefocusWindow(VectorPath path, int64_t rows, int64_t cols, int64_t angular_size, int64_t tile_rows,
                             int64_t tile_cols, int64_t max_shifts)
    : state_(new RefocusWindowState) {
  RefocusWindowState& w = *state_;
  w.path = path;
  w.g.rows = rows;
  w.g.cols = cols;
  w.g.C = angular_size;
  w.g.D = (angular_size - 1) / 2;
  w.g.H = rows * angular_size;
  w.g.P = w.g.H * cols * angular_size;
  w.g.neg_alpha = 0.0;
  w.count = 0;
  // One chunk of offsets and one tile of rows per call: the region kernel's
  // sizes for this C must cover the tile.
  w.layout.chunk = angular_size;
  w.layout.tile = angular_size * kMinTile <= kEntries
                      ? std::min(kMaxTile, kEntries / angular_size / kMinTile * kMinTile)
                      : 0;
  (void)tile_cols;
  if (tile_rows > w.layout.tile) max_shifts = 0;
  w.col_lo.resize(size_t(angular_size));
  w.col_at.resize(size_t(angular_size) + 1);
  if (max_shifts > 0) w.plan_bounds.resize(size_t(8 * angular_size));
  w.shifts.resize(size_t(max_shifts));
  w.tables.resize(size_t(max_shifts));
  if (max_shifts > 0) w.copy.resize(size_t(kWindowEntries));
}

RefocusWindow::~RefocusWindow() = default;

int64_t RefocusWindow::plan(int64_t r_begin, int64_t r_end, int64_t c_begin, int64_t c_end, const double* shifts,
                            int64_t count) {
  RefocusWindowState& w = *state_;
  const Geometry& g = w.g;
  const int64_t C = g.C;
  count = std::min<int64_t>(count, static_cast<int64_t>(w.tables.size()));
  w.count = 0;
  w.r_begin = r_begin;
  w.r_end = r_end;
  w.c_begin = c_begin;
  w.c_end = c_end;
  if (count <= 0) return 0;
  // Rows and columns never decrease with r and c, so a shift needs of each
  // offset rows r0(first row) .. r1(last row), of each u columns c0(first
  // column) .. c1(last column); the copy holds their union over the shifts.
  // The union so far (origin .. end of each offset's rows, lo .. hi of each
  // u's columns) and the same with one more shift, in memory the constructor
  // set aside: a plan runs on worker threads, which never allocate.
  int64_t* const origin = w.plan_bounds.data();
  int64_t* const end = origin + C;
  int64_t* const lo = end + C;
  int64_t* const hi = lo + C;
  int64_t* const o = hi + C;
  int64_t* const e = o + C;
  int64_t* const l = e + C;
  int64_t* const h = l + C;
  std::fill(origin, end, INT64_MAX);
  std::fill(end, lo, 0);
  std::fill(lo, hi, INT64_MAX);
  std::fill(hi, o, 0);
  int64_t served = 0;
  int64_t cap = 0;
  bool shared = false;
  for (int64_t i = 0; i < count; ++i) {
    Geometry gi = g;
    gi.neg_alpha = std::isnan(shifts[i]) ? shifts[i] : -shifts[i];
    std::copy(origin, o, o);
    for (int64_t j = 0; j < C; ++j) {
      double wr;
      int64_t r0, r1;
      row_terms(gi, j - g.D, r_begin, &wr, &r0, &r1);
      o[size_t(j)] = std::min(o[size_t(j)], r0);
      row_terms(gi, j - g.D, r_end - 1, &wr, &r0, &r1);
      e[size_t(j)] = std::max(e[size_t(j)], r1 + 1);
      const double p0 = static_cast<double>(j - g.D) * gi.neg_alpha + static_cast<double>(c_begin);
      const double p1 = static_cast<double>(j - g.D) * gi.neg_alpha + static_cast<double>(c_end - 1);
      l[size_t(j)] = std::min(l[size_t(j)], clamp_index(std::floor(p0), g.cols));
      h[size_t(j)] = std::max(h[size_t(j)], clamp_index(std::floor(p1) + 1.0, g.cols));
    }
    int64_t first = INT64_MAX, last = 0, span = 0, columns = 0;
    for (int64_t j = 0; j < C; ++j) {
      first = std::min(first, o[size_t(j)]);
      last = std::max(last, e[size_t(j)]);
      span = std::max(span, e[size_t(j)] - o[size_t(j)]);
      columns += h[size_t(j)] - l[size_t(j)] + 1;
    }
    // One row range for every offset fills with whole vectors; it is taken
    // when it costs at most a quarter more than each offset's own rows.
    const bool s = (last - first) * 4 <= span * 5;
    const int64_t c = s ? last - first : span;
    if (columns * C * c > kWindowEntries) break;
    std::copy(o, o + 4 * C, origin);
    cap = c;
    shared = s;
    served = i + 1;
  }
  if (served == 0) return 0;
  const int64_t first = *std::min_element(origin, origin + C);
  const int64_t rows = *std::max_element(end, end + C) - first;
  RowTable& t = w.layout;
  bool same = w.tables_made && w.tables_r_begin == r_begin && w.tables_r_end == r_end &&
              w.tables_count == served && std::memcmp(shifts, w.shifts.data(), size_t(served) * sizeof *shifts) == 0 &&
              t.cap == cap && t.shared == shared && t.first == first && t.rows == rows;
  w.count = served;
  std::copy(shifts, shifts + served, w.shifts.begin());
  t.cap = cap;
  t.nv = C;
  t.v_begin = -g.D;
  t.shared = shared;
  t.first = first;
  t.rows = rows;
  for (int64_t j = 0; j < C; ++j) {
    const int64_t o = shared ? t.first : origin[size_t(j)], f = shared ? t.rows : end[size_t(j)] - origin[size_t(j)];
    same = same && t.origin[j] == o && t.filled[j] == f;
    t.origin[j] = o;
    t.filled[j] = f;
  }
  w.col_at[0] = 0;
  for (int64_t b = 0; b < C; ++b) {
    w.col_lo[size_t(b)] = lo[size_t(b)];
    w.col_at[size_t(b) + 1] = w.col_at[size_t(b)] + hi[size_t(b)] - lo[size_t(b)] + 1;
  }
  if (!same) {
    if (wide(w.path))
      window_tables<4>(w);
    else
      window_tables<2>(w);
    w.tables_made = true;
    w.tables_r_begin = r_begin;
    w.tables_r_end = r_end;
    w.tables_count = served;
  }
  return served;
}

void RefocusWindow::fill(const double* source, int64_t k) {
  RefocusWindowState& w = *state_;
#if LF_X86_PATHS
  if (wide(w.path)) return window_fill_avx2(w, source, k);
#endif
  window_fill_baseline(w, source, k);
}

namespace {

WindowCopy window_copy(const RefocusWindowState& w) {
  WindowCopy copy = kGeneralWindowCopy;
  for (const WindowCopy& c : kWindowCopies)
    if (w.g.C == c.side) copy = c;
  return copy;
}

}  // namespace

void RefocusWindow::refocus(int64_t i, const RefocusRegion& region) const {
  const RefocusWindowState& w = *state_;
  const WindowCopy copy = window_copy(w);
  (wide(w.path) && copy.avx2 ? copy.avx2 : copy.baseline)(w, i, region, nullptr, 0);
}

int64_t RefocusWindow::bin_width() const { return wide(state_->path) ? 4 : 2; }

bool RefocusWindow::binnable(int64_t i) const {
  // Weights in [0, 1] need finite positions; then each value is a weighted
  // sum of copied samples whose weights add up to 1 within a few roundings,
  // so values stay within a hair of the copy's band, well inside the range.
  const double alpha = state_->shifts[size_t(i)];
  return state_->in_band && std::fabs(alpha) <= 0x1p900;
}

void RefocusWindow::refocus_bins(int64_t i, const RefocusRegion& region, uint8_t* bins, int64_t lanes) const {
  const RefocusWindowState& w = *state_;
  const WindowCopy copy = window_copy(w);
  const WindowKernel kernel = w.path == VectorPath::avx512 && copy.avx512_bins ? copy.avx512_bins
                              : wide(w.path) && copy.avx2_bins               ? copy.avx2_bins
                                                                             : copy.baseline_bins;
  kernel(w, i, region, bins, lanes);
}
