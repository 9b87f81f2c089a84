// Shift-and-add refocusing: every angular sample at offset (u, v) is read at the
// spatial position shifted by -alpha*(u, v), bilinearly, from the same angular
// position of the neighbouring blocks.
#include "refocus/refocus_remapped.h"

#include <algorithm>
#include <cmath>

#include "common/remapped_light_field.h"
#include "refocus/refocus_paths.h"

namespace {

// The truncate-then-clamp rule for a floored position. Any value at or beyond
// the bound (including +inf) takes the last index and anything below zero or
// NaN takes the first, so no float-to-int conversion ever leaves its range.
inline int64_t clamp_index(double f, int64_t bound) {
  if (!(f >= 0.0)) return 0;
  if (f >= static_cast<double>(bound)) return bound - 1;
  return static_cast<int64_t>(f);
}

#define LF_INLINE inline __attribute__((always_inline))

template <int W> struct VecOf;
template <> struct VecOf<2> { typedef double type __attribute__((vector_size(16))); };
template <> struct VecOf<4> { typedef double type __attribute__((vector_size(32))); };
template <> struct VecOf<8> { typedef double type __attribute__((vector_size(64))); };
template <int W> using Vec = typename VecOf<W>::type;

template <int W> LF_INLINE Vec<W> load(const double* p) {
  Vec<W> x;
  __builtin_memcpy(&x, p, sizeof x);
  return x;
}
template <int W> LF_INLINE void store(double* p, Vec<W> x) { __builtin_memcpy(p, &x, sizeof x); }

// In-register transpose of W vectors of W lanes: lane l of vector i goes to
// lane i of vector l.
template <int W> struct Transpose;
template <> struct Transpose<2> {
  typedef long long M __attribute__((vector_size(16)));
  static LF_INLINE void run(Vec<2>* x) {
    const Vec<2> a = x[0], b = x[1];
    x[0] = __builtin_shuffle(a, b, M{0, 2});
    x[1] = __builtin_shuffle(a, b, M{1, 3});
  }
};
template <> struct Transpose<4> {
  typedef long long M __attribute__((vector_size(32)));
  static LF_INLINE void run(Vec<4>* x) {
    const Vec<4> t0 = __builtin_shuffle(x[0], x[1], M{0, 4, 2, 6}), t1 = __builtin_shuffle(x[0], x[1], M{1, 5, 3, 7});
    const Vec<4> t2 = __builtin_shuffle(x[2], x[3], M{0, 4, 2, 6}), t3 = __builtin_shuffle(x[2], x[3], M{1, 5, 3, 7});
    x[0] = __builtin_shuffle(t0, t2, M{0, 1, 4, 5});
    x[1] = __builtin_shuffle(t1, t3, M{0, 1, 4, 5});
    x[2] = __builtin_shuffle(t0, t2, M{2, 3, 6, 7});
    x[3] = __builtin_shuffle(t1, t3, M{2, 3, 6, 7});
  }
};
template <> struct Transpose<8> {
  typedef long long M __attribute__((vector_size(64)));
  static LF_INLINE void run(Vec<8>* x) {
    const M lo1{0, 8, 2, 10, 4, 12, 6, 14}, hi1{1, 9, 3, 11, 5, 13, 7, 15};
    const M lo2{0, 1, 8, 9, 4, 5, 12, 13}, hi2{2, 3, 10, 11, 6, 7, 14, 15};
    const M lo4{0, 1, 2, 3, 8, 9, 10, 11}, hi4{4, 5, 6, 7, 12, 13, 14, 15};
    Vec<8> t[8], u[8];
    for (int i = 0; i < 8; i += 2) {
      t[i] = __builtin_shuffle(x[i], x[i + 1], lo1);
      t[i + 1] = __builtin_shuffle(x[i], x[i + 1], hi1);
    }
    for (int i = 0; i < 8; i += 4)
      for (int h = 0; h < 2; ++h) {
        u[i + h] = __builtin_shuffle(t[i + h], t[i + h + 2], lo2);
        u[i + h + 2] = __builtin_shuffle(t[i + h], t[i + h + 2], hi2);
      }
    for (int h = 0; h < 4; ++h) {
      x[h] = __builtin_shuffle(u[h], u[h + 4], lo4);
      x[h + 4] = __builtin_shuffle(u[h], u[h + 4], hi4);
    }
  }
};

// Working memory, all on the stack and fixed whatever the sizes: a tile of
// rows times the offsets v of one chunk holds at most kEntries pairs.
constexpr int64_t kEntries = 1024;
constexpr int64_t kMinTile = 8;  // rows of the narrowest tile: the widest vector
constexpr int64_t kMaxTile = 256;
constexpr int64_t kMaxChunk = kEntries / kMinTile;
constexpr int64_t kSumEntries = 1024;
constexpr int64_t kSlotEntries = kEntries + kEntries / 4;

struct Geometry {
  int64_t rows, cols, C, D, H, P;
  double neg_alpha;
};

// The row terms of one tile of rows and one chunk of offsets v, formed once
// and shared by every column, plane and u; and where the source rows of each
// offset sit in the slots.
struct RowTable {
  int64_t tile, chunk, cap;       // fixed per call; cap: slot rows per offset
  int64_t r_begin, n, v_begin, nv;
  double w0[kEntries];            // wr0, [j][i] for v = v_begin + j, r = r_begin + i
  int16_t slot0[kEntries];        // slot rows of r0 and r1, [j][i]
  int16_t slot1[kEntries];
  int16_t start[kEntries];        // per [j][block]: slot row of r0 when the block's rows are
                                  // consecutive (r0 + lane, r1 = r0 + 1), else -1
  bool simple[kMaxTile];          // per block: full, and start >= 0 for every offset
  bool shared;                    // all offsets hold rows first .. first + rows - 1
  int64_t first, rows;            // the shared rows
  int64_t origin[kMaxChunk];      // source row at slot row 0, per offset
  int64_t filled[kMaxChunk];      // slot rows holding data, per offset
};

template <int W> void build_row_table(const Geometry& g, RowTable& t) {
  const int64_t blocks = t.tile / W;
  int64_t first = INT64_MAX, end = 0;
  int64_t r0s[kMaxTile], r1s[kMaxTile];
  for (int64_t j = 0; j < t.nv; ++j) {
    const int64_t v = t.v_begin + j;
    for (int64_t i = 0; i < t.n; ++i) {
      const double pr = static_cast<double>(v) * g.neg_alpha + static_cast<double>(t.r_begin + i);
      const double fr = std::floor(pr);
      t.w0[j * t.tile + i] = 1.0 - (pr - fr);
      r0s[i] = clamp_index(fr, g.rows);
      r1s[i] = clamp_index(fr + 1.0, g.rows);
    }
    // Rows are non-decreasing in r: the first r0 is the lowest.
    t.origin[j] = r0s[0];
    t.filled[j] = std::min(r1s[t.n - 1] - r0s[0] + 1, t.cap);
    first = std::min(first, t.origin[j]);
    end = std::max(end, t.origin[j] + t.filled[j]);
  }
  t.shared = end - first <= t.cap;
  t.first = first;
  t.rows = end - first;
  for (int64_t b = 0; b < blocks; ++b) t.simple[b] = true;
  for (int64_t j = 0; j < t.nv; ++j) {
    if (t.shared) {
      t.origin[j] = first;
      t.filled[j] = t.rows;
    }
    const int64_t v = t.v_begin + j;
    // Second pass for the rows: the origins are known now.
    for (int64_t i = 0; i < t.tile; ++i) {
      int64_t r0 = t.origin[j], r1 = t.origin[j];
      if (i < t.n) {
        double fr = std::floor(static_cast<double>(v) * g.neg_alpha + static_cast<double>(t.r_begin + i));
        r0 = clamp_index(fr, g.rows);
        r1 = clamp_index(fr + 1.0, g.rows);
      }
      t.slot0[j * t.tile + i] = static_cast<int16_t>(std::min(r0 - t.origin[j], t.filled[j] - 1));
      t.slot1[j * t.tile + i] = static_cast<int16_t>(std::min(r1 - t.origin[j], t.filled[j] - 1));
    }
    for (int64_t b = 0; b < blocks; ++b) {
      const int16_t* s0 = t.slot0 + j * t.tile + b * W;
      const int16_t* s1 = t.slot1 + j * t.tile + b * W;
      bool regular = (b + 1) * W <= t.n && s0[0] + W + 1 <= t.filled[j];
      for (int l = 0; l < W; ++l) regular = regular && s0[l] == s0[0] + l && s1[l] == s0[l] + 1;
      t.start[j * blocks + b] = regular ? s0[0] : -1;
      t.simple[b] = t.simple[b] && regular;
    }
  }
}

// Copies the source rows that the table names from one block position of one
// column into a slot, offset j in slot row j: rows that are C apart in the
// layout become neighbours.
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
      for (int l = 0; l < W; ++l) x[l] = load<W>(from + (q + l) * C + j);
      Transpose<W>::run(x);
      for (int l = 0; l < W; ++l) store<W>(slot + (j + l) * t.cap + q, x[l]);
    }
    for (; j < t.nv; ++j)
      for (int l = 0; l < W; ++l) slot[j * t.cap + q + l] = from[(q + l) * C + j];
  }
  for (; q < t.rows; ++q)
    for (int64_t j = 0; j < t.nv; ++j) slot[j * t.cap + q] = from[q * C + j];
}

