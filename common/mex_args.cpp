// Argument checks shared by every module's entry.
#include "common/mex_args.h"

#include <cinttypes>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <cstring>

void raise_error(const char* module, const char* kind, const char* format, ...) {
  char id[96];
  std::snprintf(id, sizeof id, "%s:%s", module, kind);
  char message[512];
  std::va_list args;
  va_start(args, format);
  std::vsnprintf(message, sizeof message, format, args);
  va_end(args);
  // The message goes through "%s": it may quote user data holding '%'.
  mexErrMsgIdAndTxt(id, "%s", message);
  // The host never returns here; abort is the last guard should one ever do.
  std::abort();
}

void check_counts(const char* module, int nlhs, int nrhs, int required_inputs,
                  const char* input_count_message) {
  if (nrhs != required_inputs) raise_error(module, "inputCount", "%s", input_count_message);
  if (nlhs > 1) raise_error(module, "outputCount", "%s", "Too many output arguments.");
}

const char* describe_class(const mxArray* a, char* out, size_t size) {
  std::snprintf(out, size, "%s%s%s", mxIsComplex(a) ? "complex " : "",
                mxIsSparse(a) ? "sparse " : "", mxGetClassName(a));
  return out;
}

void show_value(double value, char* out, size_t size) {
  if (std::isnan(value)) std::snprintf(out, size, "NaN");
  else if (std::isinf(value)) std::snprintf(out, size, value > 0 ? "Inf" : "-Inf");
  else std::snprintf(out, size, "%.17g", value);
}

bool is_real_full_double(const mxArray* a) { return mxIsDouble(a) && !mxIsComplex(a) && !mxIsSparse(a); }

namespace {

bool is_real_full(const mxArray* a) { return !mxIsComplex(a) && !mxIsSparse(a); }

template <class T> double first_as_double(const mxArray* a) {
  return static_cast<double>(*static_cast<const T*>(mxGetData(a)));
}

[[noreturn]] void reject_scalar_class(const char* module, InputRef in, const char* cls) {
  raise_error(module, "badScalar", "input %d (%s) must be a real numeric or logical scalar, got a %s array.",
              in.position, in.role, cls);
}

}  // namespace

double scalar_value(const char* module, InputRef in) {
  const mxArray* a = in.array;
  char cls[64];
  describe_class(a, cls, sizeof cls);
  if (!(mxIsNumeric(a) || mxIsLogical(a)) || !is_real_full(a)) reject_scalar_class(module, in, cls);
  if (mxGetNumberOfElements(a) == 0)
    raise_error(module, "emptyScalar", "input %d (%s) must hold at least one element, got an empty %s array.",
                in.position, in.role, cls);
  switch (mxGetClassID(a)) {
    case mxDOUBLE_CLASS: return first_as_double<double>(a);
    case mxSINGLE_CLASS: return first_as_double<float>(a);
    case mxINT8_CLASS: return first_as_double<int8_t>(a);
    case mxUINT8_CLASS: return first_as_double<uint8_t>(a);
    case mxINT16_CLASS: return first_as_double<int16_t>(a);
    case mxUINT16_CLASS: return first_as_double<uint16_t>(a);
    case mxINT32_CLASS: return first_as_double<int32_t>(a);
    case mxUINT32_CLASS: return first_as_double<uint32_t>(a);
    case mxINT64_CLASS: return first_as_double<int64_t>(a);
    case mxUINT64_CLASS: return first_as_double<uint64_t>(a);
    case mxLOGICAL_CLASS: return mxGetLogicals(a)[0] ? 1.0 : 0.0;
    default: reject_scalar_class(module, in, cls);
  }
}

double single_value(const char* module, InputRef in) {
  const uint64_t count = mxGetNumberOfElements(in.array);
  if (count > 1)
    raise_error(module, "badScalar", "input %d (%s) must be one number, got %" PRIu64 " elements.", in.position,
                in.role, count);
  return scalar_value(module, in);
}

void check_finite(const char* module, InputRef in, int64_t rows, int64_t count) {
  const double* x = mxGetPr(in.array);
  for (int64_t i = 0; i < count; ++i) {
    if (std::isfinite(x[i])) continue;
    char shown[32];
    show_value(x[i], shown, sizeof shown);
    raise_error(module, "nonFinite", "input %d (%s) must hold finite values, got %s at row %" PRId64
                ", column %" PRId64 " (1-based).", in.position, in.role, shown, i % rows + 1, i / rows + 1);
  }
}

void check_double(const char* module, InputRef in, const char* kind, const char* shape) {
  if (is_real_full_double(in.array)) return;
  char cls[64];
  describe_class(in.array, cls, sizeof cls);
  raise_error(module, kind, "input %d (%s) must be a real full double %s, got a %s array.", in.position, in.role,
              shape, cls);
}

double* double_array(const char* module, InputRef in, uint64_t needed, const char* layout) {
  const mxArray* a = in.array;
  check_double(module, in, "badArray", "array");
  const uint64_t have = mxGetNumberOfElements(a);
  if (have < needed)
    raise_error(module, "arrayTooSmall",
                "input %d (%s) must hold at least %" PRIu64 " elements (%s), got %" PRIu64 ".",
                in.position, in.role, needed, layout, have);
  return mxGetPr(a);
}

