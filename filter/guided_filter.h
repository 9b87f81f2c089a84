// The guided filter with a grey guide, applied to every slice of a cost
// volume: box means by running sums, so that the cost per pixel does not
// depend on the radius; slices shared out over threads. Host-free.
#pragma once

#include <cstdint>

// For every slice s < slices, q[.. + s*rows*cols] (rows x cols, column-major)
// is p's slice filtered with the guide:
//   mI = box(G), mP = box(P), cIP = box(G.*P) - mI.*mP,
//   vI = max(box(G.*G) - mI.*mI, 0), a = cIP ./ (vI + epsilon),
//   b = mP - a.*mI, Q = box(a).*G + box(b),
// box(x) being the window sum over (2*radius+1)^2 pixels clipped at the
// border, divided by the clipped window's pixel count. Window sums are the
// running sums of guided_filter.cpp, in its order; a non-finite p value is
// summed as 0 and makes NaN every q of its slice within 2*radius rows and
// columns. Requires a finite guide, epsilon > 0, radius >= 0, threads >= 1;
// q must not overlap p or the guide. The results do not depend on the thread
// count. Throws std::bad_alloc, on the calling thread, when the working
// memory cannot be had, and rethrows there anything a worker thread threw.
void guided_filter(const double* p, const double* guide, int64_t rows, int64_t cols, int64_t slices, int64_t radius,
                   double epsilon, double* q, int threads);