// The values of W rows, staged [j][lane], to rows i .. i + W - 1 of the
// layout, at to[row*C + j].
template <int W> LF_INLINE void write_rows(const double* staged, int64_t nv, int64_t lanes, int64_t C, double* to) {
  if (lanes < W) {
    for (int64_t l = 0; l < lanes; ++l)
      for (int64_t j = 0; j < nv; ++j) to[l * C + j] = staged[j * W + l];
    return;
  }
  int64_t j = 0;
  for (; j + W <= nv; j += W) {
    Vec<W> x[W];
    for (int l = 0; l < W; ++l) x[l] = load<W>(staged + (j + l) * W);
    Transpose<W>::run(x);
    for (int l = 0; l < W; ++l) store<W>(to + l * C + j, x[l]);
  }
  for (; j < nv; ++j)
    for (int l = 0; l < W; ++l) to[l * C + j] = staged[j * W + l];
}

template <int W>
LF_INLINE Vec<W> interpolate(Vec<W> wr0, double wc0, double wc1, Vec<W> s00, Vec<W> s10, Vec<W> s01, Vec<W> s11) {
  const Vec<W> wr1 = 1.0 - wr0;
  const Vec<W> w00 = wr0 * wc0, w10 = wr1 * wc0, w01 = wr0 * wc1, w11 = wr1 * wc1;
  return ((w00 * s00 + w10 * s10) + w01 * s01) + w11 * s11;
}