double* light_field_array(const char* module, InputRef in, int64_t rows, int64_t cols, int64_t angular_size) {
  char layout[160];
  std::snprintf(layout, sizeof layout, "(rows*C) x (cols*C) x 3 with rows = %" PRId64 ", cols = %" PRId64
                ", C = %" PRId64, rows, cols, angular_size);
  return double_array(module, in, rlf_elements(rows, cols, angular_size), layout);
}

double* grid_array(const char* module, InputRef in, int64_t rows, int64_t cols, int64_t planes) {
  char layout[160];
  std::snprintf(layout, sizeof layout, "rows x cols%s with rows = %" PRId64 ", cols = %" PRId64,
                planes == 1 ? "" : " x 3", rows, cols);
  return double_array(module, in, saturating_product({rows, cols, planes}), layout);
}

namespace {

// Not std::tolower: its answer depends on the host's locale.
char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

int64_t whole_option(const char* module, InputRef name, InputRef value, const char* option, int64_t least,
                     int64_t most) {
  char text[16] = "";
  const size_t length = std::strlen(option);
  const bool readable = mxIsChar(name.array) && mxGetM(name.array) == 1 &&
                        mxGetNumberOfElements(name.array) < sizeof text &&
                        mxGetString(name.array, text, sizeof text) == 0;
  bool matches = readable && std::strlen(text) == length;
  for (size_t i = 0; matches && i < length; ++i) matches = ascii_lower(text[i]) == ascii_lower(option[i]);
  char cls[64];
  if (!matches) {
    if (readable)
      raise_error(module, "badOption", "input %d must be the option name '%s', got '%s'.", name.position, option, text);
    raise_error(module, "badOption", "input %d must be the option name '%s', got a %s array of %" PRIu64 " elements.",
                name.position, option, describe_class(name.array, cls, sizeof cls),
                static_cast<uint64_t>(mxGetNumberOfElements(name.array)));
  }
  if (mxGetNumberOfElements(value.array) != 1)
    raise_error(module, "badOption",
                "input %d (%s) must be one whole number of at least %" PRId64 ", got a %s array of %" PRIu64
                " elements.", value.position, value.role, least, describe_class(value.array, cls, sizeof cls),
                static_cast<uint64_t>(mxGetNumberOfElements(value.array)));
  const double n = scalar_value(module, value);
  // Compared as doubles, so that NaN and values beyond int64_t never convert.
  if (!(n >= static_cast<double>(least) && n <= static_cast<double>(most)) || std::floor(n) != n) {
    char shown[32];
    show_value(n, shown, sizeof shown);
    raise_error(module, "badOption", "input %d (%s) must be a whole number from %" PRId64 " to %" PRId64 ", got %s.",
                value.position, value.role, least, most, shown);
  }
  return static_cast<int64_t>(n);
}

namespace {

bool overlap(const mxArray* x, const mxArray* y) {
  const size_t nx = mxGetNumberOfElements(x), ny = mxGetNumberOfElements(y);
  if (nx == 0 || ny == 0) return false;
  const uintptr_t x0 = reinterpret_cast<uintptr_t>(mxGetData(x));
  const uintptr_t y0 = reinterpret_cast<uintptr_t>(mxGetData(y));
  const uintptr_t x1 = x0 + nx * mxGetElementSize(x);
  const uintptr_t y1 = y0 + ny * mxGetElementSize(y);
  return x0 < y1 && y0 < x1;
}

void check_pair(const char* module, InputRef w, InputRef other) {
  if (overlap(w.array, other.array))
    raise_error(module, "sharedData",
                "input %d (%s) must not share data with input %d (%s), got the same data; "
                "pass an array created on its own (a copy made by B = A shares A's data until one changes).",
                w.position, w.role, other.position, other.role);
}

}  // namespace

void check_disjoint(const char* module, std::initializer_list<InputRef> written,
                    std::initializer_list<InputRef> read) {
  for (auto w = written.begin(); w != written.end(); ++w) {
    for (auto r = read.begin(); r != read.end(); ++r) check_pair(module, *w, *r);
    for (auto v = w + 1; v != written.end(); ++v) check_pair(module, *v, *w);
  }
}

double* working_doubles(const char* module, int64_t count) {
  if (count <= 0) return nullptr;
  void* memory = mxMalloc(static_cast<size_t>(count) * sizeof(double));
  if (memory == nullptr)
    raise_error(module, "outOfMemory", "working memory of %" PRId64 " doubles could not be obtained.", count);
  return static_cast<double*>(memory);
}

void reject_sample(const char* module, InputRef in, const RemappedLightField& field, int64_t index,
                   const char* expected) {
  // The kernel saw a fault that the walk does not find: never a silent result.
  if (index < 0)
    raise_error(module, "internal", "input %d (%s): a sample was reported outside the range but none was found.",
                in.position, in.role);
  const double value = field.data[index];
  char shown[32];
  show_value(value, shown, sizeof shown);
  const RlfPlace p = rlf_place(field, index);
  raise_error(module, "sampleOutOfRange",
              "input %d (%s) must hold samples %s, got %s at element %" PRId64 " (pixel (%" PRId64
              ", %" PRId64 "), angular sample (%" PRId64 ", %" PRId64 "), plane %" PRId64 "; 1-based).",
              in.position, in.role, expected, shown, index + 1, p.r + 1, p.c + 1, p.a + 1, p.b + 1,
              p.k + 1);
}
