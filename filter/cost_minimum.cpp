#include "filter/cost_minimum.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

namespace {

// The host's max and min of two values: a NaN loses to a number.
double larger(double a, double b) {
  if (std::isnan(a)) return b;
  if (std::isnan(b)) return a;
  return b > a ? b : a;
}
double smaller(double a, double b) {
  if (std::isnan(a)) return b;
  if (std::isnan(b)) return a;
  return b < a ? b : a;
}

}  // namespace

void cost_minimum(const double* cost, const double* shift, int64_t rows, int64_t cols, int64_t shifts, bool refine,
                  double* disparity, double* confidence) {
  const int64_t plane = rows * cols;
  const int64_t n = shifts;
  if (plane == 0) return;
  // Shift order, ties kept in slice order; rank[s] is slice s's place in it.
  std::vector<int64_t> order(static_cast<size_t>(n)), rank(static_cast<size_t>(n));
  std::iota(order.begin(), order.end(), int64_t{0});
  std::stable_sort(order.begin(), order.end(), [shift](int64_t a, int64_t b) { return shift[a] < shift[b]; });
  for (int64_t k = 0; k < n; ++k) rank[static_cast<size_t>(order[static_cast<size_t>(k)])] = k;

  std::vector<double> least(cost, cost + plane), sum(cost, cost + plane);
  std::vector<int64_t> best(static_cast<size_t>(plane), 0);
  // Slice by slice, so the volume is read once in memory order.
  for (int64_t s = 1; s < n; ++s) {
    const double* e = cost + s * plane;
    for (int64_t p = 0; p < plane; ++p) {
      sum[p] += e[p];
      if (e[p] < least[p]) {
        least[p] = e[p];
        best[p] = s;
      }
    }
  }

  for (int64_t p = 0; p < plane; ++p) {
    const double x1 = shift[best[p]];
    double d = x1;
    const int64_t j = rank[static_cast<size_t>(best[p])];
    if (refine && n >= 3 && j > 0 && j < n - 1) {
      const int64_t below = order[static_cast<size_t>(j - 1)], above = order[static_cast<size_t>(j + 1)];
      const double e0 = cost[below * plane + p], e2 = cost[above * plane + p];
      const double h0 = x1 - shift[below], h2 = shift[above] - x1;
      const double num = h0 * h0 * (least[p] - e2) - h2 * h2 * (least[p] - e0);
      const double den = h0 * (least[p] - e2) + h2 * (least[p] - e0);
      if (h0 > 0 && h2 > 0 && den < 0) {
        const double vertex = x1 - 0.5 * num / den;
        d = smaller(larger(vertex, x1 - h0 / 2), x1 + h2 / 2);
      }
    }
    disparity[p] = d;
  }
  if (!confidence) return;

  // The mean, then the least rival dip, walking the slices in shift order.
  std::vector<double>& mean = sum;
  for (int64_t p = 0; p < plane; ++p) mean[p] = sum[p] / static_cast<double>(n);
  std::vector<double> rival(mean);
  const double inf = std::numeric_limits<double>::infinity();
  for (int64_t k = 0; k < n; ++k) {
    const double* here = cost + order[static_cast<size_t>(k)] * plane;
    const double* left = k > 0 ? cost + order[static_cast<size_t>(k - 1)] * plane : nullptr;
    const double* right = k < n - 1 ? cost + order[static_cast<size_t>(k + 1)] * plane : nullptr;
    for (int64_t p = 0; p < plane; ++p) {
      const int64_t j = rank[static_cast<size_t>(best[p])];
      if (k - j >= -1 && k - j <= 1) continue;
      const double h = here[p];
      if (h <= (left ? left[p] : inf) && h <= (right ? right[p] : inf)) rival[p] = smaller(rival[p], h);
    }
  }
  for (int64_t p = 0; p < plane; ++p) {
    const double drop = mean[p] - least[p];
    confidence[p] = mean[p] > 0 && drop > 0 ? drop / mean[p] * smaller(1.0, (rival[p] - least[p]) / drop) : 0.0;
  }
}
