// [E, images] = lf_entropy_sweep(R, C, shifts, 'Threads', N): the channel-
// averaged angular entropy of R refocused at every shift, and the refocused
// images, as new arrays. Every error is raised here, on the calling thread.
#include <cinttypes>
#include <cmath>
#include <new>

#include "common/large_pages.h"
#include "common/mex_args.h"
#include "common/remapped_light_field.h"
#include "mex.h"
#include "sweep/entropy_sweep.h"

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  const char* m = "lf_entropy_sweep";
  if (nrhs != 3 && nrhs != 5)
    raise_error(m, "inputCount", "expected 3 inputs (R, C, shifts) or 5 (R, C, shifts, 'Threads', N), got %d.", nrhs);
  if (nlhs > 2) raise_error(m, "outputCount", "expected at most 2 outputs (E, images), got %d.", nlhs);

  const mxArray* R = prhs[0];
  check_double(m, {R, 1, "R"}, "badArray", "array");
  const mwSize* dims = mxGetDimensions(R);
  const mwSize ndims = mxGetNumberOfDimensions(R);
  const uint64_t height = dims[0], width = dims[1], planes = ndims >= 3 ? dims[2] : 1;
  uint64_t beyond = 1;
  for (mwSize d = 3; d < ndims; ++d) beyond *= dims[d];
  if (planes != 3 || beyond != 1)
    raise_error(m, "sourceSize", "input 1 (R) must be (rows*C) x (cols*C) x 3, got %" PRIu64 " x %" PRIu64
                " x %" PRIu64 "%s.", height, width, planes, beyond != 1 ? " x ..." : "");

  const mxArray* angular = prhs[1];
  if (mxGetNumberOfElements(angular) > 1)
    raise_error(m, "badScalar", "input 2 (angular size C) must be one number, got %" PRIu64 " elements.",
                static_cast<uint64_t>(mxGetNumberOfElements(angular)));
  const double c_value = scalar_value(m, {angular, 2, "angular size C"});
  if (!(c_value >= 1.0 && c_value <= 65535.0) || std::floor(c_value) != c_value ||
      std::fmod(c_value, 2.0) != 1.0) {
    char text[32];
    show_value(c_value, text, sizeof text);
    raise_error(m, "angularSize", "input 2 (angular size C) must be an odd whole number from 1 to 65535, got %s.",
                text);
  }
  const int64_t C = static_cast<int64_t>(c_value);
  if (height % C != 0 || width % C != 0 || height / C > 65535 || width / C > 65535)
    raise_error(m, "sourceSize",
                "input 1 (R) must be (rows*C) x (cols*C) x 3 with C = %" PRId64 " and rows, cols at most 65535, got "
                "%" PRIu64 " x %" PRIu64 " x 3.", C, height, width);
  const int64_t rows = static_cast<int64_t>(height) / C, cols = static_cast<int64_t>(width) / C;

  const mxArray* shift_array = prhs[2];
  check_double(m, {shift_array, 3, "shifts"}, "badShifts", "vector");
  const int64_t n = static_cast<int64_t>(mxGetNumberOfElements(shift_array));
  if (mxGetNumberOfDimensions(shift_array) != 2 || (n > 0 && mxGetM(shift_array) != 1 && mxGetN(shift_array) != 1))
    raise_error(m, "badShifts", "input 3 (shifts) must be a vector, got a %" PRIu64 " x %" PRIu64 "%s array.",
                static_cast<uint64_t>(mxGetDimensions(shift_array)[0]),
                static_cast<uint64_t>(mxGetDimensions(shift_array)[1]),
                mxGetNumberOfDimensions(shift_array) > 2 ? " x ..." : "");
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
  if (fault.shift >= 0) {
    const RlfPlace p = rlf_place({nullptr, rows, cols, C}, fault.index);
    char value[32], shift[32];
    show_value(fault.value, value, sizeof value);
    show_value(mxGetPr(shift_array)[fault.shift], shift, sizeof shift);
    raise_error(m, "sampleOutOfRange",
                "shift %" PRId64 " (%s) refocuses pixel (%" PRId64 ", %" PRId64 "), angular sample (%" PRId64
                ", %" PRId64 "), plane %" PRId64 " to %s; the entropy needs samples whose single-precision value "
                "lies strictly between -0.5 and 255.5 (1-based).",
                fault.shift + 1, shift, p.r + 1, p.c + 1, p.a + 1, p.b + 1, p.k + 1, value);
  }
  plhs[0] = E;
  if (images) plhs[1] = images;
}
