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

template <int W> struct VecOf;
template <> struct VecOf<2> { typedef double type __attribute__((vector_size(16))); };
template <> struct VecOf<4> { typedef double type __attribute__((vector_size(32))); };
template <> struct VecOf<8> { typedef double type __attribute__((vector_size(64))); };
template <int W> using Vec = typename VecOf<W>::type;

#define LF_INLINE inline __attribute__((always_inline))

template <int W> LF_INLINE Vec<W> load(const double* p) {
  Vec<W> x;
  __builtin_memcpy(&x, p, sizeof x);
  return x;
}
template <int W> LF_INLINE void store(double* p, Vec<W> x) { __builtin_memcpy(p, &x, sizeof x); }

// Working memory, all on the stack and fixed whatever the sizes: a tile of
// rows times the offsets v of one chunk holds at most kEntries pairs.
constexpr int64_t kEntries = 1024;
constexpr int64_t kMinTile = 8;  // rows of the narrowest tile: the widest vector
constexpr int64_t kMaxTile = 256;
constexpr int64_t kMaxChunk = kEntries / kMinTile;
constexpr int64_t kSumEntries = 1024;
constexpr int64_t kSlotEntries = kEntries + 2 * kMaxChunk;

struct Geometry {
  int64_t rows, cols, C, D, H, P;
  double neg_alpha;
};

// The row terms of one tile of rows and one chunk of offsets v, formed once
// and shared by every column, plane and u.
struct RowTable {
  int64_t tile, chunk, r_begin, n, v_begin, nv, cap;
  double w0[kEntries];           // wr0, [j][i] for v = v_begin + j, r = r_begin + i
  int32_t start[kEntries];       // per [j][block]: slot row of the block's first r0, or -1
  int64_t lo[kMaxChunk];         // first source row of offset j in the slots
  int64_t span[kMaxChunk];       // rows of offset j held in the slots
};

LF_INLINE int64_t row_of(const Geometry& g, int64_t v, int64_t r, double* fr_out) {
  const double pr = static_cast<double>(v) * g.neg_alpha + static_cast<double>(r);
  const double fr = std::floor(pr);
  *fr_out = fr;
  return clamp_index(fr, g.rows);
}

template <int W> void build_row_table(const Geometry& g, RowTable& t) {
  const int64_t blocks = t.tile / W;
  for (int64_t j = 0; j < t.nv; ++j) {
    const int64_t v = t.v_begin + j;
    int64_t first0 = 0;
    bool regular = true;
    for (int64_t i = 0; i < t.n; ++i) {
      const int64_t r = t.r_begin + i;
      const double pr = static_cast<double>(v) * g.neg_alpha + static_cast<double>(r);
      const double fr = std::floor(pr);
      t.w0[j * t.tile + i] = 1.0 - (pr - fr);
      const int64_t r0 = clamp_index(fr, g.rows), r1 = clamp_index(fr + 1.0, g.rows);
      if (i == 0) t.lo[j] = r0;
      if (i == t.n - 1) t.span[j] = std::min(r1 - t.lo[j] + 1, t.cap);
      if (i % W == 0) {
        first0 = r0;
        regular = true;
      }
      regular = regular && r0 == first0 + i % W && r1 == r0 + 1;
      if (i % W == W - 1) t.start[j * blocks + i / W] = regular ? static_cast<int32_t>(first0 - t.lo[j]) : -1;
    }
    for (int64_t b = t.n / W; b < blocks; ++b) t.start[j * blocks + b] = -1;
    // A block reads rows start .. start + W of its slot.
    for (int64_t b = 0; b < t.n / W; ++b) {
      int32_t& s = t.start[j * blocks + b];
      if (s >= 0 && s + W + 1 > t.span[j]) s = -1;
    }
  }
}

