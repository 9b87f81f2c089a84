// E = lf_shrunk_entropy_sweep(R, C, k, shifts, 'Threads', N): the entropy
// sweep of R with each view keeping one pixel in k along each side, as a new
// array, without a shrunk copy of R. Every error is raised here.
#include <cinttypes>
#include <cmath>
#include <new>

#include "common/large_pages.h"
#include "common/mex_args.h"
#include "mex.h"
#include "sweep/shrunk_entropy_sweep.h"
#include "sweep/sweep_args.h"

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  const char* m = "lf_shrunk_entropy_sweep";
  if (nrhs != 4 && nrhs != 6)
    raise_error(m, "inputCount", "expected 4 inputs (R, C, k, shifts) or 6 (R, C, k, shifts, 'Threads', N), got %d.",
                nrhs);
  if (nlhs > 1) raise_error(m, "outputCount", "expected at most 1 output (E), got %d.", nlhs);

  const SweepGrid grid = check_sweep_field(m, prhs[0], prhs[1]);
  const int64_t C = grid.C;
  const mxArray* factor = prhs[2];
  if (mxGetNumberOfElements(factor) > 1)
    raise_error(m, "badScalar", "input 3 (shrink factor k) must be one number, got %" PRIu64 " elements.",
                static_cast<uint64_t>(mxGetNumberOfElements(factor)));
  const double k_value = scalar_value(m, {factor, 3, "shrink factor k"});
  if (!(k_value >= 1.0 && k_value <= 65535.0) || std::floor(k_value) != k_value) {
    char text[32];
    show_value(k_value, text, sizeof text);
    raise_error(m, "shrinkFactor", "input 3 (shrink factor k) must be a whole number from 1 to 65535, got %s.", text);
  }
  const int64_t k = static_cast<int64_t>(k_value);
  const int64_t rows = grid.rows / k, cols = grid.cols / k;
  const mxArray* shift_array = prhs[3];
  const int64_t n = check_sweep_shifts(m, shift_array, 4);
  const int threads = nrhs == 6 ? static_cast<int>(whole_option(m, {prhs[4], 5, "option name"},
                                                                 {prhs[5], 6, "'Threads'"}, "Threads", 1, 1024))
                                 : available_threads();

  // Every element is written, so the host need not clear it first; large
  // pages, as the sweep's outputs.
  mwSize dims[3] = {static_cast<mwSize>(rows), static_cast<mwSize>(cols), static_cast<mwSize>(n)};
  mxArray* E = mxCreateUninitNumericArray(3, dims, mxDOUBLE_CLASS, mxREAL);
  if (!E)
    raise_error(m, "outOfMemory", "the output (%" PRId64 " x %" PRId64 " x %" PRId64 " maps) does not fit in memory.",
                rows, cols, n);
  advise_large_pages(mxGetPr(E), static_cast<size_t>(rows * cols * n) * sizeof(double));

  SweepFault fault{-1, 0, 0.0};
  bool out_of_memory = false;
  try {
    fault = shrunk_entropy_sweep(best_path({VectorPath::portable, VectorPath::sse2, VectorPath::avx2,
                                            VectorPath::avx512, VectorPath::neon}),
                                 mxGetPr(prhs[0]), grid.rows, grid.cols, C, k, mxGetPr(shift_array), n, mxGetPr(E),
                                 threads);
  } catch (const std::bad_alloc&) {
    out_of_memory = true;
  }
  if (out_of_memory || fault.shift >= 0) mxDestroyArray(E);
  if (out_of_memory) raise_error(m, "outOfMemory", "no memory for the strip buffers.");
  if (fault.shift >= 0) raise_sweep_fault(m, fault, mxGetPr(shift_array), rows, cols, C);
  plhs[0] = E;
}
