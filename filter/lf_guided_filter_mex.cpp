// Q = lf_guided_filter(P, G, radius, epsilon): every slice of P filtered with
// the guide G, as a new array. Every error is raised here, on the calling
// thread.
#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <new>
#include <thread>

#include "common/mex_args.h"
#include "filter/guided_filter.h"
#include "mex.h"

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  const char* m = "lf_guided_filter";
  if (nrhs != 4) raise_error(m, "inputCount", "expected 4 inputs (P, G, radius, epsilon), got %d.", nrhs);
  if (nlhs > 1) raise_error(m, "outputCount", "expected at most 1 output (Q), got %d.", nlhs);

  char cls[64];
  const mxArray* P = prhs[0];
  if (!is_real_full_double(P))
    raise_error(m, "badArray", "input 1 (P) must be a real full double array, got a %s array.",
                describe_class(P, cls, sizeof cls));
  const mwSize ndims = mxGetNumberOfDimensions(P);
  const mwSize* dims = mxGetDimensions(P);
  if (ndims > 3)
    raise_error(m, "badSize", "input 1 (P) must be rows x cols x S, got an array of %" PRIu64 " dimensions.",
                static_cast<uint64_t>(ndims));
  const int64_t rows = static_cast<int64_t>(dims[0]), cols = static_cast<int64_t>(dims[1]);
  const int64_t slices = ndims == 3 ? static_cast<int64_t>(dims[2]) : 1;

  const mxArray* G = prhs[1];
  if (!is_real_full_double(G))
    raise_error(m, "badArray", "input 2 (G) must be a real full double array, got a %s array.",
                describe_class(G, cls, sizeof cls));
  if (mxGetNumberOfDimensions(G) != 2 || static_cast<int64_t>(mxGetM(G)) != rows ||
      static_cast<int64_t>(mxGetN(G)) != cols)
    raise_error(m, "badSize", "input 2 (G) must be %" PRId64 " x %" PRId64 " (the rows and columns of P), got %"
                PRIu64 " x %" PRIu64 "%s.", rows, cols, static_cast<uint64_t>(mxGetDimensions(G)[0]),
                static_cast<uint64_t>(mxGetDimensions(G)[1]), mxGetNumberOfDimensions(G) > 2 ? " x ..." : "");
  check_finite(m, {G, 2, "G"}, rows, rows * cols);

  char shown[32];
  const double radius = single_value(m, {prhs[2], 3, "radius"});
  if (!(radius >= 0.0 && radius < HUGE_VAL) || std::floor(radius) != radius) {
    show_value(radius, shown, sizeof shown);
    raise_error(m, "badRadius", "input 3 (radius) must be a finite whole number of at least 0, got %s.", shown);
  }
  const double epsilon = single_value(m, {prhs[3], 4, "epsilon"});
  if (!(epsilon > 0.0 && epsilon < HUGE_VAL)) {
    show_value(epsilon, shown, sizeof shown);
    raise_error(m, "badEpsilon", "input 4 (epsilon) must be a finite number above 0, got %s.", shown);
  }
  // Every window covers the whole image long before this radius.
  const int64_t r = static_cast<int64_t>(std::min(radius, 9007199254740992.0));

  mxArray* Q = mxCreateUninitNumericArray(ndims, const_cast<mwSize*>(dims), mxDOUBLE_CLASS, mxREAL);
  if (!Q)
    raise_error(m, "outOfMemory", "the output (%" PRId64 " x %" PRId64 " x %" PRId64 ") does not fit in memory.",
                rows, cols, slices);
  const unsigned hardware = std::thread::hardware_concurrency();
  const int threads = static_cast<int>(std::max<int64_t>(1, std::min<int64_t>(hardware, slices)));
  const char* failure = nullptr;
  try {
    guided_filter(mxGetPr(P), mxGetPr(G), rows, cols, slices, r, epsilon, mxGetPr(Q), threads);
  } catch (const std::bad_alloc&) {
    failure = "outOfMemory";
  } catch (...) {
    failure = "internal";
  }
  if (failure) {
    mxDestroyArray(Q);
    raise_error(m, failure, "%s", failure[0] == 'o' ? "no memory for the working buffers."
                                                    : "a worker thread failed unexpectedly.");
  }
  plhs[0] = Q;
}