// Everything one pixel column needs at one u: the slots of its columns c0
// and c1, its column weights, its sums and where its values go.
struct ColumnJob {
  const double* m0;
  const double* m1;
  double wc0, wc1;
  double* sum;     // the column's sums for the rows of the tile
  double* to;      // destination: row r_begin, block position a_begin
  const char* prefetch;  // source lines of a slot filled soon
  int64_t prefetch_lines;
};

template <int W>
LF_INLINE void refocus_column(const RowTable& t, int64_t C, const ColumnJob& job, double* staged) {
  const int64_t nv = t.nv, blocks = t.tile / W;
  const int64_t per_block = (job.prefetch_lines + blocks - 1) / blocks;
  int64_t line = 0;
  for (int64_t i = 0; i < t.n; i += W) {
    for (int64_t e = 0; e < per_block && line < job.prefetch_lines; ++e, ++line)
      __builtin_prefetch(job.prefetch + line * 64, 0, 3);
    Vec<W> S = load<W>(job.sum + i);
    const double* w0 = t.w0 + i;
    const int16_t* start = t.start + i / W;
    if (t.simple[i / W]) {
      // W offsets at a time straight to the destination, transposed in
      // registers; the offsets beyond a multiple of W through the stage.
      int64_t j = 0;
      for (; j + W <= nv; j += W) {
        Vec<W> x[W];
        for (int l = 0; l < W; ++l) {
          const double* q0 = job.m0 + (j + l) * t.cap + start[(j + l) * blocks];
          const double* q1 = job.m1 + (j + l) * t.cap + start[(j + l) * blocks];
          x[l] = interpolate<W>(load<W>(w0 + (j + l) * t.tile), job.wc0, job.wc1, load<W>(q0), load<W>(q0 + 1),
                                load<W>(q1), load<W>(q1 + 1));
          S = S + x[l];
        }
        Transpose<W>::run(x);
        for (int l = 0; l < W; ++l) store<W>(job.to + (i + l) * C + j, x[l]);
      }
      const int64_t rest = j;
      for (; j < nv; ++j) {
        const double* q0 = job.m0 + j * t.cap + start[j * blocks];
        const double* q1 = job.m1 + j * t.cap + start[j * blocks];
        const Vec<W> x = interpolate<W>(load<W>(w0 + j * t.tile), job.wc0, job.wc1, load<W>(q0), load<W>(q0 + 1),
                                        load<W>(q1), load<W>(q1 + 1));
        S = S + x;
        store<W>(staged + (j - rest) * W, x);
      }
      for (int64_t l = 0; l < W; ++l)
        for (int64_t jj = rest; jj < nv; ++jj) job.to[(i + l) * C + jj] = staged[(jj - rest) * W + l];
    } else {
      // Clamped rows at the grid's edges, the last rows of the grid: the
      // offsets whose rows are not consecutive gather them one by one.
      for (int64_t j = 0; j < nv; ++j) {
        const double* q0 = job.m0 + j * t.cap;
        const double* q1 = job.m1 + j * t.cap;
        const int64_t st = start[j * blocks];
        Vec<W> x;
        if (st >= 0) {
          x = interpolate<W>(load<W>(w0 + j * t.tile), job.wc0, job.wc1, load<W>(q0 + st), load<W>(q0 + st + 1),
                             load<W>(q1 + st), load<W>(q1 + st + 1));
        } else {
          const int16_t* i0 = t.slot0 + j * t.tile + i;
          const int16_t* i1 = t.slot1 + j * t.tile + i;
          double y[4][W];
          for (int l = 0; l < W; ++l) {
            y[0][l] = q0[i0[l]];
            y[1][l] = q0[i1[l]];
            y[2][l] = q1[i0[l]];
            y[3][l] = q1[i1[l]];
          }
          x = interpolate<W>(load<W>(w0 + j * t.tile), job.wc0, job.wc1, load<W>(y[0]), load<W>(y[1]),
                             load<W>(y[2]), load<W>(y[3]));
        }
        S = S + x;
        store<W>(staged + j * W, x);
      }
      write_rows<W>(staged, nv, std::min<int64_t>(W, t.n - i), C, job.to + i * C);
    }
    store<W>(job.sum + i, S);
  }
}

