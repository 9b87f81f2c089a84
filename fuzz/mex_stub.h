// The stand-in host's arrays and raised errors, as the fuzz harness builds and
// catches them. The entries see only the opaque mxArray of mex.h.
#pragma once

#include <string>
#include <vector>

#include "mex.h"

struct mxArray_tag {
  mxClassID class_id = mxDOUBLE_CLASS;
  bool complex = false;
  bool sparse = false;
  std::vector<mwSize> dims{0, 0};
  size_t numel = 0;  // product of dims; a sparse array stores fewer elements
  // The stored elements, null when there are none (as the hosts may give for
  // an empty array), each allocation exactly as long as its elements so that
  // AddressSanitizer sees one element too far.
  void* real = nullptr;
  void* imag = nullptr;
  size_t stored = 0;
};

// What mexErrMsgIdAndTxt and mexErrMsgTxt throw in place of the host's
// return to the prompt.
struct MexError {
  std::string id;
  std::string message;
};

size_t class_element_size(mxClassID id);

// Frees every array that mxCreateNumericArray made and nobody destroyed, as
// the hosts free a call's outputs once the caller is done with them (or at
// once, when the call raised an error). Returns how many there were.
size_t release_created_arrays();
