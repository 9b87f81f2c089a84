// Test-only binding of the literal refocus implementation, with olmarin's
// inputs and no checks at all: the torture test calls it on valid calls only.
#include "common/scalar_arg.h"
#include "mex.h"
#include "tests/reference/refocus_reference.h"

void mexFunction(int, mxArray*[], int nrhs, const mxArray* prhs[]) {
  if (nrhs != 8) mexErrMsgIdAndTxt("olmarin_oracle:inputCount", "olmarin_oracle takes olmarin's eight inputs.");
  auto size = [&](int i) { return scalar_arg<uint16_t>(mxGetScalar(prhs[i])); };
  refocus_reference(mxGetPr(prhs[4]), mxGetPr(prhs[5]), mxGetPr(prhs[6]), size(0), size(1), size(2), size(3),
                    mxGetScalar(prhs[7]));
}
