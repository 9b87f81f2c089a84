// The guided filter over a cost volume: the guide's statistics once, then
// every slice streamed column by column on one of the threads.
//
// Every window sum is a running sum, first along each row (over columns),
// then down each column of those row sums. Along a line x[0..n-1] with the
// radius clipped to n-1, the sum s starts at +0 and adds x[0] .. x[r-1]; then
// for each position i in turn it subtracts x[i-r-1] (when it exists), adds
// x[i+r] (when it exists), and that is the window sum of i. Subtracting
// first keeps the sum small, and makes a window of one pixel exact (the
// value that leaves is the whole sum). The radius is clipped per direction:
// from n-1 on, every window is the whole line and the steps add and subtract
// exactly the same values.
//
// A column-major map keeps its rows apart in memory, so the row pass runs
// for all rows at once, one column vector entering and one leaving per step,
// and the column pass runs on those vectors a few columns at a time, as soon
// as their row sums are complete. The additions are those of the
// line-by-line order above, so the bits are too; only which line is worked
// on when differs, and every line is independent. The second pass (over a
// and b) follows the first by the radius, on a ring of the columns it still
// needs.
#include "filter/guided_filter.h"

#include "common/large_pages.h"
#include "common/portable.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <limits>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// Columns whose sums down the columns are taken together: independent
// chains of additions, side by side in vector registers.
constexpr int64_t kBatch = 4;

// How the running sums read a cost: as it is; with a non-finite one taken
// as 0 (a slice with gaps); or as 1 for a gap and 0 otherwise (where the
// gaps are). Reading on the fly needs no cleaned copy of a slice.
struct AsGiven {
  static double at(double x) { return x; }
};
struct GapsAsZero {
  static double at(double x) { return std::isfinite(x) ? x : 0.0; }
};
struct GapCount {
  static double at(double x) { return std::isfinite(x) ? 0.0 : 1.0; }
};

template <class Read = AsGiven>
void add_column(double* LF_RESTRICT sum, const double* LF_RESTRICT x, int64_t rows) {
  for (int64_t i = 0; i < rows; ++i) sum[i] = sum[i] + Read::at(x[i]);
}

template <class Read = AsGiven>
void subtract_column(double* LF_RESTRICT sum, const double* LF_RESTRICT x, int64_t rows) {
  for (int64_t i = 0; i < rows; ++i) sum[i] = sum[i] - Read::at(x[i]);
}

template <class Read>
void add_products(double* LF_RESTRICT sum, const double* g, const double* x, int64_t rows) {
  for (int64_t i = 0; i < rows; ++i) sum[i] = sum[i] + g[i] * Read::at(x[i]);
}

template <class Read>
void subtract_products(double* LF_RESTRICT sum, const double* g, const double* x, int64_t rows) {
  for (int64_t i = 0; i < rows; ++i) sum[i] = sum[i] - g[i] * Read::at(x[i]);
}

// The running sums down kBatch columns of two quantities at once; h holds
// row i of column k at i*kBatch + k, the sums go out column by column.
void window_sums_down(const double* LF_RESTRICT h1, const double* LF_RESTRICT h2, int64_t rows, int64_t r,
                      double* LF_RESTRICT s1, double* LF_RESTRICT s2) {
  double a[kBatch], b[kBatch];
  for (int64_t k = 0; k < kBatch; ++k) a[k] = b[k] = 0.0;
  for (int64_t i = 0; i < r; ++i)
    for (int64_t k = 0; k < kBatch; ++k) {
      a[k] = a[k] + h1[i * kBatch + k];
      b[k] = b[k] + h2[i * kBatch + k];
    }
  for (int64_t i = 0; i < rows; ++i) {
    if (i - r - 1 >= 0)
      for (int64_t k = 0; k < kBatch; ++k) {
        a[k] = a[k] - h1[(i - r - 1) * kBatch + k];
        b[k] = b[k] - h2[(i - r - 1) * kBatch + k];
      }
    if (i + r < rows)
      for (int64_t k = 0; k < kBatch; ++k) {
        a[k] = a[k] + h1[(i + r) * kBatch + k];
        b[k] = b[k] + h2[(i + r) * kBatch + k];
      }
    for (int64_t k = 0; k < kBatch; ++k) {
      s1[k * rows + i] = a[k];
      s2[k * rows + i] = b[k];
    }
  }
}

