// Shift-and-add refocusing: every angular sample at offset (u, v) is read at the
// spatial position shifted by -alpha*(u, v), bilinearly, from the same angular
// position of the neighbouring blocks.
#include "refocus/refocus_remapped.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "common/portable.h"
#include "common/remapped_light_field.h"
#include "common/vector_paths.h"
#include "refocus/refocus_paths.h"
#include "refocus/refocus_column.h"
#include "refocus/refocus_isa.h"
#include "refocus/refocus_region.h"
#include "refocus/tile_walker.h"

struct RefocusScratch {
  RowTable table;
  double slots[3 * kSlotEntries];  // three source columns, rows of one offset side by side
  double sums[kSumEntries];        // running sums of a tile's pixels
};

void RefocusScratchDelete::operator()(RefocusScratch* scratch) const { delete scratch; }
RefocusScratchPtr make_refocus_scratch() { return RefocusScratchPtr(new RefocusScratch); }

namespace {

// The whole-field kernel's columns: each source column a column reads is
// first copied into one of three slots, where successive rows of one offset v
// lie next to each other (in the layout they are C apart), so W rows of one v
// are one vector load; a slot serves the next column as its c0. The values of
// W rows are transposed back to layout order. Three slots let a pair of
// columns with the same weights share each weight product
// (refocus_column_group). Timings against the literal loops and a plain
// copy: docs/PERFORMANCE.md.
template <class Isa, int Side>
struct SlotColumns {
  static constexpr int W = Isa::lanes;
  const Geometry& g;
  RowTable& t;
  const RefocusRegion& region;
  const double* plane;  // the source plane
  double* to_plane;     // its destination plane
  double* slots;
  double* sums;
  int64_t r_at;  // the tile's first row among the region's
  int64_t u = 0, b = 0, a_begin = 0;
  int64_t held[3] = {-1, -1, -1};  // source column in each slot
  bool sized = false;              // this chunk runs the copy of side Side

  LF_INLINE void offsets(int64_t u_now, int64_t v_begin) {
    u = u_now;
    b = g.D + u;
    if (t.v_begin != v_begin) {
      t.v_begin = v_begin;
      t.offset_count = std::min(t.chunk, g.D + 1 - v_begin);
      build_row_table<W>(g, t);
    }
    a_begin = g.D + v_begin;
    held[0] = held[1] = held[2] = -1;
    sized = Side && t.offset_count == Side && g.C == Side;
  }

  LF_INLINE void fill(int e, int64_t column) {
    if (held[e] == column) return;
    held[e] = column;
    fill_slot<W>(t, plane + (column * g.C + b) * g.height + a_begin, g.C, slots + e * kSlotEntries);
  }
  // The slot of a column, filled unless held; evicts the lowest column held
  // other than `keep`, as columns only grow.
  LF_INLINE const double* slot_for(int64_t column, int64_t keep) {
    int e = -1;
    for (int s = 0; s < 3; ++s)
      if (held[s] == column) return slots + s * kSlotEntries;
    for (int s = 0; s < 3; ++s)
      if (held[s] != keep && (e < 0 || held[s] < held[e])) e = s;
    fill(e, column);
    return slots + e * kSlotEntries;
  }
  // Column c's job, its slots not yet chosen.
  LF_INLINE ColumnJob<StoreValues> job(int64_t c_begin, int64_t c, int64_t* c0, int64_t* c1) const {
    ColumnJob<StoreValues> job = column_job<StoreValues>(g, u, c, sums + (c - c_begin) * t.tile, c0, c1);
    job.out.to = to_plane + ((c - region.c_begin) * g.C + b) * region.destination_height + r_at * g.C + a_begin;
    return job;
  }
  // Column c asks for the column `ahead` after it: that one usually fills a
  // slot with its c1 and writes beside this one; every line that holds a part
  // of either (a range's last line, when the range starts inside a line, is
  // the one its fill would otherwise wait for).
  LF_INLINE void ask_ahead(ColumnJob<StoreValues>& job, int64_t c, int64_t ahead) const {
    const bool last = c + ahead >= region.c_end;
    const double pn = static_cast<double>(u) * g.neg_alpha + static_cast<double>(c + ahead);
    const int64_t next = last ? 0 : clamp_index(std::floor(pn) + 1.0, g.cols);
    if (!last && t.common)
      lines_of(plane + (next * g.C + b) * g.height + t.common_first * g.C + a_begin,
               (t.common_rows - 1) * g.C + t.offset_count, &job.next_source, &job.source_lines);
    if (!last && region.prefetch_destination)
      lines_of(job.out.to + ahead * g.C * region.destination_height, (t.row_count - 1) * g.C + t.offset_count,
               &job.next_destination, &job.destination_lines);
  }

