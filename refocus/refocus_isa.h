// What each instruction set's copies of the refocus column kernels are
// compiled for, read with `if constexpr`; each set's copies live in its
// namespace, so that a profile tells them apart. Host-free.
//
// isa_baseline: vectors of two doubles, compiled for the build's own target
// with no target region: SSE2 on x86-64, NEON on AArch64, plain C++ in a
// build without vector extensions. One copy serves the sse2, neon and
// portable paths, so it is named after none of them.
// isa_avx2: vectors of four, inside AVX2 target regions.
// isa_avx512: vectors of eight with the 32 registers of AVX-512, for the
// sweep's window only, whose binning needs no transpose; the whole-field
// kernel runs avx2's (refocus_table: 512-bit vectors were no faster there,
// docs/PERFORMANCE.md).
#pragma once

#include <cstdint>

// An instruction set's capabilities, as the kernels read them:
// Lanes: doubles per vector.
// PairedColumns: whether the whole-field kernel refocuses pairs of columns
// that share weight products (with vectors of two it ran slower, although it
// took fewer instructions).
// BinnedGroup: the most neighbouring columns binned from one weight product,
// as many as the registers hold their weights, sums and values.
template <int Lanes, bool PairedColumns, int BinnedGroup>
struct RefocusCapabilities {
  static constexpr int lanes = Lanes;
  static constexpr bool paired_columns = PairedColumns;
  static constexpr int binned_group = BinnedGroup;
};

namespace isa_baseline {
using RefocusTraits = RefocusCapabilities<2, false, 4>;
}
namespace isa_avx2 {
using RefocusTraits = RefocusCapabilities<4, true, 4>;
}
namespace isa_avx512 {
using RefocusTraits = RefocusCapabilities<8, true, 8>;
}

// The block sides of the usual camera arrays and plenoptic captures, with
// every offset of a block visited (C = 2D + 1), have copies compiled for
// their side, whose loops over the offsets the compiler unrolls; the copy
// after them serves any side.
constexpr int kBlockSides[] = {5, 7, 9, 11, 13, 15};
constexpr int kSideCopies = 7;
// Which copy serves blocks of side C.
inline int side_copy(int64_t C) {
  for (int e = 0; e < kSideCopies - 1; ++e)
    if (C == kBlockSides[e]) return e;
  return kSideCopies - 1;
}