// Step t of a running window of radius r over n columns, towards the
// window of column c = t - r: the column that falls out of it leaves, column
// t enters (each when it exists), and the window, now complete, is emitted.
template <class Leave, class Enter, class Emit>
void window_step(int64_t t, int64_t n, int64_t r, Leave leave, Enter enter, Emit emit) {
  const int64_t c = t - r;
  if (c - r - 1 >= 0 && c < n) leave(c - r - 1);
  if (t < n) enter(t);
  if (c >= 0 && c < n) emit(c);
}

// Window sums of two quantities: their sums along the rows over the current
// column window, and the columns whose row sums wait for the sums down.
struct SumPair {
  std::vector<double> along1, along2, batch1, batch2, down1, down2;
  int64_t first = 0, count = 0;

  explicit SumPair(int64_t rows)
      : along1(static_cast<size_t>(rows)),
        along2(static_cast<size_t>(rows)),
        batch1(static_cast<size_t>(rows * kBatch)),
        batch2(static_cast<size_t>(rows * kBatch)),
        down1(static_cast<size_t>(rows * kBatch)),
        down2(static_cast<size_t>(rows * kBatch)) {}

  void reset() {
    std::fill(along1.begin(), along1.end(), 0.0);
    std::fill(along2.begin(), along2.end(), 0.0);
    count = 0;
  }

  // Column c's row sums are complete; once kBatch are, or c is the last
  // column, emit(c, sums1, sums2) runs for each in order.
  template <class Emit>
  void stash(int64_t c, int64_t cols, int64_t rv, Emit emit) {
    const int64_t rows = static_cast<int64_t>(along1.size());
    if (count == 0) first = c;
    for (int64_t i = 0; i < rows; ++i) {
      batch1[static_cast<size_t>(i * kBatch + count)] = along1[static_cast<size_t>(i)];
      batch2[static_cast<size_t>(i * kBatch + count)] = along2[static_cast<size_t>(i)];
    }
    if (++count < kBatch && c + 1 < cols) return;
    window_sums_down(batch1.data(), batch2.data(), rows, rv, down1.data(), down2.data());
    const int64_t done = count;
    count = 0;
    for (int64_t k = 0; k < done; ++k) emit(first + k, down1.data() + k * rows, down2.data() + k * rows);
  }
};

// How many pixels of a line of n lie within r of each position.
std::vector<double> window_counts(int64_t n, int64_t r) {
  std::vector<double> count(static_cast<size_t>(n));
  for (int64_t i = 0; i < n; ++i)
    count[static_cast<size_t>(i)] = static_cast<double>(std::min(i + r, n - 1) - std::max<int64_t>(i - r, 0) + 1);
  return count;
}

struct Guide {
  const double* g;
  int64_t rows, cols;
  int64_t rv, rh;  // the radius clipped down the columns and along the rows
  std::vector<double> row_count, col_count;
  std::unique_ptr<double[]> mean, var_eps;  // mI, and vI + epsilon
};

// One thread's buffers: the running sums of both passes, and the last
// 2*radius + 2 columns of a and b (all of them when there are fewer).
struct Workspace {
  int64_t ring;
  SumPair first, second;
  std::vector<double> ring_a, ring_b;

  Workspace(int64_t rows, int64_t cols, int64_t rh)
      : ring(std::min(2 * rh + 2, cols)),
        first(rows),
        second(rows),
        ring_a(static_cast<size_t>(rows * ring)),
        ring_b(static_cast<size_t>(rows * ring)) {}
};

void guide_column(const double* LF_RESTRICT sum_g, const double* LF_RESTRICT sum_gg,
                  const double* LF_RESTRICT row_count, double col_count, double epsilon, int64_t rows,
                  double* LF_RESTRICT mean, double* LF_RESTRICT var_eps) {
  for (int64_t i = 0; i < rows; ++i) {
    const double n = row_count[i] * col_count;
    const double m = sum_g[i] / n;
    const double v = sum_gg[i] / n - m * m;
    mean[i] = m;
    // A variance is never negative; rounding alone makes one so, and a small
    // epsilon would then leave a zero or negative divisor.
    var_eps[i] = (v < 0.0 ? 0.0 : v) + epsilon;
  }
}

