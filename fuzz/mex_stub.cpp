// A stand-in of the MEX functions the entries call, strict where the hosts are
// lenient: data pointers are handed out whatever the class, a sparse array
// counts all its m*n elements but stores only a few, and an empty array has no
// data at all, so a missing check shows up as an access outside an allocation.
#include "fuzz/mex_stub.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

namespace {

// "component:mnemonic[:more]", each part a letter followed by letters, digits
// or underscores, as MATLAB requires of an identifier.
bool valid_identifier(const char* id) {
  int parts = 0;
  const char* p = id;
  for (;;) {
    if (!std::isalpha(static_cast<unsigned char>(*p))) return false;
    while (std::isalnum(static_cast<unsigned char>(*p)) || *p == '_') ++p;
    ++parts;
    if (*p == '\0') return parts >= 2;
    if (*p != ':') return false;
    ++p;
  }
}

[[noreturn]] void misuse(const char* what) {
  std::fprintf(stderr, "mex stand-in: %s\n", what);
  std::abort();
}

// Arrays made by mxCreateNumericArray and not yet destroyed.
std::set<mxArray*>& created() {
  static std::set<mxArray*> arrays;
  return arrays;
}

void free_array(mxArray* a) {
  std::free(a->real);
  std::free(a->imag);
  delete a;
}

}  // namespace

size_t release_created_arrays() {
  const size_t count = created().size();
  for (mxArray* a : created()) free_array(a);
  created().clear();
  return count;
}

size_t class_element_size(mxClassID id) {
  switch (id) {
    case mxDOUBLE_CLASS: case mxINT64_CLASS: case mxUINT64_CLASS: return 8;
    case mxSINGLE_CLASS: case mxINT32_CLASS: case mxUINT32_CLASS: return 4;
    case mxINT16_CLASS: case mxUINT16_CLASS: case mxCHAR_CLASS: return 2;
    case mxINT8_CLASS: case mxUINT8_CLASS: case mxLOGICAL_CLASS: return 1;
    case mxCELL_CLASS: case mxSTRUCT_CLASS: return sizeof(mxArray*);
    default: return 0;
  }
}

