// Sorting networks for the vector entropy paths, which sort every pixel's
// C^2 bins side by side, one pixel per byte lane. Built at compile time.
#pragma once

#include <cstdint>

#include "entropy/plane_entropy.h"

constexpr int kMaxSamples = kLaneMaxBlock * kLaneMaxBlock;

// Batcher's odd-even merge sort for a power of two at least `count`, with the
// comparators that reach beyond `count` dropped: padding values that sort
// last never move. Depth first, so that neighbouring comparators touch the
// same few vectors.
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

static_assert(sorting_network(kMaxSamples).size == 3330, "the largest network fills its array exactly");

// Networks up to this C run as straight-line code, larger ones from their
// list. Measured per instruction set with GCC 12 -O3: unrolled up to C = 11,
// about 5 s of compiling; up to 13, 11 s; up to 15, 27 s. Looped, C = 13
// takes about 1.8 times as long as unrolled and C = 15 1.5 times.
constexpr int kUnrolledBlock = 11;

// Instrumented fuzz builds take minutes over that much straight-line code;
// there the same networks run as loops.
#if defined(LF_NETWORKS_AS_LOOPS)
#define LF_UNROLL_NETWORK
#else
#define LF_UNROLL_NETWORK _Pragma("GCC unroll 4096")
#endif
