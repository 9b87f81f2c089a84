// Test-only binding of the literal channel-averaged entropy, with varnel's
// inputs and no checks at all: the torture test calls it on valid calls only.
#include "common/scalar_arg.h"
#include "mex.h"
#include "tests/reference/entropy_reference.h"

void mexFunction(int, mxArray*[], int nrhs, const mxArray* prhs[]) {
  if (nrhs != 7) mexErrMsgIdAndTxt("varnel_oracle:inputCount", "varnel_oracle takes varnel's seven inputs.");
  auto size = [&](int i) { return scalar_arg<int32_t>(mxGetScalar(prhs[i])); };
  const int32_t cols = size(0), rows = size(1), C = size(2);
  if (rows <= 0 || cols <= 0) return;
  // C <= 0 leaves every histogram empty, so every pixel scores -0 whatever
  // C^2 is; C = 0 gives that without the 32-bit C^2 that a large negative C
  // would overflow.
  angular_entropy_mean_reference(mxGetPr(prhs[5]), mxGetPr(prhs[6]), cols, rows, C > 0 ? C : 0);
}
