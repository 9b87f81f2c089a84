// The part of the MEX interface that the entries use, for the fuzz build only:
// the same names and signatures as the hosts' headers, implemented by
// fuzz/mex_stub.cpp. Errors are raised as C++ exceptions, as Octave does.
#pragma once

#include <cstddef>
#include <cstdint>

typedef struct mxArray_tag mxArray;
typedef size_t mwSize;
typedef size_t mwIndex;
typedef bool mxLogical;
typedef char16_t mxChar;

typedef enum {
  mxUNKNOWN_CLASS = 0,
  mxCELL_CLASS,
  mxSTRUCT_CLASS,
  mxLOGICAL_CLASS,
  mxCHAR_CLASS,
  mxVOID_CLASS,
  mxDOUBLE_CLASS,
  mxSINGLE_CLASS,
  mxINT8_CLASS,
  mxUINT8_CLASS,
  mxINT16_CLASS,
  mxUINT16_CLASS,
  mxINT32_CLASS,
  mxUINT32_CLASS,
  mxINT64_CLASS,
  mxUINT64_CLASS,
  mxFUNCTION_CLASS
} mxClassID;

typedef enum { mxREAL = 0, mxCOMPLEX } mxComplexity;

extern "C" {

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);

void mexErrMsgIdAndTxt(const char* id, const char* format, ...);
void mexErrMsgTxt(const char* message);

void* mxMalloc(size_t n);
void mxFree(void* p);

double* mxGetPr(const mxArray* a);
void* mxGetData(const mxArray* a);
mxLogical* mxGetLogicals(const mxArray* a);

size_t mxGetNumberOfElements(const mxArray* a);
size_t mxGetElementSize(const mxArray* a);
size_t mxGetM(const mxArray* a);
size_t mxGetN(const mxArray* a);
mwSize mxGetNumberOfDimensions(const mxArray* a);
const mwSize* mxGetDimensions(const mxArray* a);

mxClassID mxGetClassID(const mxArray* a);
const char* mxGetClassName(const mxArray* a);
bool mxIsDouble(const mxArray* a);
bool mxIsSingle(const mxArray* a);
bool mxIsComplex(const mxArray* a);
bool mxIsSparse(const mxArray* a);
bool mxIsNumeric(const mxArray* a);
bool mxIsLogical(const mxArray* a);
bool mxIsChar(const mxArray* a);
bool mxIsCell(const mxArray* a);
bool mxIsStruct(const mxArray* a);
bool mxIsEmpty(const mxArray* a);

// Output arrays: zero-filled, owned by the stand-in until destroyed or handed
// back (see mex_stub.h).
mxArray* mxCreateNumericArray(mwSize ndim, const mwSize* dims, mxClassID class_id, mxComplexity complexity);
// As the hosts leave it open, every byte of the new data is 0xA5 here, so that
// an element the module forgets to write shows.
mxArray* mxCreateUninitNumericArray(mwSize ndim, mwSize* dims, mxClassID class_id, mxComplexity complexity);
void mxDestroyArray(mxArray* a);
int mxGetString(const mxArray* a, char* buffer, mwSize length);

}  // extern "C"
