// The sweep's refocus window: a copy of the source around a tile, and the
// column kernels of refocus_remapped run from it, shift by shift, into a tile
// buffer or straight into bins.
#include "sweep/refocus_window.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "common/portable.h"
#include "refocus/refocus_column.h"
#include "refocus/refocus_isa.h"
#include "refocus/refocus_paths.h"
#include "refocus/tile_walker.h"
#include "sweep/bin_writer.h"

// The window: where each offset's rows and each u's columns sit in the copy,
// and one row table per planned shift.
namespace {
struct WindowKernels;
}
struct RefocusWindowState {
  const WindowKernels* kernels;  // of the path, chosen once
  int side;                      // the copy of the kernels for this C (side_copy)
  Geometry g;
  int64_t count;  // planned shifts
  int64_t r_begin, r_end, c_begin, c_end;
  RowTable layout;  // slot rows of the copy (origin, filled, slot_stride, common)
  std::vector<int64_t> col_lo, col_at;  // per u (index D + u): first column held, its slot
  std::vector<int64_t> plan_bounds;     // plan's working rows and columns, 8 x C
  std::vector<double> shifts;
  // Left uncleared: each plan writes what its shifts read, and a sweep
  // uses a part of them; cleared, every page of them would be touched at
  // the start of every call (a fresh page costs much on some hosts).
  std::unique_ptr<RowTable[]> tables;
  int64_t table_count = 0;
  std::unique_ptr<double[]> copy;
  bool in_band = false;  // every sample of the copied plane within kBinBand
  // What the tables were made for: they hang on the rows, the shifts and the
  // slot rows alone, so the next tile along the same rows reuses them.
  bool tables_made = false;
  int64_t tables_r_begin = 0, tables_r_end = 0, tables_count = 0;
};

