// The library-free arithmetic under the entropy: the exact fused
// multiply-add against the hardware's, the logarithm against glibc's logf,
// and rounding half away from zero against glibc's roundf.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>

#include "common/exact_fma.h"
#include "common/natural_log.h"
#include "common/portable.h"
#include "tests/reference/round_half_away.h"

#if LF_X86_PATHS
#include <immintrin.h>
#endif

// glibc's own logf and roundf are the definition only from 2.27 on.
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 27))
#define LF_GLIBC_LOGF 1
#else
#define LF_GLIBC_LOGF 0
#endif

// Builds without optimisation take every stride-th float of (0, 1].
#ifndef LOG_SWEEP_STRIDE
#define LOG_SWEEP_STRIDE 127
#endif

namespace {

template <typename To, typename From>
To bit_cast(From x) {
  static_assert(sizeof(To) == sizeof(From), "same size");
  To y;
  std::memcpy(&y, &x, sizeof y);
  return y;
}

// A correctly rounded fused multiply-add to compare with: the CPU's
// instruction (also under wine, whose library's is not), else glibc's.
#if LF_X86_PATHS
LF_TARGET("fma") double fma_instruction(double a, double b, double c) {
  return _mm_cvtsd_f64(_mm_fmadd_sd(_mm_set_sd(a), _mm_set_sd(b), _mm_set_sd(c)));
}
bool cpu_has_fma() { return __builtin_cpu_supports("fma"); }
#else
double fma_instruction(double a, double b, double c) { return std::fma(a, b, c); }  // fmadd on AArch64
bool cpu_has_fma() { return LF_NEON_PATH != 0; }
#endif
bool have_hardware_fma() { return cpu_has_fma() || LF_GLIBC_LOGF; }
double hardware_fma(double a, double b, double c) { return cpu_has_fma() ? fma_instruction(a, b, c) : std::fma(a, b, c); }

// Same bits, or both NaN (payloads are not part of the result).
testing::AssertionResult same(double got, double want) {
  if (bit_cast<uint64_t>(got) == bit_cast<uint64_t>(want) || (std::isnan(got) && std::isnan(want)))
    return testing::AssertionSuccess();
  char text[80];
  std::snprintf(text, sizeof text, "%a instead of %a", got, want);
  return testing::AssertionFailure() << text;
}

double from_parts(uint64_t sign, uint64_t field, uint64_t fraction) {
  return bit_cast<double>(sign << 63 | (field & 0x7ff) << 52 | (fraction & ((uint64_t{1} << 52) - 1)));
}

TEST(ExactFma, MatchesHardware) {
  if (!have_hardware_fma()) GTEST_SKIP() << "no correctly rounded fma to compare with";
  const double min_sub = std::numeric_limits<double>::denorm_min(), max = std::numeric_limits<double>::max();
  const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
  const double e = 0x1p-52;
  struct Triple {
    double a, b, c;
  };
  const Triple hard[] = {
      {1 + e, 1 - e, -1},                 // exact product, cancellation to a tiny result
      {1 + e, 1 + e, -(1 + 2 * e)},       // only the product's lowest bit survives
      {3, 1.0 / 3, -1},                   // the rounding error of 1/3 itself
      {1 + e, 1 + e, 0x1p-105},           // the product's 2^-104 tail, an addend below it
      {1 + e, 1 + e, -0x1p-105},
      {1 + 2 * e, 1 + e, 0x1p-53},        // a tie but for the product's 2^-103 tail
      {1 + 2 * e, 1 - e, -0x1p-53},
      {1, 1, 0x1p-53},                    // exact ties: to the even neighbour, down
      {1, 1 + e, 0x1p-53},                // and up
      {1, 1, -0x1p-54},                   // just below 1, half an ulp of its binade
      {0x1p-600, 0x1p-600, 1},            // huge exponent gaps, both ways
      {0x1p600, 0x1p400, 1},
      {0x1p600, 0x1p400, -0x1p-1000},
      {-0x1p-1000, 0x1p-1000, min_sub},   // underflow below the least subnormal
      {0x1p-537, 0x1p-537, -min_sub},     // a product of exactly the least subnormal
      {0x1p-538, 0x1p-537, 0},            // half the least subnormal ties to zero
      {-0x1.8p-538, 0x1p-537, 0},         // 1.5 of half: rounds away, negative
      {0x1p-1022, 1 - e, min_sub},        // crosses into the normal range
      {0x1.fffffffffffffp-1023, 1, min_sub},
      {max, 2, -max},                     // the product overflows, the sum does not
      {max, 1 + e, 0},                    // overflow to infinity
      {max, 1, max},
      {-max, 1, -max},
      {0, -1, 0},                         // signs of zero
      {-0.0, 1, -0.0},
      {1, -1, 1},                         // exact cancellation is +0
      {min_sub, min_sub, -0.0},           // a product that rounds to zero keeps its sign
      {-min_sub, min_sub, 0.0},
      {inf, 0, 1},
      {inf, 1, -inf},
      {max, 2, -inf},                     // finite product, infinite addend
      {1, 1, nan},
      {nan, 0, 1},
  };
  for (const Triple& t : hard)
    EXPECT_TRUE(same(exact_fma(t.a, t.b, t.c), hardware_fma(t.a, t.b, t.c)))
        << std::hexfloat << t.a << " * " << t.b << " + " << t.c;

  std::mt19937_64 rng(20261208);
  int failures = 0;
  for (int i = 0; i < 3000000 && failures < 10; ++i) {
    const uint64_t u = rng(), v = rng(), w = rng();
    double a, b, c;
    switch (i % 3) {
      case 0:  // any bit patterns: every class, every exponent
        a = bit_cast<double>(u), b = bit_cast<double>(v), c = bit_cast<double>(w);
        break;
      case 1: {  // c near -a*b: cancellation of up to all bits
        a = from_parts(u >> 63, 1023 + (u >> 52 & 63) - 32, u), b = from_parts(v >> 63, 1023 + (v >> 52 & 63) - 32, v);
        const double p = a * b;
        const uint64_t nudge = w & 0xfff;
        c = -bit_cast<double>(bit_cast<uint64_t>(p) + nudge - 0x800);
        break;
      }
      default:  // exponents that meet in the subnormal range or at overflow
        a = from_parts(u >> 63, (u >> 52 & 1) ? (u >> 53) % 80 : 2046 - (u >> 53) % 80, u);
        b = from_parts(v >> 63, (u >> 52 & 1) ? 1023 - (v >> 52) % 60 : 1023 + (v >> 52) % 60, v);
        c = from_parts(w >> 63, (u >> 52 & 1) ? (w >> 52) % 60 : 2046 - (w >> 52) % 60, w);
        break;
    }
    const double want = hardware_fma(a, b, c);
    if (!same(exact_fma(a, b, c), want)) {
      ++failures;
      ADD_FAILURE() << std::hexfloat << a << " * " << b << " + " << c << ": " << same(exact_fma(a, b, c), want).message();
    }
  }
}

#if LF_GLIBC_LOGF

float float_from_bits(uint32_t u) { return bit_cast<float>(u); }

testing::AssertionResult same_as_logf(float x) {
  const float got = natural_log(x), want = logf(x);
  if (bit_cast<uint32_t>(got) == bit_cast<uint32_t>(want) || (std::isnan(got) && std::isnan(want)))
    return testing::AssertionSuccess();
  char text[96];
  std::snprintf(text, sizeof text, "log(%a) = %a, logf gives %a", x, got, want);
  return testing::AssertionFailure() << text;
}

TEST(NaturalLog, MatchesGlibcLogf) {
  // Every share an entropy bin can hold for C <= 64.
  for (int C = 1; C <= 64; ++C)
    for (int n = 1; n <= C * C; ++n) ASSERT_TRUE(same_as_logf(static_cast<float>(n) / static_cast<float>(C * C)));
  const float special[] = {0.0f, -0.0f, 1.0f, -1.0f, std::numeric_limits<float>::denorm_min(),
                           std::numeric_limits<float>::min(), 0x1.fffffcp-127f, std::numeric_limits<float>::max(),
                           std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                           std::numeric_limits<float>::quiet_NaN(), float_from_bits(0x7f800001u), 0x1.6p-1f,
                           0x1.66p0f, 2.0f, 1e-30f, 1e30f};
  for (float x : special) EXPECT_TRUE(same_as_logf(x));
  // A sample of every float in (0, 1], the range the entropy meets, and of
  // the rest of the positive ones.
  for (uint32_t u = 1; u <= 0x3f800000u; u += LOG_SWEEP_STRIDE) ASSERT_TRUE(same_as_logf(float_from_bits(u)));
  for (uint32_t u = 0x3f800000u; u < 0x7f800000u; u += 16 * LOG_SWEEP_STRIDE + 1) ASSERT_TRUE(same_as_logf(float_from_bits(u)));
}

// Once by hand: every float in (0, 1] (seconds optimised, here 7 s).
TEST(NaturalLog, DISABLED_EveryFloatInUnitInterval) {
  uint64_t wrong = 0;
  for (uint32_t u = 1; u <= 0x3f800000u; ++u) wrong += !same_as_logf(float_from_bits(u));
  EXPECT_EQ(wrong, 0u);
}

TEST(RoundHalfAway, MatchesGlibcRoundf) {
  const float special[] = {0.49999997f, -0.49999997f, 0.5f, -0.5f, 1.5f, 2.5f, -2.5f, 0.0f, -0.0f, -0.3f,
                           8388607.5f, -8388607.5f, 8388608.0f, 16777217.0f, std::numeric_limits<float>::infinity(),
                           std::numeric_limits<float>::quiet_NaN()};
  for (float x : special) {
    const float got = round_half_away(x), want = roundf(x);
    EXPECT_TRUE(bit_cast<uint32_t>(got) == bit_cast<uint32_t>(want) || (std::isnan(got) && std::isnan(want))) << x;
  }
  for (uint64_t u = 0; u < (uint64_t{1} << 32); u += 4099) {
    const float x = float_from_bits(static_cast<uint32_t>(u));
    const float got = round_half_away(x), want = roundf(x);
    ASSERT_TRUE(bit_cast<uint32_t>(got) == bit_cast<uint32_t>(want) || (std::isnan(got) && std::isnan(want))) << x;
  }
}

#endif

}  // namespace
