// Sorting networks for the vector entropy paths, which sort every pixel's
// C^2 bins side by side, one pixel per byte lane. Built at compile time.
#pragma once

#include <cstdint>

#include "entropy/plane_entropy.h"

constexpr int kMaxSamples = kLaneMaxBlock * kLaneMaxBlock;

// Batcher's odd-even merge sort, halves of any size: sort each half, then
// merge them by merging their even-numbered and their odd-numbered elements
// and comparing the neighbours that can still be out of order. Depth first,
// so that neighbouring comparators touch the same few vectors. Fewer
// comparators than the power-of-two network with its extra ones dropped (804
// instead of 864 at C = 9).
struct Comparator {
  uint8_t low, high;
};
struct SortingNetwork {
  int size = 0;
  Comparator comparators[3291] = {};  // the most any count up to 225 needs
};

// Merges the sorted runs a (na elements from a0, every step-th) and b (nb
// from b0, the same step), which lies wholly above a, into place.
constexpr void add_merge(SortingNetwork& net, int a0, int na, int b0, int nb, int step) {
  if (na == 0 || nb == 0) return;
  if (na == 1 && nb == 1) {
    net.comparators[net.size++] = {static_cast<uint8_t>(a0), static_cast<uint8_t>(b0)};
    return;
  }
  add_merge(net, a0, (na + 1) / 2, b0, (nb + 1) / 2, 2 * step);
  add_merge(net, a0 + step, na / 2, b0 + step, nb / 2, 2 * step);
  const auto at = [&](int i) { return i < na ? a0 + i * step : b0 + (i - na) * step; };
  for (int i = 1; i + 1 < na + nb; i += 2)
    net.comparators[net.size++] = {static_cast<uint8_t>(at(i)), static_cast<uint8_t>(at(i + 1))};
}

constexpr void add_sort(SortingNetwork& net, int lo, int n) {
  if (n < 2) return;
  add_sort(net, lo, n / 2);
  add_sort(net, lo + n / 2, n - n / 2);
  add_merge(net, lo, n / 2, lo + n / 2, n - n / 2, 1);
}

constexpr SortingNetwork sorting_network(int count) {
  SortingNetwork net;
  add_sort(net, 0, count);
  return net;
}

static_assert(sorting_network(kMaxSamples).size == 3291, "the largest network fills its array exactly");

// Networks up to this C run as straight-line code, larger ones from their
// list: unrolling the larger ones would make them faster but multiply the
// compile time of every instruction-set file (docs/PERFORMANCE.md).
constexpr int kUnrolledBlock = 11;

// Instrumented fuzz builds take minutes over that much straight-line code;
// there the same networks run as loops.
#if defined(LF_NETWORKS_AS_LOOPS)
#define LF_UNROLL_NETWORK
#else
#define LF_UNROLL_NETWORK _Pragma("GCC unroll 4096")
#endif
