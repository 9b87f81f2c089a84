// tressik(cols, rows, C, ignored, source, ignored, map0, map1, map2): writes
// the angular entropy of every pixel in plane k into map_k, in place.
#include <cstring>

#include "common/mex_args.h"
#include "common/remapped_light_field.h"
#include "common/scalar_arg.h"
#include "entropy/plane_entropy.h"
#include "entropy/sample_range.h"
#include "entropy/tressik_kernel.h"
#include "mex.h"

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  (void)plhs;
  const char* m = "tressik";
  check_counts(m, nlhs, nrhs, 9, "Nine input arguments required.");
  // Inputs 4 and 6 have no effect and are never looked at.
  const uint16_t cols = scalar_arg<uint16_t>(scalar_value(m, {prhs[0], 1, "cols"}));
  const uint16_t rows = scalar_arg<uint16_t>(scalar_value(m, {prhs[1], 2, "rows"}));
  const uint16_t C = scalar_arg<uint16_t>(scalar_value(m, {prhs[2], 3, "angular size C"}));
  const InputRef source{prhs[4], 5, "source"}, map0{prhs[6], 7, "map0"}, map1{prhs[7], 8, "map1"},
      map2{prhs[8], 9, "map2"};
  const double* s = light_field_array(m, source, rows, cols, C);
  double* const out[3] = {grid_array(m, map0, rows, cols, 1), grid_array(m, map1, rows, cols, 1),
                          grid_array(m, map2, rows, cols, 1)};
  check_disjoint(m, {map0, map1, map2}, {source});
  // The kernel checks the samples as it reads them, so it writes into working
  // memory; the caller's maps change only once every sample has passed.
  const int64_t pixels = int64_t{rows} * cols;
  double* work = working_doubles(m, 3 * pixels);
  if (!angular_entropy_channels(s, work, work + pixels, work + 2 * pixels, cols, rows, C)) {
    if (work != nullptr) mxFree(work);
    reject_sample(m, source, {s, rows, cols, C}, first_sample_out_of_range(s, rows, cols, C, kTruncatedBinRange),
                  "whose single-precision value lies strictly between -1 and 256");
  }
  for (int k = 0; k < 3 && pixels > 0; ++k)
    std::memcpy(out[k], work + k * pixels, static_cast<size_t>(pixels) * sizeof(double));
  if (work != nullptr) mxFree(work);
}
