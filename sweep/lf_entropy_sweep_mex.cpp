// [E, images] = lf_entropy_sweep(R, C, shifts, 'Threads', N): the channel-
// averaged angular entropy of R refocused at every shift, and the refocused
// images, as new arrays. Every error is raised here, on the calling thread.
#include <cinttypes>
#include <new>

#include "common/large_pages.h"
#include "common/mex_args.h"
#include "mex.h"
#include "sweep/entropy_sweep.h"
#include "sweep/sweep_args.h"

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  const char* m = "lf_entropy_sweep";
  if (nrhs != 3 && nrhs != 5)
    raise_error(m, "inputCount", "expected 3 inputs (R, C, shifts) or 5 (R, C, shifts, 'Threads', N), got %d.", nrhs);
  if (nlhs > 2) raise_error(m, "outputCount", "expected at most 2 outputs (E, images), got %d.", nlhs);

  const SweepGrid grid = check_sweep_field(m, prhs[0], prhs[1]);
  const int64_t rows = grid.rows, cols = grid.cols, C = grid.C;
  const mxArray* R = prhs[0];
  const mxArray* shift_array = prhs[2];
  const int64_t n = check_sweep_shifts(m, shift_array, 3);
  const int threads = nrhs == 5 ? static_cast<int>(whole_option(m, {prhs[3], 4, "option name"},
                                                                 {prhs[4], 5, "'Threads'"}, "Threads", 1, 1024))
                                 : available_threads();

  // The sweep writes every element of both outputs, so the host need not clear
  // them first: on a virtual machine, touching a fresh page costs more than
  // writing it, and the host's clearing touched every page of the outputs.
  // Their pages are asked for large, for the same reason.
  mwSize entropy_dims[3] = {static_cast<mwSize>(rows), static_cast<mwSize>(cols), static_cast<mwSize>(n)};
  mwSize image_dims[4] = {static_cast<mwSize>(rows), static_cast<mwSize>(cols), 3, static_cast<mwSize>(n)};
  mxArray* E = mxCreateUninitNumericArray(3, entropy_dims, mxDOUBLE_CLASS, mxREAL);
  mxArray* images = nlhs >= 2 ? mxCreateUninitNumericArray(4, image_dims, mxDOUBLE_CLASS, mxREAL) : nullptr;
  if (!E || (nlhs >= 2 && !images))
    raise_error(m, "outOfMemory", "the outputs (%" PRId64 " x %" PRId64 " x %" PRId64 " maps) do not fit in memory.",
                rows, cols, n);
  advise_large_pages(mxGetPr(E), static_cast<size_t>(rows * cols * n) * sizeof(double));
  if (images) advise_large_pages(mxGetPr(images), static_cast<size_t>(rows * cols * 3 * n) * sizeof(double));

  SweepFault fault{-1, 0, 0.0};
  bool out_of_memory = false;
  try {
    fault = entropy_sweep(best_path({VectorPath::portable, VectorPath::sse2, VectorPath::avx2, VectorPath::avx512,
                                     VectorPath::neon}),
                          mxGetPr(R), rows, cols, C, mxGetPr(shift_array), n, mxGetPr(E),
                          images ? mxGetPr(images) : nullptr, threads);
  } catch (const std::bad_alloc&) {
    out_of_memory = true;
  }
  if (out_of_memory || fault.shift >= 0) {
    mxDestroyArray(E);
    if (images) mxDestroyArray(images);
  }
  if (out_of_memory) raise_error(m, "outOfMemory", "no memory for the tile buffers.");
  if (fault.shift >= 0) raise_sweep_fault(m, fault, mxGetPr(shift_array), rows, cols, C);
  plhs[0] = E;
  if (images) plhs[1] = images;
}
