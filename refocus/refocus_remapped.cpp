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

// Per call, everything on the stack: row tables of kTableEntries (v, r)
// entries (32 KB) and the sums of one tile of rows.
constexpr int64_t kTableEntries = 2048;
constexpr int64_t kMaxTileRows = 256;
constexpr int64_t kTileAlign = 16;

struct RowTable {
  // Indexed [v - first v of the chunk][r - first row of the tile].
  int64_t off0[kTableEntries], off1[kTableEntries];  // r0*C + a and r1*C + a
  double w0[kTableEntries], w1[kTableEntries];       // wr0 and wr1
};

struct Geometry {
  int64_t rows, cols, C, D, H, P;
  double neg_alpha;
};

// The row half of steps 1-4 for rows [r_begin, r_begin + n) and offsets
// [v_begin, v_begin + nv): the same expressions as per pixel, formed once.
inline void build_row_table(const Geometry& g, int64_t r_begin, int64_t n, int64_t v_begin, int64_t nv,
                            int64_t stride, RowTable& t) {
  for (int64_t j = 0; j < nv; ++j) {
    const int64_t v = v_begin + j, a = g.D + v;
    for (int64_t i = 0; i < n; ++i) {
      const double pr = static_cast<double>(v) * g.neg_alpha + static_cast<double>(r_begin + i);
      const double fr = std::floor(pr);
      const double wr0 = 1.0 - (pr - fr);
      t.off0[j * stride + i] = clamp_index(fr, g.rows) * g.C + a;
      t.off1[j * stride + i] = clamp_index(fr + 1.0, g.rows) * g.C + a;
      t.w0[j * stride + i] = wr0;
      t.w1[j * stride + i] = 1.0 - wr0;
    }
  }
}

// Loop order: tiles of rows, then pixel columns c, then u, then v, then rows
// of the tile. Every pixel still adds its values to its sums in u-outer,
// v-inner order, and each value is formed by exactly the per-pixel steps, so
// no bit changes; what moves is only which pixel is worked on when: the row
// terms come from a table shared by all columns, the column terms are formed
// once per (c, u), and rows advance along the column-major layout.
template <int W> struct VecOf;
template <> struct VecOf<2> { typedef double type __attribute__((vector_size(16))); };
template <> struct VecOf<4> { typedef double type __attribute__((vector_size(32))); };
template <> struct VecOf<8> { typedef double type __attribute__((vector_size(64))); };
template <int W> using Vec = typename VecOf<W>::type;

template <int W> inline __attribute__((always_inline)) Vec<W> load(const double* p) {
  Vec<W> x;
  __builtin_memcpy(&x, p, sizeof x);
  return x;
}
template <int W> inline __attribute__((always_inline)) void store(double* p, Vec<W> x) {
  __builtin_memcpy(p, &x, sizeof x);
}
template <int W> inline __attribute__((always_inline)) Vec<W> gather(const double* p, const int64_t* at) {
  Vec<W> x;
  for (int l = 0; l < W; ++l) x[l] = p[at[l]];
  return x;
}

