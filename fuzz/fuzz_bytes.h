// The fuzzer's bytes, front to back; once they run out every read gives 0,
// which decodes to the most ordinary choice.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/bit_cast.h"

class FuzzBytes {
 public:
  FuzzBytes(const uint8_t* data, size_t size) : p_(data), n_(size) {}
  uint8_t u8() {
    if (n_ == 0) return 0;
    --n_;
    return *p_++;
  }
  uint32_t u32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= uint32_t{u8()} << (8 * i);
    return v;
  }
  double f64() {
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= uint64_t{u8()} << (8 * i);
    return lf_bit_cast<double>(bits);
  }

 private:
  const uint8_t* p_;
  size_t n_;
};
