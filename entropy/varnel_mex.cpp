// varnel(cols, rows, C, ignored, ignored, source, map): writes the mean of the
// three plane entropies of every pixel into `map`, in place.
#include <cstring>

#include "common/mex_args.h"
#include "common/remapped_light_field.h"
#include "common/scalar_arg.h"
#include "entropy/plane_entropy.h"
#include "entropy/sample_range.h"
#include "entropy/varnel_kernel.h"
#include "mex.h"

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  (void)plhs;
  const char* m = "varnel";
  check_counts(m, nlhs, nrhs, 7, "Seven input arguments required.");
  // Inputs 4 and 5 have no effect and are never looked at.
  const int32_t cols = scalar_arg<int32_t>(scalar_value(m, {prhs[0], 1, "cols"}));
  const int32_t rows = scalar_arg<int32_t>(scalar_value(m, {prhs[1], 2, "rows"}));
  const int32_t C = scalar_arg<int32_t>(scalar_value(m, {prhs[2], 3, "angular size C"}));
  const InputRef source{prhs[5], 6, "source"}, map{prhs[6], 7, "map"};
  const double* s = light_field_array(m, source, rows, cols, C);
  double* out = grid_array(m, map, rows, cols, 1);
  check_disjoint(m, {map}, {source});
  // The kernel checks the samples as it reads them, so it writes into working
  // memory; the caller's map changes only once every sample has passed.
  const int64_t pixels = rows > 0 && cols > 0 ? int64_t{rows} * cols : 0;
  double* work = working_doubles(m, pixels);
  if (!angular_entropy_mean(s, work, cols, rows, C)) {
    if (work != nullptr) mxFree(work);
    reject_sample(m, source, {s, rows, cols, C}, first_sample_out_of_range(s, rows, cols, C, kRoundedBinRange),
                  "whose single-precision value lies strictly between -0.5 and 255.5");
  }
  if (pixels > 0) std::memcpy(out, work, static_cast<size_t>(pixels) * sizeof(double));
  if (work != nullptr) mxFree(work);
}
