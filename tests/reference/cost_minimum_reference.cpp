#include "tests/reference/cost_minimum_reference.h"

#include <algorithm>
#include <cmath>
#include <vector>

void cost_minimum_reference(const double* cost, const double* shift, int64_t rows, int64_t cols, int64_t shifts,
                            bool refine, double* disparity, double* confidence) {
  const int64_t plane = rows * cols, n = shifts;
  std::vector<int64_t> order;
  for (int64_t s = 0; s < n; ++s) order.push_back(s);
  std::stable_sort(order.begin(), order.end(), [&](int64_t a, int64_t b) { return shift[a] < shift[b]; });
  for (int64_t p = 0; p < plane; ++p) {
    auto e = [&](int64_t s) { return cost[s * plane + p]; };
    int64_t b = 0;
    double sum = e(0);
    for (int64_t s = 1; s < n; ++s) {
      sum += e(s);
      if (e(s) < e(b)) b = s;
    }
    const double least = e(b), mean = sum / static_cast<double>(n);
    const int64_t j = std::find(order.begin(), order.end(), b) - order.begin();
    double d = shift[b];
    if (refine && n >= 3 && j > 0 && j < n - 1) {
      const double x0 = shift[order[j - 1]], x2 = shift[order[j + 1]];
      const double e0 = e(order[j - 1]), e2 = e(order[j + 1]);
      const double h0 = d - x0, h2 = x2 - d;
      const double num = h0 * h0 * (least - e2) - h2 * h2 * (least - e0);
      const double den = h0 * (least - e2) + h2 * (least - e0);
      if (h0 > 0 && h2 > 0 && den < 0) {
        double v = d - 0.5 * num / den;
        if (std::isnan(v) || v < d - h0 / 2) v = d - h0 / 2;
        if (v > d + h2 / 2) v = d + h2 / 2;
        d = v;
      }
    }
    disparity[p] = d;
    if (!confidence) continue;
    double rival = mean;
    for (int64_t k = 0; k < n; ++k) {
      if (k >= j - 1 && k <= j + 1) continue;
      const double here = e(order[k]);
      const bool below_left = k == 0 || here <= e(order[k - 1]);
      const bool below_right = k == n - 1 || here <= e(order[k + 1]);
      if (below_left && below_right && here < rival) rival = here;
    }
    const double drop = mean - least;
    confidence[p] = mean > 0 && drop > 0 ? drop / mean * std::min(1.0, (rival - least) / drop) : 0.0;
  }
}
