// tressik(cols, rows, C, ignored, source, ignored, map0, map1, map2): writes
// the angular entropy of every pixel in plane k into map_k, in place.
#include "common/mex_args.h"
#include "common/remapped_light_field.h"
#include "common/scalar_arg.h"
#include "entropy/angular_entropy_channels.h"
#include "entropy/sample_range.h"
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
  double* out0 = grid_array(m, map0, rows, cols, 1);
  double* out1 = grid_array(m, map1, rows, cols, 1);
  double* out2 = grid_array(m, map2, rows, cols, 1);
  check_disjoint(m, {map0, map1, map2}, {source});
  const int64_t bad = first_sample_out_of_range(s, rows, cols, C, kTruncatedBinRange);
  if (bad >= 0)
    reject_sample(m, source, {s, rows, cols, C}, bad,
                  "whose single-precision value lies strictly between -1 and 256");
  angular_entropy_channels(s, out0, out1, out2, cols, rows, C);
}
