// Sorting networks for the vector entropy paths, which sort every pixel's
// C^2 bins side by side, one pixel per byte lane. Built at compile time.
#pragma once

#include <cstdint>

#include "entropy/plane_entropy.h"

constexpr int kMaxSamples = kLaneMaxBlock * kLaneMaxBlock;
// Blocks whose network is unrolled into straight-line code; larger ones run
// from a list.
constexpr int kUnrolledBlock = 11;

// Batcher's odd-even merge sort for a power of two at least `count`, with the
// comparators that reach beyond `count` dropped: padding values that sort
// last never move. Two orders of it: depth first, where neighbouring
// comparators touch the same few vectors, for the unrolled networks (whose
// vectors the compiler keeps in registers), and stage by stage, where
// neighbouring comparators are independent, for the listed ones (whose
// vectors stay in memory: a third faster at C = 15 than depth first).
struct Comparator {
  uint8_t low, high;
};
struct SortingNetwork {
  int size = 0;
  Comparator comparators[3330] = {};  // the most any count up to 225 needs
};

constexpr void add_merge(SortingNetwork& net, int lo, int n, int r, int count) {
  const int step = r * 2;
  if (step < n) {
    add_merge(net, lo, n, step, count);
    add_merge(net, lo + r, n, step, count);
    for (int i = lo + r; i + r < lo + n; i += step)
      if (i + r < count) net.comparators[net.size++] = {static_cast<uint8_t>(i), static_cast<uint8_t>(i + r)};
  } else if (lo + r < count) {
    net.comparators[net.size++] = {static_cast<uint8_t>(lo), static_cast<uint8_t>(lo + r)};
  }
}

constexpr void add_sort(SortingNetwork& net, int lo, int n, int count) {
  if (n < 2) return;
  add_sort(net, lo, n / 2, count);
  add_sort(net, lo + n / 2, n / 2, count);
  add_merge(net, lo, n, 1, count);
}

constexpr SortingNetwork sorting_network(int count) {
  SortingNetwork net;
  int n = 1;
  while (n < count) n *= 2;
  add_sort(net, 0, n, count);
  return net;
}

constexpr SortingNetwork staged_sorting_network(int count) {
  SortingNetwork net;
  for (int p = 1; p < count; p <<= 1)
    for (int k = p; k >= 1; k >>= 1)
      for (int j = k % p; j + k < count; j += 2 * k)
        for (int i = 0; i < k && i < count - j - k; ++i)
          if ((i + j) / (2 * p) == (i + j + k) / (2 * p))
            net.comparators[net.size++] = {static_cast<uint8_t>(i + j), static_cast<uint8_t>(i + j + k)};
  return net;
}
static_assert(sorting_network(kMaxSamples).size == 3330 && staged_sorting_network(kMaxSamples).size == 3330,
              "the largest network fills its array exactly");
