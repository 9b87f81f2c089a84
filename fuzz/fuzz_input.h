// The input arrays of a fuzz target that decodes its own calls: owned by the
// target, seen by the entry through the stand-in host's mxArray.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/mex_stub.h"

// One of a table's values, chosen by a byte.
template <class T, size_t N> T pick(const T (&table)[N], unsigned i) { return table[i % N]; }

struct FuzzInput {
  mxArray a;
  std::vector<uint8_t> data;
  void set(mxClassID c, std::vector<mwSize> dims, bool complex = false) {
    a.class_id = c;
    a.complex = complex;
    a.dims = dims;
    a.numel = 1;
    for (mwSize d : dims) a.numel *= d;
    a.stored = a.numel;
    // Exactly as long as the elements, none when empty: reads past them show.
    data.assign(a.numel * class_element_size(c) + 1, 0);
    a.real = a.numel ? data.data() : nullptr;
    a.imag = complex && a.numel ? data.data() : nullptr;
  }
  double* doubles() { return reinterpret_cast<double*>(data.data()); }
};
