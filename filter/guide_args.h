// The guided filter's arguments (guide, radius, epsilon) as every entry that
// filters checks them: the same error kinds and messages, at the positions
// the entry gives them.
#pragma once

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdint>

#include "common/mex_args.h"
#include "mex.h"

struct GuideArgs {
  const double* guide;
  int64_t radius;
  double epsilon;
};

// prhs[at], prhs[at + 1], prhs[at + 2]: a finite rows x cols double guide, a
// whole radius >= 0 and an epsilon > 0; `cost` names the filtered input.
inline GuideArgs check_guide_args(const char* m, const mxArray* const* prhs, int at, int64_t rows, int64_t cols,
                                  const char* cost) {
  const mxArray* G = prhs[at];
  check_double(m, {G, at + 1, "G"}, "badArray", "array");
  if (mxGetNumberOfDimensions(G) != 2 || static_cast<int64_t>(mxGetM(G)) != rows ||
      static_cast<int64_t>(mxGetN(G)) != cols)
    raise_error(m, "badSize", "input %d (G) must be %" PRId64 " x %" PRId64 " (the rows and columns of %s), got %"
                PRIu64 " x %" PRIu64 "%s.", at + 1, rows, cols, cost, static_cast<uint64_t>(mxGetDimensions(G)[0]),
                static_cast<uint64_t>(mxGetDimensions(G)[1]), mxGetNumberOfDimensions(G) > 2 ? " x ..." : "");
  check_finite(m, {G, at + 1, "G"}, rows, rows * cols);

  char shown[32];
  const double radius = single_value(m, {prhs[at + 1], at + 2, "radius"});
  if (!(radius >= 0.0 && radius < HUGE_VAL) || std::floor(radius) != radius) {
    show_value(radius, shown, sizeof shown);
    raise_error(m, "badRadius", "input %d (radius) must be a finite whole number of at least 0, got %s.", at + 2,
                shown);
  }
  const double epsilon = single_value(m, {prhs[at + 2], at + 3, "epsilon"});
  if (!(epsilon > 0.0 && epsilon < HUGE_VAL)) {
    show_value(epsilon, shown, sizeof shown);
    raise_error(m, "badEpsilon", "input %d (epsilon) must be a finite number above 0, got %s.", at + 3, shown);
  }
  // Every window covers the whole image long before this radius.
  return {mxGetPr(G), static_cast<int64_t>(std::min(radius, 9007199254740992.0)), epsilon};
}
