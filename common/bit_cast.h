// The bits of a value read as another type of the same size: what C++20's
// std::bit_cast does, for C++17.
#pragma once

#include <cstring>

template <class To, class From> To lf_bit_cast(const From& from) {
  static_assert(sizeof(To) == sizeof(From), "a bit cast keeps the size");
  To to;
  std::memcpy(&to, &from, sizeof to);
  return to;
}
