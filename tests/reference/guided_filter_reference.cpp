#include "tests/reference/guided_filter_reference.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

using Map = std::vector<double>;

// Window sums of radius r along a line of n values x[0], x[stride], ...: a
// running sum from +0 that first takes in x[0] .. x[r-1], then at each
// position subtracts the value r+1 behind and adds the one r ahead, when
// they exist. The radius is used as given, however large.
void running_sums(const double* x, int64_t n, int64_t stride, int64_t r, double* out) {
  double s = 0.0;
  for (int64_t i = 0; i < r && i < n; ++i) s = s + x[i * stride];
  for (int64_t i = 0; i < n; ++i) {
    if (i - r - 1 >= 0) s = s - x[(i - r - 1) * stride];
    if (i + r < n) s = s + x[(i + r) * stride];
    out[i * stride] = s;
  }
}

double count_within(int64_t i, int64_t n, int64_t r) {
  return static_cast<double>(std::min(i + r, n - 1) - std::max<int64_t>(i - r, 0) + 1);
}

// The mean over the clipped window: sums along every row, then down every
// column of those sums, divided by the number of pixels in the window.
Map box(const Map& x, int64_t rows, int64_t cols, int64_t r) {
  Map along(x.size()), down(x.size());
  for (int64_t i = 0; i < rows; ++i) running_sums(&x[i], cols, rows, r, &along[i]);
  for (int64_t c = 0; c < cols; ++c) running_sums(&along[c * rows], rows, 1, r, &down[c * rows]);
  for (int64_t c = 0; c < cols; ++c)
    for (int64_t i = 0; i < rows; ++i) down[c * rows + i] /= count_within(i, rows, r) * count_within(c, cols, r);
  return down;
}

}  // namespace

void guided_filter_reference(const double* p, const double* guide, int64_t rows, int64_t cols, int64_t slices,
                             int64_t radius, double epsilon, double* q) {
  const int64_t n = rows * cols;
  if (n <= 0) return;
  const Map G(guide, guide + n);
  Map GG(n);
  for (int64_t i = 0; i < n; ++i) GG[i] = G[i] * G[i];
  const Map mI = box(G, rows, cols, radius);
  const Map corrI = box(GG, rows, cols, radius);
  Map vI(n);
  for (int64_t i = 0; i < n; ++i) {
    vI[i] = corrI[i] - mI[i] * mI[i];
    if (vI[i] < 0.0) vI[i] = 0.0;
  }
  for (int64_t s = 0; s < slices; ++s) {
    const double* ps = p + s * n;
    double* qs = q + s * n;
    Map P(n), GP(n);
    for (int64_t i = 0; i < n; ++i) {
      P[i] = std::isfinite(ps[i]) ? ps[i] : 0.0;
      GP[i] = G[i] * P[i];
    }
    const Map mP = box(P, rows, cols, radius);
    const Map corrIP = box(GP, rows, cols, radius);
    Map a(n), b(n);
    for (int64_t i = 0; i < n; ++i) {
      const double cIP = corrIP[i] - mI[i] * mP[i];
      a[i] = cIP / (vI[i] + epsilon);
      b[i] = mP[i] - a[i] * mI[i];
    }
    const Map ma = box(a, rows, cols, radius);
    const Map mb = box(b, rows, cols, radius);
    for (int64_t i = 0; i < n; ++i) qs[i] = ma[i] * G[i] + mb[i];
    // A non-finite value reaches a and b within the radius, and those reach
    // q within the radius again.
    for (int64_t c = 0; c < cols; ++c)
      for (int64_t i = 0; i < rows; ++i)
        for (int64_t c2 = std::max<int64_t>(c - 2 * radius, 0); c2 <= std::min(c + 2 * radius, cols - 1); ++c2)
          for (int64_t i2 = std::max<int64_t>(i - 2 * radius, 0); i2 <= std::min(i + 2 * radius, rows - 1); ++i2)
            if (!std::isfinite(ps[c2 * rows + i2])) qs[c * rows + i] = std::numeric_limits<double>::quiet_NaN();
  }
}
