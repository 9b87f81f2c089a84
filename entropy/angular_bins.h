// The two bin rules of the angular entropy modules and the sample range each
// one can bin. Host-free.
#pragma once

#include <cstdint>

constexpr int kBins = 256;

// varnel: narrow to single precision, then round half away from zero. For the
// single-precision values in (-0.5, 255.5) the truncation and the difference
// f - t are exact, so this equals roundf without a library call.
inline int32_t rounded_bin(double sample) {
  const float f = static_cast<float>(sample);
  const int32_t t = static_cast<int32_t>(f);
  return t + (f - static_cast<float>(t) >= 0.5f ? 1 : 0);
}

// The same rounding as one addition and a truncation, for vector code: for
// every single-precision f in (-0.5, 255.5), f + kHalfAway in single
// precision truncates to rounded_bin's value (checked over all of them). With
// 0.5 itself the largest float below 0.5 would sum to 1.
constexpr float kHalfAway = 0.5f - 0x1p-25f;

// tressik: narrow to single precision, then truncate toward zero.
inline int32_t truncated_bin(double sample) { return static_cast<int32_t>(static_cast<float>(sample)); }

// Samples that bin inside 0 .. 255: those with above < sample < below, NaN
// excluded. Decided on the double itself, because narrowing a double beyond
// the single-precision range is undefined. Each bound is the double at which
// narrowing starts to round onto the excluded single-precision value: halfway
// to its neighbour, the tie going to the excluded value whose last bit is even.
// The vector paths narrow first, with instructions that are defined for every
// double (beyond the single-precision range they give an infinity), and
// compare the single-precision value with the excluded bounds themselves.
struct SampleRange {
  double above;
  double below;
  float low, high;  // the excluded single-precision bounds
};

// Single-precision value strictly between -0.5 and 255.5.
constexpr SampleRange kRoundedBinRange{-(0.5 - 0x1p-26), 255.5 - 0x1p-17, -0.5f, 255.5f};
// Single-precision value strictly between -1 and 256.
constexpr SampleRange kTruncatedBinRange{-(1.0 - 0x1p-25), 256.0 - 0x1p-17, -1.0f, 256.0f};

// No short-circuit branches and no negated comparisons: the form that
// compilers turn into vector compares.
inline bool outside_range(double sample, SampleRange range) {
  return (sample <= range.above) | (sample >= range.below) | (sample != sample);
}

inline bool in_range(double sample, SampleRange range) { return !outside_range(sample, range); }
