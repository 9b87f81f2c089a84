// Test-only binding of the literal guided filter, with lf_guided_filter's
// inputs and no checks at all: the torture test calls it on valid calls only.
#include <algorithm>
#include <cstdint>

#include "mex.h"
#include "tests/reference/guided_filter_reference.h"

void mexFunction(int, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  if (nrhs != 4) mexErrMsgIdAndTxt("lf_guided_filter_oracle:inputCount", "lf_guided_filter_oracle takes four inputs.");
  const mwSize ndims = mxGetNumberOfDimensions(prhs[0]);
  const mwSize* dims = mxGetDimensions(prhs[0]);
  const int64_t slices = ndims == 3 ? static_cast<int64_t>(dims[2]) : 1;
  // Radii beyond the image all give whole-image windows; this one keeps
  // the literal loops short.
  const double radius = std::min(mxGetScalar(prhs[2]), 1e6);
  plhs[0] = mxCreateNumericArray(ndims, dims, mxDOUBLE_CLASS, mxREAL);
  guided_filter_reference(mxGetPr(prhs[0]), mxGetPr(prhs[1]), static_cast<int64_t>(dims[0]),
                          static_cast<int64_t>(dims[1]), slices, static_cast<int64_t>(radius), mxGetScalar(prhs[3]),
                          mxGetPr(plhs[0]));
}
