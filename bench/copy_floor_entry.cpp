// lf_copy_floor(source, destination): copies the doubles of source into
// destination in place, as olmarin writes its destination: the memory floor
// that bench_modules.m times olmarin against.
// total = lf_copy_floor(source): sums the doubles of source in eight running
// sums, so that memory and not the additions sets the pace: a plain read of
// the input, the floor of varnel and tressik. Benchmark only, never installed.
#include <cstring>

#include "mex.h"

namespace {

void check_array(const mxArray* a, int position) {
  if (!mxIsDouble(a) || mxIsComplex(a) || mxIsSparse(a))
    mexErrMsgIdAndTxt("lf_copy_floor:badArray", "lf_copy_floor: input %d must be a real full double array.", position);
}

double plain_read(const double* p, size_t n) {
  double sums[8] = {};
  size_t i = 0;
  for (; i + 8 <= n; i += 8)
    for (int j = 0; j < 8; ++j) sums[j] += p[i + j];
  for (; i < n; ++i) sums[0] += p[i];
  return ((sums[0] + sums[1]) + (sums[2] + sums[3])) + ((sums[4] + sums[5]) + (sums[6] + sums[7]));
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  if (!((nrhs == 2 && nlhs == 0) || (nrhs == 1 && nlhs <= 1)))
    mexErrMsgIdAndTxt("lf_copy_floor:inputCount",
                      "lf_copy_floor: expected 2 inputs and no output, or 1 input and at most 1 output.");
  for (int i = 0; i < nrhs; ++i) check_array(prhs[i], i + 1);
  const size_t n = mxGetNumberOfElements(prhs[0]);
  if (nrhs == 1) {
    plhs[0] = mxCreateDoubleScalar(plain_read(mxGetPr(prhs[0]), n));
    return;
  }
  if (mxGetNumberOfElements(prhs[1]) != n || mxGetPr(prhs[0]) == mxGetPr(prhs[1]))
    mexErrMsgIdAndTxt("lf_copy_floor:badDestination",
                      "lf_copy_floor: input 2 must be a separate array of as many elements as input 1.");
  if (n > 0) std::memcpy(mxGetPr(prhs[1]), mxGetPr(prhs[0]), n * sizeof(double));
}