namespace {

// About 2.5 MB: each shift reads the copy once, column by column, so it may
// outgrow the second-level cache; a longer run of shifts per copy saves more
// filling than the third-level reads cost (docs/PERFORMANCE.md).
constexpr int64_t kWindowEntries = 320 * 1024;

template <int W> void window_tables(RefocusWindowState& w) {
  for (int64_t i = 0; i < w.count; ++i) {
    RowTable& t = w.tables[static_cast<size_t>(i)];
    Geometry g = w.g;
    g.neg_alpha = negated(w.shifts[size_t(i)]);
    t.tile = w.layout.tile;
    t.chunk = w.layout.chunk;
    t.slot_stride = w.layout.slot_stride;
    t.r_begin = w.r_begin;
    t.row_count = w.r_end - w.r_begin;
    t.v_begin = -g.D;
    t.offset_count = g.C;
    t.common = w.layout.common;
    t.common_first = w.layout.common_first;
    t.common_rows = w.layout.common_rows;
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
  for (int64_t j = 0; j < t.offset_count; ++j) {
    const double* q = slot + j * t.slot_stride;
    const int64_t filled = t.common ? t.common_rows : t.filled[j];
    // Without branches or negations, so that it runs as vector compares.
    for (int64_t e = 0; e < filled; ++e) outside += (q[e] < kBinBandLow) | (q[e] > kBinBandHigh) | (q[e] != q[e]);
  }
  return outside == 0;
}

template <int W> LF_INLINE void window_fill(RefocusWindowState& w, const double* source, int64_t k) {
  const Geometry& g = w.g;
  const double* plane = source + k * g.plane_size;
  const int64_t slot = g.C * w.layout.slot_stride;
  w.in_band = true;
  for (int64_t b = 0; b < g.C; ++b) {
    const int64_t held = w.col_at[size_t(b) + 1] - w.col_at[size_t(b)];
    for (int64_t q = 0; q < held; ++q) {
      const int64_t column = w.col_lo[size_t(b)] + q;
      double* to = w.copy.get() + (w.col_at[size_t(b)] + q) * slot;
      fill_slot<W>(w.layout, plane + (column * g.C + b) * g.height, g.C, to);
      w.in_band = slot_in_band(w.layout, to) && w.in_band;
    }
  }
}

// The window's columns: their source slots lie in the copy, one after
// another for each u, made once per plane for every shift; values go to the
// region's destination, or with RoundedBins to `bins` as refocus_bins
// describes.
template <class Isa, int Side, class Sink>
struct CopiedColumns {
  static constexpr int W = Isa::lanes;
  // The most columns binned from one weight product.
  static constexpr int MaxGroup = Isa::binned_group;
  const RefocusWindowState& w;
  const Geometry& g;
  const RowTable& t;
  const RefocusRegion& region;
  uint8_t* bins;
  const BinnedLayout* layout;
  double* sums;
  int64_t slot;         // entries of one column's slot
  int64_t u = 0, b = 0;
  const double* held = nullptr;  // where column 0's slot would lie at this u

  LF_INLINE void offsets(int64_t u_now, int64_t) {
    u = u_now;
    b = g.D + u;
    held = w.copy.get() + (w.col_at[size_t(b)] - w.col_lo[size_t(b)]) * slot;
  }

  LF_INLINE ColumnJob<Sink> job(int64_t c_begin, int64_t cl) const {
    const int64_t c = c_begin + cl;
    int64_t c0, c1;
    ColumnJob<Sink> job = column_job<Sink>(g, u, c, sums + cl * t.row_count, &c0, &c1);
    job.m0 = held + c0 * slot;
    job.m1 = held + c1 * slot;
    if constexpr (Sink::kBins)
      job.out = {bins + layout->pixel(0, c - region.c_begin) + layout->sample(b), *layout};
    else
      job.out.to = region.destination + ((c - region.c_begin) * g.C + b) * region.destination_height;
    return job;
  }

  LF_INLINE int64_t columns(int64_t c_begin, int64_t cl, int64_t m) const {
    ColumnJob<Sink> jobs[MaxGroup];
    jobs[0] = job(c_begin, cl);
    // Neighbouring columns in one binade of c + u * alpha have weights of
    // the same bits; a group also needs source slots that follow one another.
    const double weights[2] = {jobs[0].wc0, jobs[0].wc1};
    int same = 1;
    if (Sink::kBins && jobs[0].m1 - jobs[0].m0 == slot)
      for (; same < MaxGroup && cl + same < m; ++same) {
        jobs[same] = job(c_begin, cl + same);
        const double next[2] = {jobs[same].wc0, jobs[same].wc1};
        if (std::memcmp(weights, next, sizeof weights) != 0 || jobs[same].m0 - jobs[0].m0 != same * slot ||
            jobs[same].m1 - jobs[same].m0 != slot)
          break;
      }
    // A copy of side Side serves only blocks of that side (side_copy).
    if constexpr (Sink::kBins) {
      if (same == MaxGroup) {
        refocus_column_group<W, Side, MaxGroup, Sink>(g, t, jobs);
      } else if (same >= 4) {
        same = 4;
        refocus_column_group<W, Side, 4, Sink>(g, t, jobs);
      } else if (same >= 2) {
        same = 2;
        refocus_column_group<W, Side, 2, Sink>(g, t, jobs);
      }
    }
    if (same == 1) refocus_column<W, Side, Sink>(g, t, jobs[0]);
    return same;
  }
};

// The tile walk over the copy, with the row table of shift i: every offset
// in one chunk, the tile's rows in one tile of rows.
template <class Isa, int Side, class Sink>
LF_INLINE void window_refocus(const RefocusWindowState& w, int64_t i, const RefocusRegion& region, uint8_t* bins,
                              const BinnedLayout* layout) {
  Geometry g = w.g;
  g.neg_alpha = negated(w.shifts[size_t(i)]);
  const RowTable& t = w.tables[size_t(i)];
  double sums[kSumEntries];
  CopiedColumns<Isa, Side, Sink> columns{w, g, t, region, bins, layout, sums, g.C * t.slot_stride};
  walk_tile(g, region, TileRows{0, t.row_count, t.row_count}, g.C, sums, region.image, columns);
}

using WindowRefocus = void (*)(const RefocusWindowState&, int64_t, const RefocusRegion&, uint8_t*,
                               const BinnedLayout*);

// One instruction set's window kernels: a copy per block side (side_copy),
// values or bins.
struct WindowKernels {
  int64_t lanes;  // bins are written for groups of this many rows (bin_width)
  void (*tables)(RefocusWindowState&);
  void (*fill)(RefocusWindowState&, const double*, int64_t);
  WindowRefocus values[kSideCopies], bins[kSideCopies];
};

template <class Isa, class Copies, size_t... E> constexpr WindowKernels window_table(std::index_sequence<E...>) {
  return {Isa::lanes,
          window_tables<Isa::lanes>,
          Copies::fill,
          {Copies::template refocus<kBlockSides[E], StoreValues>..., Copies::template refocus<0, StoreValues>},
          {Copies::template refocus<kBlockSides[E], RoundedBins>..., Copies::template refocus<0, RoundedBins>}};
}
template <class Isa, class Copies> constexpr WindowKernels window_table() {
  return window_table<Isa, Copies>(std::make_index_sequence<kSideCopies - 1>());
}

}  // namespace

namespace isa_baseline {
struct WindowCopies {
  template <int Side, class Sink>
  static void refocus(const RefocusWindowState& w, int64_t i, const RefocusRegion& region, uint8_t* bins,
                      const BinnedLayout* layout) {
    window_refocus<RefocusTraits, Side, Sink>(w, i, region, bins, layout);
  }
  static void fill(RefocusWindowState& w, const double* source, int64_t k) {
    window_fill<RefocusTraits::lanes>(w, source, k);
  }
};
constexpr WindowKernels kWindow = window_table<RefocusTraits, WindowCopies>();
}  // namespace isa_baseline

#if LF_X86_PATHS
namespace isa_avx2 {
struct WindowCopies {
  template <int Side, class Sink>
  static LF_TARGET("avx2") void refocus(const RefocusWindowState& w, int64_t i, const RefocusRegion& region,
                                        uint8_t* bins, const BinnedLayout* layout) {
    window_refocus<RefocusTraits, Side, Sink>(w, i, region, bins, layout);
  }
  static LF_TARGET("avx2") void fill(RefocusWindowState& w, const double* source, int64_t k) {
    window_fill<RefocusTraits::lanes>(w, source, k);
  }
};
constexpr WindowKernels kWindow = window_table<RefocusTraits, WindowCopies>();
}  // namespace isa_avx2

// AVX-512: vectors of eight rows, whose binning stores eight bytes of one
// offset without any transpose; the binning kernel keeps its weights, sums
// and values in its 32 registers for up to eight columns at a time. The copy
// is avx2's: its transposes gain nothing from wider vectors.
namespace isa_avx512 {
struct WindowCopies {
  template <int Side, class Sink>
  static LF_TARGET("avx2,avx512f,avx512vl") void refocus(const RefocusWindowState& w, int64_t i,
                                                        const RefocusRegion& region, uint8_t* bins,
                                                        const BinnedLayout* layout) {
    window_refocus<RefocusTraits, Side, Sink>(w, i, region, bins, layout);
  }
  static constexpr void (*fill)(RefocusWindowState&, const double*, int64_t) = isa_avx2::WindowCopies::fill;
};
constexpr WindowKernels kWindow = window_table<RefocusTraits, WindowCopies>();
}  // namespace isa_avx512
#endif

namespace {

// The one dispatch point of the window's kernels.
const WindowKernels& window_kernels(VectorPath path) {
#if LF_X86_PATHS
  if (path == VectorPath::avx512) return isa_avx512::kWindow;
  return refocus_table(path, isa_baseline::kWindow, &isa_avx2::kWindow);
#else
  return refocus_table<WindowKernels>(path, isa_baseline::kWindow, nullptr);
#endif
}

}  // namespace

RefocusWindow::RefocusWindow(VectorPath path, int64_t rows, int64_t cols, int64_t angular_size, int64_t tile_rows,
                             int64_t max_shifts)
    : state_(new RefocusWindowState) {
  RefocusWindowState& w = *state_;
  w.kernels = &window_kernels(path);
  w.side = side_copy(angular_size);
  w.g.rows = rows;
  w.g.cols = cols;
  w.g.C = angular_size;
  w.g.D = (angular_size - 1) / 2;
  w.g.height = rows * angular_size;
  w.g.plane_size = w.g.height * cols * angular_size;
  w.g.neg_alpha = 0.0;
  w.count = 0;
  // One chunk of offsets and one tile of rows per call: the region kernel's
  // sizes for this C must cover the tile.
  w.layout.chunk = angular_size;
  w.layout.tile = angular_size * kMinTile <= kEntries
                      ? std::min(kMaxTile, kEntries / angular_size / kMinTile * kMinTile)
                      : 0;
  if (tile_rows > w.layout.tile) max_shifts = 0;
  w.col_lo.resize(size_t(angular_size));
  w.col_at.resize(size_t(angular_size) + 1);
  if (max_shifts > 0) w.plan_bounds.resize(size_t(8 * angular_size));
  w.shifts.resize(size_t(max_shifts));
  w.tables.reset(new RowTable[size_t(max_shifts)]);
  w.table_count = max_shifts;
  if (max_shifts > 0) w.copy.reset(new double[size_t(kWindowEntries)]);
}

RefocusWindow::~RefocusWindow() = default;

int64_t RefocusWindow::plan(int64_t r_begin, int64_t r_end, int64_t c_begin, int64_t c_end, const double* shifts,
                            int64_t count) {
  RefocusWindowState& w = *state_;
  const Geometry& g = w.g;
  const int64_t C = g.C;
  count = std::min<int64_t>(count, w.table_count);
  w.count = 0;
  w.r_begin = r_begin;
  w.r_end = r_end;
  w.c_begin = c_begin;
  w.c_end = c_end;
  if (count <= 0) return 0;
  // Rows and columns never decrease with r and c, so a shift needs of each
  // offset rows r0(first row) .. r1(last row), of each u columns c0(first
  // column) .. c1(last column); the copy holds their union over the shifts.
  // The union so far, per offset its rows row_from .. row_to - 1 and per u
  // its columns col_from .. col_to, and the same with one more shift
  // (next_*), in memory the constructor set aside: a plan runs on worker
  // threads, which never allocate.
  int64_t* const row_from = w.plan_bounds.data();
  int64_t* const row_to = row_from + C;
  int64_t* const col_from = row_to + C;
  int64_t* const col_to = col_from + C;
  int64_t* const next_row_from = col_to + C;
  int64_t* const next_row_to = next_row_from + C;
  int64_t* const next_col_from = next_row_to + C;
  int64_t* const next_col_to = next_col_from + C;
  std::fill(row_from, row_to, INT64_MAX);
  std::fill(row_to, col_from, 0);
  std::fill(col_from, col_to, INT64_MAX);
  std::fill(col_to, next_row_from, 0);
  int64_t served = 0;
  int64_t slot_stride = 0;
  bool common = false;
  for (int64_t i = 0; i < count; ++i) {
    Geometry gi = g;
    gi.neg_alpha = negated(shifts[i]);
    std::copy(row_from, next_row_from, next_row_from);
    for (int64_t j = 0; j < C; ++j) {
      double wr;
      int64_t r0, r1;
      row_terms(gi, j - g.D, r_begin, &wr, &r0, &r1);
      next_row_from[j] = std::min(next_row_from[j], r0);
      row_terms(gi, j - g.D, r_end - 1, &wr, &r0, &r1);
      next_row_to[j] = std::max(next_row_to[j], r1 + 1);
      const double p0 = static_cast<double>(j - g.D) * gi.neg_alpha + static_cast<double>(c_begin);
      const double p1 = static_cast<double>(j - g.D) * gi.neg_alpha + static_cast<double>(c_end - 1);
      next_col_from[j] = std::min(next_col_from[j], clamp_index(std::floor(p0), g.cols));
      next_col_to[j] = std::max(next_col_to[j], clamp_index(std::floor(p1) + 1.0, g.cols));
    }
    int64_t first = INT64_MAX, last = 0, span = 0, columns = 0;
    for (int64_t j = 0; j < C; ++j) {
      first = std::min(first, next_row_from[j]);
      last = std::max(last, next_row_to[j]);
      span = std::max(span, next_row_to[j] - next_row_from[j]);
      columns += next_col_to[j] - next_col_from[j] + 1;
    }
    // One row range for every offset fills with whole vectors; it is taken
    // when it costs at most a quarter more than each offset's own rows.
    const bool one_range = (last - first) * 4 <= span * 5;
    const int64_t stride = one_range ? last - first : span;
    if (columns * C * stride > kWindowEntries) break;
    std::copy(next_row_from, next_row_from + 4 * C, row_from);
    slot_stride = stride;
    common = one_range;
    served = i + 1;
  }
  if (served == 0) return 0;
  const int64_t first = *std::min_element(row_from, row_from + C);
  const int64_t rows = *std::max_element(row_to, row_to + C) - first;
  RowTable& t = w.layout;
  bool same = w.tables_made && w.tables_r_begin == r_begin && w.tables_r_end == r_end &&
              w.tables_count == served && std::memcmp(shifts, w.shifts.data(), size_t(served) * sizeof *shifts) == 0 &&
              t.slot_stride == slot_stride && t.common == common && t.common_first == first &&
              t.common_rows == rows;
  w.count = served;
  std::copy(shifts, shifts + served, w.shifts.begin());
  t.slot_stride = slot_stride;
  t.offset_count = C;
  t.v_begin = -g.D;
  t.common = common;
  t.common_first = first;
  t.common_rows = rows;
  for (int64_t j = 0; j < C; ++j) {
    const int64_t origin = common ? t.common_first : row_from[j];
    const int64_t filled = common ? t.common_rows : row_to[j] - row_from[j];
    same = same && t.origin[j] == origin && t.filled[j] == filled;
    t.origin[j] = origin;
    t.filled[j] = filled;
  }
  w.col_at[0] = 0;
  for (int64_t b = 0; b < C; ++b) {
    w.col_lo[size_t(b)] = col_from[b];
    w.col_at[size_t(b) + 1] = w.col_at[size_t(b)] + col_to[b] - col_from[b] + 1;
  }
  if (!same) {
    w.kernels->tables(w);
    w.tables_made = true;
    w.tables_r_begin = r_begin;
    w.tables_r_end = r_end;
    w.tables_count = served;
  }
  return served;
}

void RefocusWindow::fill(const double* source, int64_t k) { state_->kernels->fill(*state_, source, k); }

void RefocusWindow::refocus(int64_t i, const RefocusRegion& region) const {
  const RefocusWindowState& w = *state_;
  w.kernels->values[w.side](w, i, region, nullptr, nullptr);
}

int64_t RefocusWindow::bin_width() const { return state_->kernels->lanes; }

bool RefocusWindow::binnable(int64_t i) const {
  // Weights in [0, 1] need finite positions; then each value is a weighted
  // sum of copied samples whose weights add up to 1 within a few roundings,
  // so values stay within a hair of the copy's band, well inside the range.
  const double alpha = state_->shifts[size_t(i)];
  return state_->in_band && std::fabs(alpha) <= 0x1p900;
}

void RefocusWindow::refocus_bins(int64_t i, const RefocusRegion& region, uint8_t* bins,
                                 const BinnedLayout& layout) const {
  const RefocusWindowState& w = *state_;
  w.kernels->bins[w.side](w, i, region, bins, &layout);
}