extern "C" {

void mexErrMsgIdAndTxt(const char* id, const char* format, ...) {
  if (id == nullptr || !valid_identifier(id)) misuse("error identifier is not component:mnemonic");
  va_list args, again;
  va_start(args, format);
  va_copy(again, args);
  const int length = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  if (length < 0) misuse("error message does not format");
  std::string message(static_cast<size_t>(length) + 1, '\0');
  std::vsnprintf(message.data(), message.size(), format, again);
  va_end(again);
  message.pop_back();
  throw MexError{id, message};
}

void mexErrMsgTxt(const char* message) { throw MexError{"", message}; }

void* mxMalloc(size_t n) { return std::malloc(n); }
void mxFree(void* p) { std::free(p); }

double* mxGetPr(const mxArray* a) { return static_cast<double*>(a->real); }
void* mxGetData(const mxArray* a) { return a->real; }
mxLogical* mxGetLogicals(const mxArray* a) {
  return a->class_id == mxLOGICAL_CLASS ? static_cast<mxLogical*>(a->real) : nullptr;
}

size_t mxGetNumberOfElements(const mxArray* a) { return a->numel; }
size_t mxGetElementSize(const mxArray* a) { return class_element_size(a->class_id); }
size_t mxGetM(const mxArray* a) { return a->dims[0]; }
size_t mxGetN(const mxArray* a) {
  size_t n = 1;
  for (size_t i = 1; i < a->dims.size(); ++i) n *= a->dims[i];
  return n;
}
mwSize mxGetNumberOfDimensions(const mxArray* a) { return a->dims.size(); }
const mwSize* mxGetDimensions(const mxArray* a) { return a->dims.data(); }

mxClassID mxGetClassID(const mxArray* a) { return a->class_id; }
const char* mxGetClassName(const mxArray* a) {
  switch (a->class_id) {
    case mxCELL_CLASS: return "cell";
    case mxSTRUCT_CLASS: return "struct";
    case mxLOGICAL_CLASS: return "logical";
    case mxCHAR_CLASS: return "char";
    case mxDOUBLE_CLASS: return "double";
    case mxSINGLE_CLASS: return "single";
    case mxINT8_CLASS: return "int8";
    case mxUINT8_CLASS: return "uint8";
    case mxINT16_CLASS: return "int16";
    case mxUINT16_CLASS: return "uint16";
    case mxINT32_CLASS: return "int32";
    case mxUINT32_CLASS: return "uint32";
    case mxINT64_CLASS: return "int64";
    case mxUINT64_CLASS: return "uint64";
    case mxFUNCTION_CLASS: return "function_handle";
    default: return "unknown";
  }
}
bool mxIsDouble(const mxArray* a) { return a->class_id == mxDOUBLE_CLASS; }
bool mxIsSingle(const mxArray* a) { return a->class_id == mxSINGLE_CLASS; }
bool mxIsComplex(const mxArray* a) { return a->complex; }
bool mxIsSparse(const mxArray* a) { return a->sparse; }
bool mxIsNumeric(const mxArray* a) {
  return a->class_id >= mxDOUBLE_CLASS && a->class_id <= mxUINT64_CLASS;
}
bool mxIsLogical(const mxArray* a) { return a->class_id == mxLOGICAL_CLASS; }
bool mxIsChar(const mxArray* a) { return a->class_id == mxCHAR_CLASS; }
bool mxIsCell(const mxArray* a) { return a->class_id == mxCELL_CLASS; }
bool mxIsStruct(const mxArray* a) { return a->class_id == mxSTRUCT_CLASS; }
bool mxIsEmpty(const mxArray* a) { return a->numel == 0; }

mxArray* mxCreateNumericArray(mwSize ndim, const mwSize* dims, mxClassID class_id, mxComplexity complexity) {
  if (ndim < 2 || dims == nullptr) misuse("mxCreateNumericArray needs at least two dimensions");
  mxArray* a = new mxArray;
  a->class_id = class_id;
  a->complex = complexity == mxCOMPLEX;
  a->dims.assign(dims, dims + ndim);
  a->numel = 1;
  for (mwSize d : a->dims) a->numel *= d;
  a->stored = a->numel;
  if (a->numel > 0) {
    a->real = std::calloc(a->numel, class_element_size(class_id));
    if (a->complex) a->imag = std::calloc(a->numel, class_element_size(class_id));
    if (!a->real || (a->complex && !a->imag)) misuse("out of memory");
  }
  created().insert(a);
  return a;
}

mxArray* mxCreateUninitNumericArray(mwSize ndim, mwSize* dims, mxClassID class_id, mxComplexity complexity) {
  mxArray* a = mxCreateNumericArray(ndim, dims, class_id, complexity);
  if (a->real) std::memset(a->real, 0xA5, a->numel * class_element_size(class_id));
  if (a->imag) std::memset(a->imag, 0xA5, a->numel * class_element_size(class_id));
  return a;
}

void mxDestroyArray(mxArray* a) {
  if (a == nullptr) return;
  if (created().erase(a) == 0) misuse("mxDestroyArray of an array the module did not create");
  free_array(a);
}

int mxGetString(const mxArray* a, char* buffer, mwSize length) {
  if (length == 0) return 1;
  if (a->class_id != mxCHAR_CLASS) {
    buffer[0] = '\0';
    return 1;
  }
  const mwSize n = a->numel < length - 1 ? a->numel : length - 1;
  const mxChar* text = static_cast<const mxChar*>(a->real);
  for (mwSize i = 0; i < n; ++i) buffer[i] = static_cast<char>(text[i] < 128 ? text[i] : '?');
  buffer[n] = '\0';
  return a->numel < length ? 0 : 1;
}

}  // extern "C"