// Loop order: tiles of rows, planes, tiles of columns, u, chunks of v,
// columns, blocks of W rows, v. Every pixel still adds its values to its sum
// in u-outer, v-inner order and forms each value by exactly the per-pixel
// steps, so no bit changes. The source column of a block position is first
// copied into a slot where successive rows of one offset v lie next to each
// other (in the layout they are C apart), so W rows of one v are one vector
// load; the values of W rows are transposed back to layout order.
template <int W>
LF_INLINE void refocus_body(const double* __restrict source, double* __restrict destination,
                            double* __restrict image, uint16_t cols_in, uint16_t rows_in, uint16_t angular_size,
                            uint16_t angular_radius, double alpha) {
  Geometry g;
  g.rows = rows_in;
  g.cols = cols_in;
  g.C = angular_size;
  g.D = angular_radius;
  g.H = g.rows * g.C;
  g.P = g.H * g.cols * g.C;
  g.neg_alpha = alpha * -1.0;
  if (g.rows == 0 || g.cols == 0) return;
  const double block = static_cast<double>(static_cast<int32_t>(g.C * g.C));
  const int64_t offsets = 2 * g.D + 1;

  RowTable t;
  if (offsets * kMinTile <= kEntries) {
    t.chunk = offsets;
    t.tile = std::min(kMaxTile, kEntries / offsets / kMinTile * kMinTile);
  } else {
    t.chunk = kMaxChunk;
    t.tile = kMinTile;
  }
  // One offset needs at most n + 2 source rows: floor(x + r) advances by at
  // most n over n rows, r1 adds one, and clamping only narrows the range.
  t.cap = t.tile + t.tile / 4;
  const int64_t col_tile = kSumEntries / t.tile;
  const int64_t blocks = t.tile / W;
  double slot[2][kSlotEntries];
  double staged[kMaxChunk * W];
  double sums[kSumEntries];

  for (t.r_begin = 0; t.r_begin < g.rows; t.r_begin += t.tile) {
    const int64_t n = t.n = std::min(t.tile, g.rows - t.r_begin);
    t.v_begin = INT64_MIN;
    for (int64_t k = 0; k < 3; ++k) {
      const double* plane = source + k * g.P;
      for (int64_t c_begin = 0; c_begin < g.cols; c_begin += col_tile) {
        const int64_t m = std::min(col_tile, g.cols - c_begin);
        for (int64_t i = 0; i < m * t.tile; ++i) sums[i] = 0.0;
        for (int64_t u = -g.D; u <= g.D; ++u) {
          const int64_t b = g.D + u;
          for (int64_t v_begin = -g.D; v_begin <= g.D; v_begin += t.chunk) {
            if (t.v_begin != v_begin) {
              t.v_begin = v_begin;
              t.nv = std::min(t.chunk, g.D + 1 - v_begin);
              build_row_table<W>(g, t);
            }
            const int64_t nv = t.nv, a_begin = g.D + v_begin;
            int64_t held[2] = {-1, -1};  // source column in each slot
            // The slot of a column, filled unless it is held; never evicts `keep`.
            auto slot_for = [&](int64_t column, int64_t keep) -> const double* {
              for (int e = 0; e < 2; ++e)
                if (held[e] == column) return slot[e];
              const int e = held[0] == keep ? 1 : 0;
              held[e] = column;
              fill_slot<W>(t, plane + (column * g.C + b) * g.H + a_begin, g.C, slot[e]);
              return slot[e];
            };
            for (int64_t cl = 0; cl < m; ++cl) {
              const int64_t c = c_begin + cl;
              const double pc = static_cast<double>(u) * g.neg_alpha + static_cast<double>(c);
              const double fc = std::floor(pc);
              const int64_t c0 = clamp_index(fc, g.cols), c1 = clamp_index(fc + 1.0, g.cols);
              const double wc0 = 1.0 - (pc - fc);
              const double wc1 = 1.0 - wc0;
              ColumnJob job;
              job.wc0 = wc0;
              job.wc1 = wc1;
              job.m0 = slot_for(c0, c1);
              job.m1 = slot_for(c1, c0);
              job.sum = sums + cl * t.tile;
              job.to = destination + k * g.P + (c * g.C + b) * g.H + t.r_begin * g.C + a_begin;
              // The slot that the next column is likely to fill: its c1.
              job.prefetch_lines = 0;
              if (t.shared && c + 1 < g.cols) {
                const double pn = static_cast<double>(u) * g.neg_alpha + static_cast<double>(c + 1);
                const int64_t next = clamp_index(std::floor(pn) + 1.0, g.cols);
                job.prefetch =
                    reinterpret_cast<const char*>(plane + (next * g.C + b) * g.H + t.first * g.C + a_begin);
                job.prefetch_lines = (t.rows * g.C * 8 + 63) / 64;
              }
              refocus_column<W>(t, g.C, job, staged);
            }
          }
        }
        for (int64_t cl = 0; cl < m; ++cl)
          for (int64_t i = 0; i < n; ++i)
            image[(t.r_begin + i) + (c_begin + cl) * g.rows + k * g.rows * g.cols] = sums[cl * t.tile + i] / block;
      }
    }
  }
}