// Loop order: tiles of rows, planes, tiles of columns, u, chunks of v,
// columns, blocks of W rows, v. Every pixel still adds its values to its sum
// in u-outer, v-inner order and forms each value by exactly the per-pixel
// steps, so no bit changes. The source column of a block position is first
// copied, per offset v, into a slot where successive rows lie next to each
// other (in the layout they are C apart), so W rows of one v are one vector
// load; W values of one v then go to a staging tile that is written back in
// layout order.
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
  t.cap = t.tile + 2;
  const int64_t col_tile = kSumEntries / t.tile;
  const int64_t blocks = t.tile / W;
  double slot[2][kSlotEntries];
  double staged[kEntries];
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
            int next = 0;
            auto fill = [&](int64_t column) -> const double* {
              for (int s = 0; s < 2; ++s)
                if (held[s] == column) return slot[s];
              const int s = next;
              next ^= 1;
              held[s] = column;
              const double* from = plane + (column * g.C + b) * g.H;
              for (int64_t j = 0; j < nv; ++j) {
                const double* f = from + t.lo[j] * g.C + a_begin + j;
                double* to = slot[s] + j * t.cap;
                for (int64_t q = 0; q < t.span[j]; ++q) to[q] = f[q * g.C];
              }
              return slot[s];
            };
            for (int64_t cl = 0; cl < m; ++cl) {
              const int64_t c = c_begin + cl;
              const double pc = static_cast<double>(u) * g.neg_alpha + static_cast<double>(c);
              const double fc = std::floor(pc);
              const int64_t c0 = clamp_index(fc, g.cols), c1 = clamp_index(fc + 1.0, g.cols);
              const double wc0 = 1.0 - (pc - fc);
              const double wc1 = 1.0 - wc0;
              const double* m0 = fill(c0);
              const double* m1 = fill(c1);
              const double* src0 = plane + (c0 * g.C + b) * g.H + a_begin;
              const double* src1 = plane + (c1 * g.C + b) * g.H + a_begin;
              double* sum = sums + cl * t.tile;
              for (int64_t i = 0; i < n; i += W) {
                const bool full = i + W <= n;
                Vec<W> S = load<W>(sum + i);
                for (int64_t j = 0; j < nv; ++j) {
                  const int64_t e = j * t.tile + i;
                  const int32_t st = full ? t.start[j * blocks + i / W] : -1;
                  Vec<W> value;
                  if (st >= 0) {
                    const Vec<W> wr0 = load<W>(t.w0 + e);
                    const Vec<W> wr1 = 1.0 - wr0;
                    const Vec<W> w00 = wr0 * wc0, w10 = wr1 * wc0, w01 = wr0 * wc1, w11 = wr1 * wc1;
                    const double* p0 = m0 + j * t.cap + st;
                    const double* p1 = m1 + j * t.cap + st;
                    value = ((w00 * load<W>(p0) + w10 * load<W>(p0 + 1)) + w01 * load<W>(p1)) +
                            w11 * load<W>(p1 + 1);
                  } else {
                    // Edges of the grid, rounding that skips a row, the last
                    // rows of a tile: each lane on its own, same steps.
                    const int64_t v = v_begin + j;
                    for (int l = 0; l < W; ++l) {
                      if (i + l >= n) {
                        value[l] = 0.0;
                        continue;
                      }
                      double fr;
                      const int64_t r0 = row_of(g, v, t.r_begin + i + l, &fr);
                      const int64_t r1 = clamp_index(fr + 1.0, g.rows);
                      const double wr0 = t.w0[e + l];
                      const double wr1 = 1.0 - wr0;
                      const double w00 = wr0 * wc0, w10 = wr1 * wc0, w01 = wr0 * wc1, w11 = wr1 * wc1;
                      value[l] = ((w00 * src0[r0 * g.C + j] + w10 * src0[r1 * g.C + j]) + w01 * src1[r0 * g.C + j]) +
                                 w11 * src1[r1 * g.C + j];
                    }
                  }
                  store<W>(staged + e, value);
                  S = S + value;
                }
                store<W>(sum + i, S);
              }
              double* to = destination + k * g.P + (c * g.C + b) * g.H + t.r_begin * g.C + a_begin;
              for (int64_t i = 0; i < n; ++i)
                for (int64_t j = 0; j < nv; ++j) to[i * g.C + j] = staged[j * t.tile + i];
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
