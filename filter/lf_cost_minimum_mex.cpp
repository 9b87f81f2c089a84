// [D, conf] = lf_cost_minimum(E, shifts, refine[, G, radius, epsilon]): the
// refined shift of least cost per pixel and its confidence, as new maps, of E
// or of E guided-filtered; E is only read, and the filtered volume stays here.
#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <memory>
#include <new>
#include <thread>

#include "common/mex_args.h"
#include "filter/cost_minimum.h"
#include "filter/guide_args.h"
#include "filter/guided_filter.h"
#include "mex.h"

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  const char* m = "lf_cost_minimum";
  if (nrhs < 2 || nrhs == 4 || nrhs == 5 || nrhs > 6)
    raise_error(m, "inputCount", "expected 2, 3 or 6 inputs (E, shifts, refine, G, radius, epsilon), got %d.", nrhs);
  if (nlhs > 2) raise_error(m, "outputCount", "expected at most 2 outputs (D, conf), got %d.", nlhs);

  const mxArray* E = prhs[0];
  check_double(m, {E, 1, "E"}, "badArray", "array");
  const mxArray* S = prhs[1];
  check_double(m, {S, 2, "shifts"}, "badArray", "vector");
  const int64_t n = static_cast<int64_t>(mxGetNumberOfElements(S));
  if (n < 1 || mxGetNumberOfDimensions(S) != 2 || (mxGetM(S) != 1 && mxGetN(S) != 1))
    raise_error(m, "badShifts", "input 2 (shifts) must be a vector of at least one shift, got %" PRIu64 " x %"
                PRIu64 "%s.", static_cast<uint64_t>(mxGetDimensions(S)[0]),
                static_cast<uint64_t>(mxGetDimensions(S)[1]), mxGetNumberOfDimensions(S) > 2 ? " x ..." : "");
  check_finite(m, {S, 2, "shifts"}, static_cast<int64_t>(mxGetM(S)), n);

  const mwSize ndims = mxGetNumberOfDimensions(E);
  const mwSize* dims = mxGetDimensions(E);
  const int64_t rows = static_cast<int64_t>(dims[0]), cols = static_cast<int64_t>(dims[1]);
  const int64_t slices = ndims == 3 ? static_cast<int64_t>(dims[2]) : 1;
  if (ndims > 3 || slices != n)
    raise_error(m, "badSize", "input 1 (E) must be rows x cols x %" PRId64 " (one slice per shift), got %" PRIu64
                " x %" PRIu64 " x %" PRId64 "%s.", n, static_cast<uint64_t>(dims[0]),
                static_cast<uint64_t>(dims[1]), ndims >= 3 ? static_cast<int64_t>(dims[2]) : int64_t{1},
                ndims > 3 ? " x ..." : "");
  const double* e = mxGetPr(E);
  for (int64_t i = 0, count = rows * cols * n; i < count; ++i) {
    if (std::isfinite(e[i])) continue;
    char shown[32];
    show_value(e[i], shown, sizeof shown);
    raise_error(m, "nonFinite", "input 1 (E) must hold finite values, got %s at row %" PRId64 ", column %" PRId64
                ", slice %" PRId64 " (1-based).", shown, i % rows + 1, i / rows % cols + 1, i / (rows * cols) + 1);
  }

  bool refine = true;
  if (nrhs >= 3) {
    const double r = single_value(m, {prhs[2], 3, "refine"});
    if (r != 0.0 && r != 1.0) {
      char shown[32];
      show_value(r, shown, sizeof shown);
      raise_error(m, "badRefine", "input 3 (refine) must be true or false (1 or 0), got %s.", shown);
    }
    refine = r != 0.0;
  }

  GuideArgs guide{nullptr, 0, 1.0};
  if (nrhs == 6) guide = check_guide_args(m, prhs, 3, rows, cols, "E");

  // Not a host array: the host would copy it on return, and it is not returned.
  std::unique_ptr<double[]> filtered;
  const double* cost = e;
  if (nrhs == 6 && rows * cols * n > 0) {
    const char* failure = nullptr;
    try {
      filtered.reset(new double[static_cast<size_t>(rows * cols * n)]);
      const unsigned hardware = std::thread::hardware_concurrency();
      const int threads = static_cast<int>(std::max<int64_t>(1, std::min<int64_t>(hardware, n)));
      guided_filter(e, guide.guide, rows, cols, n, guide.radius, guide.epsilon, filtered.get(), threads);
    } catch (const std::bad_alloc&) {
      failure = "outOfMemory";
    } catch (...) {
      failure = "internal";
    }
    if (failure) {
      filtered.reset();
      raise_error(m, failure, "%s", failure[0] == 'o' ? "no memory for the filtered costs."
                                                      : "a worker thread failed unexpectedly.");
    }
    cost = filtered.get();
    // Finite costs of extreme size can overflow the filter's sums; the
    // minimum of a NaN is not defined.
    for (int64_t i = 0, count = rows * cols * n; i < count; ++i) {
      if (std::isfinite(cost[i])) continue;
      filtered.reset();
      raise_error(m, "nonFinite", "input 1 (E) overflows the filter: its filtered slice %" PRId64
                  " is not finite at row %" PRId64 ", column %" PRId64 " (1-based); scale E down.",
                  i / (rows * cols) + 1, i % rows + 1, i / rows % cols + 1);
    }
  }

  mxArray* D = mxCreateUninitNumericMatrix(static_cast<mwSize>(rows), static_cast<mwSize>(cols), mxDOUBLE_CLASS, mxREAL);
  mxArray* conf = nlhs > 1 ? mxCreateUninitNumericMatrix(static_cast<mwSize>(rows), static_cast<mwSize>(cols),
                                                         mxDOUBLE_CLASS, mxREAL)
                           : nullptr;
  if (!D || (nlhs > 1 && !conf)) {
    filtered.reset();
    raise_error(m, "outOfMemory", "the outputs (%" PRId64 " x %" PRId64 ") do not fit in memory.", rows, cols);
  }
  try {
    cost_minimum(cost, mxGetPr(S), rows, cols, n, refine, mxGetPr(D), conf ? mxGetPr(conf) : nullptr);
  } catch (const std::bad_alloc&) {
    filtered.reset();
    mxDestroyArray(D);
    if (conf) mxDestroyArray(conf);
    raise_error(m, "outOfMemory", "%s", "no memory for the working maps.");
  }
  plhs[0] = D;
  if (conf) plhs[1] = conf;
}
