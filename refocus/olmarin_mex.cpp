// olmarin(cols, rows, C, D, source, destination, image, alpha): refocuses a
// remapped light field into `destination` and `image`, in place.
#include "common/mex_args.h"
#include "common/scalar_arg.h"
#include "mex.h"
#include "refocus/refocus_remapped.h"

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  (void)plhs;
  const char* m = "olmarin";
  check_counts(m, nlhs, nrhs, 8, "Eight input arguments required.");
  const uint16_t cols = scalar_arg<uint16_t>(scalar_value(m, {prhs[0], 1, "cols"}));
  const uint16_t rows = scalar_arg<uint16_t>(scalar_value(m, {prhs[1], 2, "rows"}));
  const uint16_t C = scalar_arg<uint16_t>(scalar_value(m, {prhs[2], 3, "angular size C"}));
  const uint16_t D = scalar_arg<uint16_t>(scalar_value(m, {prhs[3], 4, "angular radius D"}));
  const double alpha = scalar_value(m, {prhs[7], 8, "alpha"});
  // The kernel visits block positions 0 .. 2D; a smaller block reaches past the arrays.
  if (C < 2 * D + 1)
    raise_error(m, "angularSizeTooSmall",
                "input 3 (angular size C) must be at least 2*D + 1 = %d for input 4 (angular radius D) = %d, got %d.",
                2 * D + 1, D, C);
  const InputRef source{prhs[4], 5, "source"}, destination{prhs[5], 6, "destination"},
      image{prhs[6], 7, "image"};
  const double* s = light_field_array(m, source, rows, cols, C);
  double* t = light_field_array(m, destination, rows, cols, C);
  double* i = grid_array(m, image, rows, cols, 3);
  check_disjoint(m, {destination, image}, {source});
  refocus_remapped(s, t, i, cols, rows, C, D, alpha);
}