template <int W>
inline __attribute__((always_inline)) void refocus_body(const double* __restrict source,
                                                        double* __restrict destination,
                                                        double* __restrict image, uint16_t cols_in,
                                                        uint16_t rows_in, uint16_t angular_size,
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

  // Tile height and offsets per table: all offsets at once when they fit
  // beside kTileAlign rows, else chunks of offsets with tables rebuilt.
  int64_t tile, chunk;
  if (offsets * kTileAlign <= kTableEntries) {
    tile = std::min(kMaxTileRows, kTableEntries / offsets / kTileAlign * kTileAlign);
    chunk = offsets;
  } else {
    tile = kTileAlign;
    chunk = kTableEntries / kTileAlign;
  }
  RowTable table;
  double sums[3][kMaxTileRows];

  for (int64_t r_begin = 0; r_begin < g.rows; r_begin += tile) {
    const int64_t n = std::min(tile, g.rows - r_begin);
    int64_t built = INT64_MIN;  // first v of the chunk in the table
    for (int64_t c = 0; c < g.cols; ++c) {
      for (int64_t k = 0; k < 3; ++k)
        for (int64_t i = 0; i < n; ++i) sums[k][i] = 0.0;
      for (int64_t u = -g.D; u <= g.D; ++u) {
        const double pc = static_cast<double>(u) * g.neg_alpha + static_cast<double>(c);
        const double fc = std::floor(pc);
        const int64_t c0 = clamp_index(fc, g.cols), c1 = clamp_index(fc + 1.0, g.cols);
        const double wc0 = 1.0 - (pc - fc);
        const double wc1 = 1.0 - wc0;
        const int64_t b = g.D + u;
        const double* s0[3];
        const double* s1[3];
        double* d[3];
        for (int64_t k = 0; k < 3; ++k) {
          s0[k] = source + k * g.P + (c0 * g.C + b) * g.H;
          s1[k] = source + k * g.P + (c1 * g.C + b) * g.H;
          d[k] = destination + k * g.P + (c * g.C + b) * g.H + r_begin * g.C + g.D;
        }
        for (int64_t v_begin = -g.D; v_begin <= g.D; v_begin += chunk) {
          const int64_t nv = std::min(chunk, g.D + 1 - v_begin);
          if (built != v_begin) {
            build_row_table(g, r_begin, n, v_begin, nv, tile, table);
            built = v_begin;
          }
          int64_t i = 0;
          for (; i + W <= n; i += W) {
            Vec<W> S[3];
            for (int64_t k = 0; k < 3; ++k) S[k] = load<W>(sums[k] + i);
            for (int64_t j = 0; j < nv; ++j) {
              const int64_t e = j * tile + i, v = v_begin + j;
              const Vec<W> wr0 = load<W>(table.w0 + e), wr1 = load<W>(table.w1 + e);
              const Vec<W> w00 = wr0 * wc0, w10 = wr1 * wc0, w01 = wr0 * wc1, w11 = wr1 * wc1;
              const int64_t* o0 = table.off0 + e;
              const int64_t* o1 = table.off1 + e;
              for (int64_t k = 0; k < 3; ++k) {
                const Vec<W> value = ((w00 * gather<W>(s0[k], o0) + w10 * gather<W>(s0[k], o1)) +
                                      w01 * gather<W>(s1[k], o0)) +
                                     w11 * gather<W>(s1[k], o1);
                for (int l = 0; l < W; ++l) d[k][(i + l) * g.C + v] = value[l];
                S[k] = S[k] + value;
              }
            }
            for (int64_t k = 0; k < 3; ++k) store<W>(sums[k] + i, S[k]);
          }
          for (; i < n; ++i) {
            for (int64_t j = 0; j < nv; ++j) {
              const int64_t e = j * tile + i, v = v_begin + j;
              const double wr0 = table.w0[e], wr1 = table.w1[e];
              const double w00 = wr0 * wc0, w10 = wr1 * wc0, w01 = wr0 * wc1, w11 = wr1 * wc1;
              const int64_t o0 = table.off0[e], o1 = table.off1[e];
              for (int64_t k = 0; k < 3; ++k) {
                const double value = ((w00 * s0[k][o0] + w10 * s0[k][o1]) + w01 * s1[k][o0]) + w11 * s1[k][o1];
                d[k][i * g.C + v] = value;
                sums[k][i] = sums[k][i] + value;
              }
            }
          }
        }
      }
      for (int64_t k = 0; k < 3; ++k)
        for (int64_t i = 0; i < n; ++i) image[(r_begin + i) + c * g.rows + k * g.rows * g.cols] = sums[k][i] / block;
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
    case RefocusPath::avx512: refocus_avx512(source, destination, image, cols, rows, angular_size, angular_radius, alpha); return;
    case RefocusPath::avx2: refocus_avx2(source, destination, image, cols, rows, angular_size, angular_radius, alpha); return;
    default: refocus_baseline(source, destination, image, cols, rows, angular_size, angular_radius, alpha); return;
  }
}

void refocus_remapped(const double* source, double* destination, double* image, uint16_t cols, uint16_t rows,
                      uint16_t angular_size, uint16_t angular_radius, double alpha) {
  refocus_remapped_on_path(refocus_best_path(), source, destination, image, cols, rows, angular_size,
                           angular_radius, alpha);
}