  LF_INLINE int64_t columns(int64_t c_begin, int64_t cl, int64_t m) {
    const int64_t c = c_begin + cl;
    ColumnJob<StoreValues> jobs[2];
    int64_t c0, c1;
    jobs[0] = job(c_begin, c, &c0, &c1);
    // A pair of columns shares its weight products when their weights have
    // the same bits (one binade of c + u * alpha) and they read three source
    // columns in a row, unclamped. Only the copies of one block side have the
    // pair kernel, and only where the instruction set pairs columns.
    if constexpr (Side > 0 && Isa::paired_columns) {
      int64_t d0, d1;
      if (sized && cl + 1 < m && c1 == c0 + 1) {
        jobs[1] = job(c_begin, c + 1, &d0, &d1);
        const double w0[2] = {jobs[0].wc0, jobs[0].wc1}, w1[2] = {jobs[1].wc0, jobs[1].wc1};
        if (std::memcmp(w0, w1, sizeof w0) == 0 && d0 == c1 && d1 == c0 + 2) {
          ask_ahead(jobs[0], c, 2);
          ask_ahead(jobs[1], c + 1, 2);
          // The pair's slots run away from the one that holds c0, so that a
          // pair's last column starts the next pair where it is.
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
          refocus_column_group<W, Side, 2, StoreValues>(g, t, jobs);
          return 2;
        }
      }
    }
    ask_ahead(jobs[0], c, 1);
    jobs[0].m0 = slot_for(c0, c1);
    jobs[0].m1 = slot_for(c1, c0);
    if (sized)
      refocus_column<W, Side, StoreValues>(g, t, jobs[0]);
    else
      refocus_column<W, 0, StoreValues>(g, t, jobs[0]);
    return 1;
  }
};

// Loop order: tiles of rows, planes, then the tile walk (walk_tile) over
// slots filled column by column.
template <class Isa, int Side>
LF_INLINE void refocus_region_body(const double* LF_RESTRICT source, uint16_t cols_in, uint16_t rows_in,
                                   uint16_t angular_size, uint16_t angular_radius, double alpha,
                                   const RefocusRegion& region, RowTable& t, double* slots, double* sums) {
  Geometry g;
  g.rows = rows_in;
  g.cols = cols_in;
  g.C = angular_size;
  g.D = angular_radius;
  g.height = g.rows * g.C;
  g.plane_size = g.height * g.cols * g.C;
  g.neg_alpha = negated(alpha);
  if (region.r_end <= region.r_begin || region.c_end <= region.c_begin) return;
  const int64_t offsets = 2 * g.D + 1;

  if (offsets * kMinTile <= kEntries) {
    t.chunk = offsets;
    t.tile = std::min(kMaxTile, kEntries / offsets / kMinTile * kMinTile);
  } else {
    t.chunk = kMaxChunk;
    t.tile = kMinTile;
  }
  t.slot_stride = t.tile + t.tile / 4;

  for (t.r_begin = region.r_begin; t.r_begin < region.r_end; t.r_begin += t.tile) {
    t.row_count = std::min(t.tile, region.r_end - t.r_begin);
    const TileRows rows{t.r_begin - region.r_begin, t.row_count, t.tile};
    t.v_begin = INT64_MIN;
    for (int64_t k = region.k_begin; k < region.k_end; ++k) {
      SlotColumns<Isa, Side> columns{g, t, region, source + k * g.plane_size,
                                   region.destination + (k - region.k_begin) * region.destination_plane,
                                   slots, sums, rows.r_at};
      walk_tile(g, region, rows, t.chunk, sums, region.image + (k - region.k_begin) * region.image_plane, columns);
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

// The working memory: the kernel's own, on its stack, whose arrays the
// compiler knows no stored value can alias (in memory it is given, GCC
// reloads from them after stores: about a sixth more instructions on AVX2);
// or, Given, the caller's (RefocusRegion::scratch).
template <class Isa, int Side, bool Given>
LF_INLINE void refocus_region_with(const double* source, uint16_t cols, uint16_t rows, uint16_t angular_size,
                                   uint16_t angular_radius, double alpha, const RefocusRegion& region) {
  if constexpr (Given) {
    RefocusScratch& s = *region.scratch;
    refocus_region_body<Isa, Side>(source, cols, rows, angular_size, angular_radius, alpha, region, s.table, s.slots,
                                   s.sums);
  } else {
    RowTable table;
    double slots[3 * kSlotEntries];
    double sums[kSumEntries];
    refocus_region_body<Isa, Side>(source, cols, rows, angular_size, angular_radius, alpha, region, table, slots,
                                   sums);
  }
}

using RegionKernel = void (*)(const double*, uint16_t, uint16_t, uint16_t, uint16_t, double, const RefocusRegion&);

// One instruction set's region kernels: a copy per block side (side_copy),
// and one for working memory the caller gives (the sweep's tiles that no
// window serves, on threads with small stacks: rare, so one copy serves
// every side).
struct RefocusKernels {
  RegionKernel sides[kSideCopies];
  RegionKernel given_memory;
};

template <class Copies, size_t... E> constexpr RefocusKernels region_table(std::index_sequence<E...>) {
  return {{Copies::template region<kBlockSides[E], false>..., Copies::template region<0, false>},
          Copies::template region<0, true>};
}
template <class Copies> constexpr RefocusKernels region_table() {
  return region_table<Copies>(std::make_index_sequence<kSideCopies - 1>());
}

}  // namespace

namespace isa_baseline {
struct RegionCopies {
  template <int Side, bool Given>
  static void region(const double* source, uint16_t cols, uint16_t rows, uint16_t angular_size,
                     uint16_t angular_radius, double alpha, const RefocusRegion& region) {
    refocus_region_with<RefocusTraits, Side, Given>(source, cols, rows, angular_size, angular_radius, alpha, region);
  }
};
constexpr RefocusKernels kRefocus = region_table<RegionCopies>();
}  // namespace isa_baseline

#if LF_X86_PATHS
namespace isa_avx2 {
struct RegionCopies {
  template <int Side, bool Given>
  static LF_TARGET("avx2") void region(const double* source, uint16_t cols, uint16_t rows, uint16_t angular_size,
                                       uint16_t angular_radius, double alpha, const RefocusRegion& region) {
    refocus_region_with<RefocusTraits, Side, Given>(source, cols, rows, angular_size, angular_radius, alpha, region);
  }
};
constexpr RefocusKernels kRefocus = region_table<RegionCopies>();
}  // namespace isa_avx2
#endif

namespace {

// The one dispatch point of the region kernel.
RegionKernel region_kernel(VectorPath path, uint16_t angular_size, uint16_t angular_radius, bool given_memory) {
#if LF_X86_PATHS
  const RefocusKernels& kernels = refocus_table(path, isa_baseline::kRefocus, &isa_avx2::kRefocus);
#else
  const RefocusKernels& kernels = refocus_table<RefocusKernels>(path, isa_baseline::kRefocus, nullptr);
#endif
  if (given_memory) return kernels.given_memory;
  return kernels.sides[angular_size == 2 * angular_radius + 1 ? side_copy(angular_size) : kSideCopies - 1];
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

VectorPath refocus_best_path() { return best_path({VectorPath::sse2, VectorPath::neon, VectorPath::avx2}); }

void refocus_remapped(const double* source, double* destination, double* image, uint16_t cols, uint16_t rows,
                      uint16_t angular_size, uint16_t angular_radius, double alpha, VectorPath path) {
  refocus_region(source, cols, rows, angular_size, angular_radius, alpha,
                 whole_field(destination, image, rows, cols, angular_size), path);
}

void refocus_region(const double* source, uint16_t cols, uint16_t rows, uint16_t angular_size,
                    uint16_t angular_radius, double alpha, const RefocusRegion& region, VectorPath path) {
  region_kernel(path, angular_size, angular_radius, region.scratch != nullptr)(source, cols, rows, angular_size,
                                                                               angular_radius, alpha, region);
}
