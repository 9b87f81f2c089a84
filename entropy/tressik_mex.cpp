// tressik(cols, rows, C, ignored, source, ignored, map0, map1, map2): writes
// the angular entropy of every pixel in plane k into map_k, in place.
#include <cstdio>

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
  char lf[160], mp[160];
  std::snprintf(lf, sizeof lf, "(rows*C) x (cols*C) x 3 with rows = %u, cols = %u, C = %u", rows, cols, C);
  std::snprintf(mp, sizeof mp, "rows x cols with rows = %u, cols = %u", rows, cols);
  const InputRef source{prhs[4], 5, "source"}, map0{prhs[6], 7, "map0"}, map1{prhs[7], 8, "map1"},
      map2{prhs[8], 9, "map2"};
  const uint64_t pixels = saturating_product({rows, cols});
  const double* s = double_array(m, source, rlf_elements(rows, cols, C), lf);
  double* out0 = double_array(m, map0, pixels, mp);
  double* out1 = double_array(m, map1, pixels, mp);
  double* out2 = double_array(m, map2, pixels, mp);
  check_disjoint(m, {map0, map1, map2}, {source});
  const int64_t bad = first_sample_out_of_range(s, rows, cols, C, kTruncatedBinRange);
  if (bad >= 0)
    reject_sample(m, source, {s, rows, cols, C}, bad,
                  "whose single-precision value lies strictly between -1 and 256");
  angular_entropy_channels(s, out0, out1, out2, cols, rows, C);
}