void coefficient_column(const double* LF_RESTRICT sum_p, const double* LF_RESTRICT sum_gp,
                        const double* LF_RESTRICT row_count, double col_count, const double* LF_RESTRICT mean,
                        const double* LF_RESTRICT var_eps, int64_t rows, double* LF_RESTRICT a,
                        double* LF_RESTRICT b) {
  for (int64_t i = 0; i < rows; ++i) {
    const double n = row_count[i] * col_count;
    const double mp = sum_p[i] / n;
    const double cov = sum_gp[i] / n - mean[i] * mp;
    const double ai = cov / var_eps[i];
    a[i] = ai;
    b[i] = mp - ai * mean[i];
  }
}

void output_column(const double* LF_RESTRICT sum_a, const double* LF_RESTRICT sum_b,
                   const double* LF_RESTRICT row_count, double col_count, const double* LF_RESTRICT g,
                   int64_t rows, double* LF_RESTRICT q) {
  for (int64_t i = 0; i < rows; ++i) {
    const double n = row_count[i] * col_count;
    q[i] = sum_a[i] / n * g[i] + sum_b[i] / n;
  }
}

// The window sums of x and of g.*x for every column, x read as Read says,
// handed in column order to emit(c, sums of x, sums of g.*x).
template <class Read, class Emit>
void sums_of_x_and_gx(const Guide& gd, const double* x, SumPair& sums, Emit emit) {
  const int64_t rows = gd.rows, cols = gd.cols;
  const double* g = gd.g;
  sums.reset();
  for (int64_t t = 0; t < cols + gd.rh; ++t) {
    window_step(
        t, cols, gd.rh,
        [&](int64_t j) {
          subtract_column<Read>(sums.along1.data(), x + j * rows, rows);
          subtract_products<Read>(sums.along2.data(), g + j * rows, x + j * rows, rows);
        },
        [&](int64_t j) {
          add_column<Read>(sums.along1.data(), x + j * rows, rows);
          add_products<Read>(sums.along2.data(), g + j * rows, x + j * rows, rows);
        },
        [&](int64_t c) { sums.stash(c, cols, gd.rv, emit); });
  }
}

void guide_statistics(Guide& gd, double epsilon, Workspace& w) {
  sums_of_x_and_gx<AsGiven>(gd, gd.g, w.first, [&](int64_t c, const double* sum_g, const double* sum_gg) {
    guide_column(sum_g, sum_gg, gd.row_count.data(), gd.col_count[static_cast<size_t>(c)], epsilon, gd.rows,
                 gd.mean.get() + c * gd.rows, gd.var_eps.get() + c * gd.rows);
  });
}

// One slice of p into q, its costs read as Read says. Returns false when a
// non-finite value entered a running sum (which then stays non-finite to the
// end of its row).
template <class Read>
bool filter_slice(const Guide& gd, const double* p, double* q, Workspace& w) {
  const int64_t rows = gd.rows, cols = gd.cols, rh = gd.rh, rv = gd.rv;
  const double* g = gd.g;
  SumPair& one = w.first;
  SumPair& two = w.second;
  two.reset();
  double* ring_a = w.ring_a.data();
  double* ring_b = w.ring_b.data();
  const auto slot = [&](int64_t c) { return c % w.ring * rows; };

  // Step t of the second pass, once a and b of column t (when t < cols) are
  // in the ring.
  const auto second_step = [&](int64_t t) {
    window_step(
        t, cols, rh,
        [&](int64_t j) {
          subtract_column(two.along1.data(), ring_a + slot(j), rows);
          subtract_column(two.along2.data(), ring_b + slot(j), rows);
        },
        [&](int64_t j) {
          add_column(two.along1.data(), ring_a + slot(j), rows);
          add_column(two.along2.data(), ring_b + slot(j), rows);
        },
        [&](int64_t c) {
          two.stash(c, cols, rv, [&](int64_t e, const double* sum_a, const double* sum_b) {
            output_column(sum_a, sum_b, gd.row_count.data(), gd.col_count[static_cast<size_t>(e)], g + e * rows,
                          rows, q + e * rows);
          });
        });
  };
  const auto emit_ab = [&](int64_t c, const double* sum_p, const double* sum_gp) {
    double* a = ring_a + slot(c);
    double* b = ring_b + slot(c);
    coefficient_column(sum_p, sum_gp, gd.row_count.data(), gd.col_count[static_cast<size_t>(c)],
                       gd.mean.get() + c * rows, gd.var_eps.get() + c * rows, rows, a, b);
    second_step(c);
  };

  sums_of_x_and_gx<Read>(gd, p, one, emit_ab);
  for (int64_t t = cols; t < cols + rh; ++t) second_step(t);

  bool finite = true;
  for (int64_t i = 0; i < rows; ++i) finite = finite && std::isfinite(one.along1[static_cast<size_t>(i)]);
  return finite;
}