void refocus_baseline(const double* source, double* destination, double* image, uint16_t cols, uint16_t rows,
                      uint16_t angular_size, uint16_t angular_radius, double alpha) {
  refocus_body<2>(source, destination, image, cols, rows, angular_size, angular_radius, alpha);
}

__attribute__((target("avx2"))) void refocus_avx2(const double* source, double* destination, double* image,
                                                  uint16_t cols, uint16_t rows, uint16_t angular_size,
                                                  uint16_t angular_radius, double alpha) {
  refocus_body<4>(source, destination, image, cols, rows, angular_size, angular_radius, alpha);
}

__attribute__((target("avx512f"))) void refocus_avx512(const double* source, double* destination, double* image,
                                                      uint16_t cols, uint16_t rows, uint16_t angular_size,
                                                      uint16_t angular_radius, double alpha) {
  refocus_body<8>(source, destination, image, cols, rows, angular_size, angular_radius, alpha);
}

}  // namespace

bool refocus_path_available(RefocusPath path) {
  switch (path) {
    case RefocusPath::baseline: return true;
    case RefocusPath::avx2: return __builtin_cpu_supports("avx2");
    case RefocusPath::avx512: return __builtin_cpu_supports("avx512f");
  }
  return false;
}

const char* refocus_path_name(RefocusPath path) {
  switch (path) {
    case RefocusPath::baseline: return "baseline";
    case RefocusPath::avx2: return "avx2";
    case RefocusPath::avx512: return "avx512";
  }
  return "?";
}

RefocusPath refocus_best_path() {
  if (refocus_path_available(RefocusPath::avx512)) return RefocusPath::avx512;
  if (refocus_path_available(RefocusPath::avx2)) return RefocusPath::avx2;
  return RefocusPath::baseline;
}

void refocus_remapped_on_path(RefocusPath path, const double* source, double* destination, double* image,
                              uint16_t cols, uint16_t rows, uint16_t angular_size, uint16_t angular_radius,
                              double alpha) {
  switch (path) {
    case RefocusPath::avx512:
      refocus_avx512(source, destination, image, cols, rows, angular_size, angular_radius, alpha);
      return;
    case RefocusPath::avx2:
      refocus_avx2(source, destination, image, cols, rows, angular_size, angular_radius, alpha);
      return;
    default:
      refocus_baseline(source, destination, image, cols, rows, angular_size, angular_radius, alpha);
      return;
  }
}

void refocus_remapped(const double* source, double* destination, double* image, uint16_t cols, uint16_t rows,
                      uint16_t angular_size, uint16_t angular_radius, double alpha) {
  refocus_remapped_on_path(refocus_best_path(), source, destination, image, cols, rows, angular_size,
                           angular_radius, alpha);
}
