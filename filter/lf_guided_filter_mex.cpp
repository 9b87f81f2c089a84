// Q = lf_guided_filter(P, G, radius, epsilon): every slice of P filtered with
// the guide G, as a new array. Every error is raised here, on the calling
// thread.
#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <new>
#include <thread>

#include "common/mex_args.h"
#include "filter/guide_args.h"
#include "filter/guided_filter.h"
#include "mex.h"

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  const char* m = "lf_guided_filter";
  if (nrhs != 4) raise_error(m, "inputCount", "expected 4 inputs (P, G, radius, epsilon), got %d.", nrhs);
  if (nlhs > 1) raise_error(m, "outputCount", "expected at most 1 output (Q), got %d.", nlhs);

  const mxArray* P = prhs[0];
  check_double(m, {P, 1, "P"}, "badArray", "array");
  const mwSize ndims = mxGetNumberOfDimensions(P);
  const mwSize* dims = mxGetDimensions(P);
  if (ndims > 3)
    raise_error(m, "badSize", "input 1 (P) must be rows x cols x S, got an array of %" PRIu64 " dimensions.",
                static_cast<uint64_t>(ndims));
  const int64_t rows = static_cast<int64_t>(dims[0]), cols = static_cast<int64_t>(dims[1]);
  const int64_t slices = ndims == 3 ? static_cast<int64_t>(dims[2]) : 1;

  const GuideArgs guide = check_guide_args(m, prhs, 1, rows, cols, "P");

  mxArray* Q = mxCreateUninitNumericArray(ndims, const_cast<mwSize*>(dims), mxDOUBLE_CLASS, mxREAL);
  if (!Q)
    raise_error(m, "outOfMemory", "the output (%" PRId64 " x %" PRId64 " x %" PRId64 ") does not fit in memory.",
                rows, cols, slices);
  const unsigned hardware = std::thread::hardware_concurrency();
  const int threads = static_cast<int>(std::max<int64_t>(1, std::min<int64_t>(hardware, slices)));
  const char* failure = nullptr;
  try {
    guided_filter(mxGetPr(P), guide.guide, rows, cols, slices, guide.radius, guide.epsilon, mxGetPr(Q), threads);
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
