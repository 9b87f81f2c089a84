// Every single-precision value in each bin rule's range, through the rule and
// the range check: the rounded rule against rounding half away from zero, the truncated one against
// the language's truncation toward zero.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "common/bit_cast.h"
#include "entropy/angular_bins.h"
#include "tests/reference/round_half_away.h"

// Builds without optimisation (Debug, sanitizers) check every
// BIN_SWEEP_STRIDE-th value and every value near an integer or a half.
#ifndef BIN_SWEEP_STRIDE
#define BIN_SWEEP_STRIDE 1
#endif

namespace {

int32_t oracle_rounded(float f) { return static_cast<int32_t>(round_half_away(f)); }
int32_t oracle_truncated(float f) { return static_cast<int32_t>(f); }
// The vector paths' form of the rounded rule.
int32_t half_away_by_addition(double sample) {
  return static_cast<int32_t>(static_cast<float>(sample) + kHalfAway);
}

struct Rule {
  SampleRange range;
  float low, high;  // the excluded single-precision bounds
};

const Rule kRounded{kRoundedBinRange, -0.5f, 255.5f};
const Rule kTruncated{kTruncatedBinRange, -1.0f, 256.0f};

// Every float with a bit pattern in [first, end), in one sign: counts the
// values the range refuses and the ends of runs of equal bins at which the
// oracle disagrees. Bit order is value order within a sign and the oracle is
// monotone in value, so agreeing at both ends of every run means agreeing on
// the whole run; a stray bin anywhere makes a run of its own. This leaves
// about 2.2e9 values per rule to the vectorised loop instead of 2.2e9 calls
// of the rounding (seconds instead of most of a minute here).
template <int32_t (*Bin)(double), int32_t (*Oracle)(float)>
uint64_t exhaustive_mismatches(uint32_t first, uint32_t end, SampleRange range) {
  constexpr uint32_t kChunk = 4096;
  int32_t bins[kChunk + 1];
  bins[kChunk] = Bin(lf_bit_cast<float>(first));  // carried in front of each chunk
  uint64_t wrong = bins[kChunk] != Oracle(lf_bit_cast<float>(first));
  for (uint32_t start = first; start < end; start += std::min(kChunk, end - start)) {
    const uint32_t n = std::min(kChunk, end - start);
    bins[0] = bins[kChunk];
    uint64_t refused = 0;
    uint32_t changes = 0;
    for (uint32_t i = 0; i < n; ++i) {
      const double x = lf_bit_cast<float>(start + i);
      bins[i + 1] = Bin(x);
      refused += outside_range(x, range);
    }
    for (uint32_t i = 0; i < n; ++i) changes += bins[i + 1] != bins[i];
    if (changes)
      for (uint32_t i = 0; i < n; ++i)
        if (bins[i + 1] != bins[i])
          wrong += (bins[i] != Oracle(lf_bit_cast<float>(start + i - 1))) + (bins[i + 1] != Oracle(lf_bit_cast<float>(start + i)));
    wrong += refused;
    bins[kChunk] = bins[n];
  }
  return wrong + (bins[kChunk] != Oracle(lf_bit_cast<float>(end - 1)));
}

// Every value of [first, end) checked on its own, taking every stride-th.
template <int32_t (*Bin)(double), int32_t (*Oracle)(float)>
uint64_t sampled_mismatches(uint32_t first, uint32_t end, uint32_t stride, SampleRange range) {
  uint64_t wrong = 0;
  for (uint64_t u = first; u < end; u += stride) {
    const float f = lf_bit_cast<float>(static_cast<uint32_t>(u));
    wrong += (Bin(f) != Oracle(f)) + outside_range(f, range);
  }
  return wrong;
}

// In-range bit patterns of one sign: [+0, high) or [-0, low).
template <int32_t (*Bin)(double), int32_t (*Oracle)(float)>
void sweep_sign(const Rule& rule, bool negative) {
  const uint32_t first = negative ? 0x80000000u : 0u;
  const uint32_t end = lf_bit_cast<uint32_t>(negative ? rule.low : rule.high);
  if (BIN_SWEEP_STRIDE == 1) {
    EXPECT_EQ((exhaustive_mismatches<Bin, Oracle>(first, end, rule.range)), 0u);
  } else {
    EXPECT_EQ((sampled_mismatches<Bin, Oracle>(first, end, BIN_SWEEP_STRIDE, rule.range)), 0u);
    for (int n = 0; n <= 256; ++n)
      for (float centre : {n + 0.0f, n + 0.5f}) {
        const uint32_t u = lf_bit_cast<uint32_t>(negative ? -centre : centre);
        if (u >= end) continue;
        const uint32_t lo = u - first > 2048 ? u - 2048 : first;
        const uint32_t hi = end - u > 2048 ? u + 2048 : end;
        EXPECT_EQ((sampled_mismatches<Bin, Oracle>(lo, hi, 1, rule.range)), 0u) << "near " << centre;
      }
  }
  // The first floats beyond the end, which the range must refuse.
  for (uint32_t i = 0; i < 64; ++i) EXPECT_FALSE(in_range(lf_bit_cast<float>(end + i), rule.range)) << lf_bit_cast<float>(end + i);
}

TEST(BinSweep, Rounded) {
  sweep_sign<rounded_bin, oracle_rounded>(kRounded, false);
  sweep_sign<rounded_bin, oracle_rounded>(kRounded, true);
}

TEST(BinSweep, RoundedByAddition) {
  sweep_sign<half_away_by_addition, oracle_rounded>(kRounded, false);
  sweep_sign<half_away_by_addition, oracle_rounded>(kRounded, true);
}

TEST(BinSweep, Truncated) {
  sweep_sign<truncated_bin, oracle_truncated>(kTruncated, false);
  sweep_sign<truncated_bin, oracle_truncated>(kTruncated, true);
}

}  // namespace
