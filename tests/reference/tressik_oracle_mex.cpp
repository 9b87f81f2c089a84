// Test-only binding of the literal per-plane entropy, with tressik's inputs
// and no checks at all: the torture test calls it on valid calls only.
#include "common/scalar_arg.h"
#include "mex.h"
#include "tests/reference/entropy_reference.h"

void mexFunction(int, mxArray*[], int nrhs, const mxArray* prhs[]) {
  if (nrhs != 9) mexErrMsgIdAndTxt("tressik_oracle:inputCount", "tressik_oracle takes tressik's nine inputs.");
  auto size = [&](int i) { return scalar_arg<uint16_t>(mxGetScalar(prhs[i])); };
  angular_entropy_channels_reference(mxGetPr(prhs[4]), mxGetPr(prhs[6]), mxGetPr(prhs[7]), mxGetPr(prhs[8]),
                                     size(0), size(1), size(2));
}
