// lf_copy_floor(source, destination): copies the doubles of source into
// destination in place, as olmarin writes its destination: the memory floor
// that bench_modules.m times olmarin against. Benchmark only, never installed.
#include <cstring>

#include "mex.h"

void mexFunction(int nlhs, mxArray* [], int nrhs, const mxArray* prhs[]) {
  if (nrhs != 2 || nlhs != 0)
    mexErrMsgIdAndTxt("lf_copy_floor:inputCount", "lf_copy_floor: expected 2 inputs and no output.");
  for (int i = 0; i < 2; ++i)
    if (!mxIsDouble(prhs[i]) || mxIsComplex(prhs[i]) || mxIsSparse(prhs[i]))
      mexErrMsgIdAndTxt("lf_copy_floor:badArray", "lf_copy_floor: input %d must be a real full double array.", i + 1);
  const size_t n = mxGetNumberOfElements(prhs[0]);
  if (mxGetNumberOfElements(prhs[1]) != n || mxGetPr(prhs[0]) == mxGetPr(prhs[1]))
    mexErrMsgIdAndTxt("lf_copy_floor:badDestination",
                      "lf_copy_floor: input 2 must be a separate array of as many elements as input 1.");
  if (n > 0) std::memcpy(mxGetPr(prhs[1]), mxGetPr(prhs[0]), n * sizeof(double));
}