// A slice with non-finite values: filtered with each such value taken as 0,
// then NaN wherever one lies within 2*radius rows and columns, the pixels
// whose result it would reach through a and b.
void filter_slice_with_gaps(const Guide& gd, const double* p, double* q, Workspace& w) {
  const int64_t rows = gd.rows, cols = gd.cols;
  filter_slice<GapsAsZero>(gd, p, q, w);
  const int64_t rh = std::min(2 * gd.rh, cols - 1), rv = std::min(2 * gd.rv, rows - 1);
  SumPair& sums = w.first;
  sums.reset();
  for (int64_t t = 0; t < cols + rh; ++t) {
    window_step(
        t, cols, rh, [&](int64_t j) { subtract_column<GapCount>(sums.along1.data(), p + j * rows, rows); },
        [&](int64_t j) { add_column<GapCount>(sums.along1.data(), p + j * rows, rows); },
        [&](int64_t c) {
          sums.stash(c, cols, rv, [&](int64_t e, const double* near, const double*) {
            for (int64_t i = 0; i < rows; ++i)
              if (near[i] > 0.0) q[e * rows + i] = std::numeric_limits<double>::quiet_NaN();
          });
        });
  }
}

// Joins every started thread, on every path out.
struct Team {
  std::vector<std::thread> threads;
  ~Team() {
    for (std::thread& t : threads)
      if (t.joinable()) t.join();
  }
};

}  // namespace

void guided_filter(const double* p, const double* guide, int64_t rows, int64_t cols, int64_t slices, int64_t radius,
                   double epsilon, double* q, int threads) {
  if (rows <= 0 || cols <= 0 || slices <= 0) return;
  advise_large_pages(q, static_cast<size_t>(rows * cols * slices) * sizeof(double));
  Guide gd;
  gd.g = guide;
  gd.rows = rows;
  gd.cols = cols;
  gd.rv = std::min(radius, rows - 1);
  gd.rh = std::min(radius, cols - 1);
  gd.row_count = window_counts(rows, gd.rv);
  gd.col_count = window_counts(cols, gd.rh);
  const int64_t pixels = rows * cols;
  gd.mean.reset(new double[static_cast<size_t>(pixels)]);
  gd.var_eps.reset(new double[static_cast<size_t>(pixels)]);

  const int64_t count = std::max<int64_t>(1, std::min<int64_t>(threads, slices));
  std::vector<Workspace> spaces;
  spaces.reserve(static_cast<size_t>(count));
  for (int64_t t = 0; t < count; ++t) spaces.emplace_back(rows, cols, gd.rh);
  std::vector<std::exception_ptr> faults(static_cast<size_t>(count));
  guide_statistics(gd, epsilon, spaces[0]);

  std::atomic<int64_t> next{0};
  const auto work = [&](size_t t) {
    try {
      for (int64_t s; (s = next.fetch_add(1, std::memory_order_relaxed)) < slices;) {
        const double* ps = p + s * pixels;
        double* qs = q + s * pixels;
        if (!filter_slice<AsGiven>(gd, ps, qs, spaces[t])) filter_slice_with_gaps(gd, ps, qs, spaces[t]);
      }
    } catch (...) {
      faults[t] = std::current_exception();
    }
  };
  {
    Team team;
    team.threads.reserve(static_cast<size_t>(count - 1));
    // A thread the system will not start leaves its slices to the others.
    for (int64_t t = 1; t < count; ++t) {
      try {
        team.threads.emplace_back(work, static_cast<size_t>(t));
      } catch (const std::system_error&) {
        break;
      }
    }
    work(0);
  }
  for (const std::exception_ptr& fault : faults)
    if (fault) std::rethrow_exception(fault);
}
