// The checks and the fault report that the sweep modules share: a remapped
// light field with its angular size, a shift vector, a refocused sample out
// of the bin range. Host side, header-only (each module links its entry).
#pragma once

#include <cinttypes>
#include <cmath>

#include "common/mex_args.h"
#include "common/remapped_light_field.h"
#include "mex.h"
#include "sweep/entropy_sweep.h"

struct SweepGrid {
  int64_t rows, cols, C;
};

// Inputs 1 (R) and 2 (C): R (rows*C) x (cols*C) x 3, C odd, rows and cols at
// most 65535.
inline SweepGrid check_sweep_field(const char* m, const mxArray* R, const mxArray* angular) {
  check_double(m, {R, 1, "R"}, "badArray", "array");
  const mwSize* dims = mxGetDimensions(R);
  const mwSize ndims = mxGetNumberOfDimensions(R);
  const uint64_t height = dims[0], width = dims[1], planes = ndims >= 3 ? dims[2] : 1;
  uint64_t beyond = 1;
  for (mwSize d = 3; d < ndims; ++d) beyond *= dims[d];
  if (planes != 3 || beyond != 1)
    raise_error(m, "sourceSize", "input 1 (R) must be (rows*C) x (cols*C) x 3, got %" PRIu64 " x %" PRIu64
                " x %" PRIu64 "%s.", height, width, planes, beyond != 1 ? " x ..." : "");

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
  return {static_cast<int64_t>(height) / C, static_cast<int64_t>(width) / C, C};
}

// A real full double vector (or empty) of shifts; returns its length.
inline int64_t check_sweep_shifts(const char* m, const mxArray* shifts, int position) {
  check_double(m, {shifts, position, "shifts"}, "badShifts", "vector");
  const int64_t n = static_cast<int64_t>(mxGetNumberOfElements(shifts));
  if (mxGetNumberOfDimensions(shifts) != 2 || (n > 0 && mxGetM(shifts) != 1 && mxGetN(shifts) != 1))
    raise_error(m, "badShifts", "input %d (shifts) must be a vector, got a %" PRIu64 " x %" PRIu64 "%s array.",
                position, static_cast<uint64_t>(mxGetDimensions(shifts)[0]),
                static_cast<uint64_t>(mxGetDimensions(shifts)[1]), mxGetNumberOfDimensions(shifts) > 2 ? " x ..." : "");
  return n;
}

// The fault of a sweep over a rows x cols field, in 1-based terms.
[[noreturn]] inline void raise_sweep_fault(const char* m, const SweepFault& fault, const double* shifts, int64_t rows,
                                           int64_t cols, int64_t C) {
  const RlfPlace p = rlf_place({nullptr, rows, cols, C}, fault.index);
  char value[32], shift[32];
  show_value(fault.value, value, sizeof value);
  show_value(shifts[fault.shift], shift, sizeof shift);
  raise_error(m, "sampleOutOfRange",
              "shift %" PRId64 " (%s) refocuses pixel (%" PRId64 ", %" PRId64 "), angular sample (%" PRId64
              ", %" PRId64 "), plane %" PRId64 " to %s; the entropy needs samples whose single-precision value "
              "lies strictly between -0.5 and 255.5 (1-based).",
              fault.shift + 1, shift, p.r + 1, p.c + 1, p.a + 1, p.b + 1, p.k + 1, value);
}
