// The remapped light-field layout that every module reads or writes, and the
// per-pixel map and image layouts of the spatial grid. Host-free.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "common/portable.h"

// A (rows*C) x (cols*C) x 3 column-major array of doubles in which spatial pixel
// (r, c) owns the C x C block of angular samples starting at (r*C, c*C).
struct RemappedLightField {
  const double* data;
  int64_t rows;
  int64_t cols;
  int64_t angular_size;
};

// 64-bit throughout: the largest 16-bit sizes give indices far beyond 2^32.
inline int64_t rlf_index(const RemappedLightField& f, int64_t r, int64_t c,
                         int64_t a, int64_t b, int64_t k) {
  const int64_t C = f.angular_size;
  const int64_t height = f.rows * C;
  const int64_t plane = height * f.cols * C;
  return (r * C + a) + (c * C + b) * height + k * plane;
}

// The pixel, angular sample and plane that rlf_index maps onto `index`.
struct RlfPlace {
  int64_t r, c, a, b, k;
};

inline RlfPlace rlf_place(const RemappedLightField& f, int64_t index) {
  const int64_t C = f.angular_size;
  const int64_t height = f.rows * C;
  const int64_t plane = height * f.cols * C;
  const int64_t k = index / plane, within = index % plane;
  const int64_t i = within % height, j = within / height;
  return {i / C, j / C, i % C, j % C, k};
}

inline int64_t map_index(int64_t rows, int64_t r, int64_t c) { return r + c * rows; }

inline int64_t image_index(int64_t rows, int64_t cols, int64_t r, int64_t c, int64_t k) {
  return r + c * rows + k * rows * cols;
}

// Element counts that an array must hold for given sizes, saturating at
// UINT64_MAX so that absurd sizes can never wrap into a small, passing count.
// Non-positive sizes need no elements.
inline uint64_t saturating_product(std::initializer_list<int64_t> factors) {
  uint64_t product = 1;
  for (int64_t f : factors) {
    if (f <= 0) return 0;
    uint64_t next;
    if (!lf_mul_u64(product, static_cast<uint64_t>(f), &next)) return UINT64_MAX;
    product = next;
  }
  return product;
}

inline uint64_t rlf_elements(int64_t rows, int64_t cols, int64_t angular_size) {
  return saturating_product({rows, angular_size, cols, angular_size, 3});
}
