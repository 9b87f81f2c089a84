// The entropy kernels against their literal oracles on every vector path, the
// range check fused into them, the two bin rules and the walk that names a
// rejected call's first bad sample.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "common/remapped_light_field.h"
#include "entropy/angular_bins.h"
#include "entropy/plane_entropy.h"
#include "entropy/sample_range.h"
#include "entropy/sorting_network.h"
#include "entropy/tressik_kernel.h"
#include "entropy/varnel_kernel.h"
#include "refocus/refocus_remapped.h"
#include "tests/path_test.h"
#include "tests/reference/entropy_reference.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
const double kSentinel = 12345.5;  // never an entropy: marks elements that must stay untouched

// ---------------------------------------------------------------------------
// Summands

// A bin's summand is looked up by its integer count. The histogram's count is
// a float grown by 1.0f, which stops at 2^24: the summand of any larger count
// must be that of the float the literal additions end with.
TEST(EntropyTerms, MatchLiteralCountsUpToSaturation) {
  const struct { int32_t C; uint64_t count; } cases[] = {
      {9, 1}, {9, 40}, {9, 81}, {15, 225}, {40, 1}, {40, 1023}, {40, 1024}, {40, 1025}, {40, 1600},
      {4100, (1u << 24) - 1}, {4100, 1u << 24}, {4100, (1u << 24) + 1}, {4100, (1u << 24) + 12345},
  };
  for (const auto& k : cases) {
    EntropyTerms terms;
    make_entropy_terms(terms, k.C);
    float literal_count = 0.0f;
    for (uint64_t i = 0; i < k.count; ++i) literal_count = literal_count + 1.0f;
    float h[kBins] = {};
    h[17] = literal_count;
    const float want = histogram_entropy_reference(h, k.C);
    const float got = (0.0f + term_of(terms, k.count)) * -1.0f;
    EXPECT_EQ(std::memcmp(&got, &want, sizeof got), 0) << "C = " << k.C << ", count " << k.count;
  }
}

// ---------------------------------------------------------------------------
// Bin rules and their range

TEST(Bins, BoundarySamples) {
  const int kNone = -1;  // outside that rule's range
  const struct { double sample; int rounded, truncated; } cases[] = {
      {2.5, 3, 2}, {2.4999999999, 3, 2},          // narrows to 2.5 first
      {std::nextafter(2.5, 0.0), 3, 2},           // also narrows to 2.5f
      {double(std::nextafter(2.5f, 0.0f)), 2, 2},  // 2.4999998f: rounds down
      {0.49999997, 0, 0}, {0.5, 1, 0}, {-0.4, 0, 0}, {-0.0, 0, 0},
      {std::nextafter(-(0.5 - 0x1p-26), 0.0), 0, 0},  // narrows to -0.49999997f
      {-0.5, kNone, 0}, {-0.9, kNone, 0}, {std::nextafter(-(1.0 - 0x1p-25), 0.0), kNone, 0},
      {2.9, 3, 2}, {2.9999999999, 3, 3},          // narrows to 3.0f before truncation
      {254.5, 255, 254}, {255.49999, 255, 255}, {255.5 - 0x1p-17 - 0x1p-40, 255, 255},
      {255.5, kNone, 255}, {255.9, kNone, 255}, {256.0 - 0x1p-17 - 0x1p-40, kNone, 255},
      {256.0 - 0x1p-17, kNone, kNone}, {256.0, kNone, kNone}, {-1.0, kNone, kNone},
  };
  for (const auto& k : cases) {
    EXPECT_EQ(in_range(k.sample, kRoundedBinRange), k.rounded != kNone) << k.sample;
    EXPECT_EQ(in_range(k.sample, kTruncatedBinRange), k.truncated != kNone) << k.sample;
    if (k.rounded != kNone) EXPECT_EQ(rounded_bin(k.sample), k.rounded) << k.sample;
    if (k.truncated != kNone) EXPECT_EQ(truncated_bin(k.sample), k.truncated) << k.sample;
  }
}

// The double bounds must accept exactly the samples whose single-precision
// value lies strictly inside the range, including the doubles that narrow by
// a tie: checked on every double near each rounding midpoint and on random ones.
TEST(Bins, RangeMatchesNarrowing) {
  const struct { SampleRange range; float low, high; } rules[] = {
      {kRoundedBinRange, -0.5f, 255.5f}, {kTruncatedBinRange, -1.0f, 256.0f}};
  std::mt19937_64 rng(77);
  std::uniform_real_distribution<double> anywhere(-3.0, 260.0);
  for (const auto& rule : rules) {
    auto narrowed_inside = [&](double x) {
      const float f = static_cast<float>(x);
      return f > rule.low && f < rule.high;
    };
    for (float edge : {rule.low, rule.high}) {
      // The midpoints on either side of the excluded single-precision value.
      const double below = (double(edge) + double(std::nextafter(edge, -1e9f))) / 2;
      const double above = (double(edge) + double(std::nextafter(edge, 1e9f))) / 2;
      for (double mid : {below, above, double(edge)}) {
        double x = mid;
        for (int i = 0; i < 300; ++i) x = std::nextafter(x, -kInf);
        for (int i = 0; i < 600; ++i, x = std::nextafter(x, kInf))
          ASSERT_EQ(in_range(x, rule.range), narrowed_inside(x)) << x;
      }
    }
    for (int i = 0; i < 200000; ++i) {
      const double x = anywhere(rng);
      ASSERT_EQ(in_range(x, rule.range), narrowed_inside(x)) << x;
    }
    // Doubles that single precision cannot hold are refused without narrowing.
    for (double x : {kNaN, -kNaN, kInf, -kInf, 1e300, -1e300, 3.5e38, -3.5e38,
                     std::numeric_limits<double>::max(), std::numeric_limits<double>::lowest()})
      EXPECT_FALSE(in_range(x, rule.range)) << x;
  }
}

// ---------------------------------------------------------------------------
// A merge network is right when it merges every pair of sorted runs of
// zeros and ones (the 0-1 principle). The sorts are built of merges of the
// halves their recursion makes, so checking those merges checks the network
// of every C.
TEST(SortingNetwork, MergesEverySortedZeroOnePair) {
  std::set<std::pair<int, int>> halves;
  const auto split = [&](const auto& self, int n) -> void {
    if (n < 2) return;
    halves.insert({n / 2, n - n / 2});
    self(self, n / 2);
    self(self, n - n / 2);
  };
  for (int C = 1; C <= kLaneMaxBlock; ++C) split(split, C * C);
  for (const auto& [m, n] : halves) {
    SortingNetwork net;
    add_merge(net, 0, m, m, n, 1);
    for (int zeros_a = 0; zeros_a <= m; ++zeros_a)
      for (int zeros_b = 0; zeros_b <= n; ++zeros_b) {
        std::vector<uint8_t> x(size_t(m + n), 1);
        std::fill_n(x.begin(), zeros_a, uint8_t{0});
        std::fill_n(x.begin() + m, zeros_b, uint8_t{0});
        for (int q = 0; q < net.size; ++q) {
          uint8_t& low = x[net.comparators[q].low];
          uint8_t& high = x[net.comparators[q].high];
          if (low > high) std::swap(low, high);
        }
        ASSERT_TRUE(std::is_sorted(x.begin(), x.end())) << m << " + " << n << ", zeros " << zeros_a << " + " << zeros_b;
      }
  }
}

// The walk that names the first bad sample of a rejected call

struct Fault {
  int64_t r, c, a, b, k;
  double value;
};

std::vector<double> in_range_samples(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> sample(0, 255);
  std::vector<double> s(n);
  for (double& x : s) x = sample(rng);
  return s;
}

TEST(SampleRange, ReportsFirstFaultInVisitingOrder) {
  const struct {
    const char* name;
    int64_t rows, cols, C;
    std::vector<Fault> faults;
    int first;  // index into faults of the one to report, -1 for none
  } cases[] = {
      {"all in range", 3, 4, 3, {}, -1},
      {"one NaN", 3, 4, 3, {{2, 1, 0, 2, 1, kNaN}}, 0},
      // Memory order would give the plane 0 sample of the later pixel.
      {"pixel before plane", 3, 2, 2, {{1, 0, 0, 0, 0, 300.0}, {0, 0, 1, 1, 2, -7.0}}, 1},
      // (a, b) = (1, 0) lies before (0, 1) in memory; the visit takes (0, 1) first.
      {"angular row before column", 1, 1, 3, {{0, 0, 1, 0, 0, 300.0}, {0, 0, 0, 1, 0, 300.0}}, 1},
      {"plane order within a sample", 2, 2, 2, {{1, 1, 1, 1, 2, kInf}, {1, 1, 1, 1, 1, -kInf}}, 1},
      {"columns before rows", 2, 3, 2, {{1, 0, 0, 0, 0, 1e300}, {0, 2, 1, 1, 2, -1e300}}, 1},
      {"rows = 0 reads nothing", 0, 4, 3, {}, -1},
      {"C = 0 reads nothing", 3, 4, 0, {}, -1},
  };
  for (const auto& k : cases) {
    const size_t n = rlf_elements(k.rows, k.cols, k.C);
    std::vector<double> s = in_range_samples(n + 1, 5);
    s[n] = kNaN;  // beyond the field: never read
    const RemappedLightField field{s.data(), k.rows, k.cols, k.C};
    for (const Fault& f : k.faults) s[rlf_index(field, f.r, f.c, f.a, f.b, f.k)] = f.value;
    int64_t want = -1;
    if (k.first >= 0) {
      const Fault& f = k.faults[k.first];
      want = rlf_index(field, f.r, f.c, f.a, f.b, f.k);
    }
    for (SampleRange range : {kRoundedBinRange, kTruncatedBinRange})
      EXPECT_EQ(first_sample_out_of_range(s.data(), k.rows, k.cols, k.C, range), want) << k.name;
  }
}

// ---------------------------------------------------------------------------
// Kernels

enum class Samples { kIntegers, kFractions, kHalves, kFewValues, kTwoValues, kConstant, kExtremes, kSmooth, kRefocused };

// A blurred random texture per plane, seen from every angular position with a
// small parallax and rounded to whole intensities: neighbouring samples agree
// or differ by a little, as in a captured light field.
std::vector<double> smooth_field(int64_t rows, int64_t cols, int64_t C, std::mt19937& rng) {
  const int64_t margin = 4, h = rows + 2 * margin, w = cols + 2 * margin;
  std::uniform_real_distribution<double> noise(0.0, 255.0);
  std::vector<double> field(rlf_elements(rows, cols, C)), texture(h * w), blurred(h * w);
  const RemappedLightField view{field.data(), rows, cols, C};
  for (int64_t k = 0; k < 3; ++k) {
    for (double& t : texture) t = noise(rng);
    for (int64_t y = 0; y < h; ++y)
      for (int64_t x = 0; x < w; ++x) {
        double sum = 0;
        for (int64_t dy = -2; dy <= 2; ++dy)
          for (int64_t dx = -2; dx <= 2; ++dx)
            sum += texture[std::clamp<int64_t>(y + dy, 0, h - 1) + std::clamp<int64_t>(x + dx, 0, w - 1) * h];
        blurred[y + x * h] = sum / 25;
      }
    for (int64_t r = 0; r < rows; ++r)
      for (int64_t c = 0; c < cols; ++c)
        for (int64_t a = 0; a < C; ++a)
          for (int64_t b = 0; b < C; ++b) {
            const double y = r + margin + 0.3 * (a - (C - 1) / 2.0), x = c + margin + 0.3 * (b - (C - 1) / 2.0);
            const int64_t y0 = int64_t(std::floor(y)), x0 = int64_t(std::floor(x));
            const double fy = y - y0, fx = x - x0;
            auto t = [&](int64_t yy, int64_t xx) { return blurred[yy + xx * h]; };
            const double v = (1 - fy) * ((1 - fx) * t(y0, x0) + fx * t(y0, x0 + 1)) +
                             fy * ((1 - fx) * t(y0 + 1, x0) + fx * t(y0 + 1, x0 + 1));
            field[rlf_index(view, r, c, a, b, k)] = std::round(v);
          }
  }
  return field;
}

// Samples in range of both rules when `truncated` is false, of the truncated
// rule only (up to 256) when it is true.
std::vector<double> make_source(int64_t rows, int64_t cols, int64_t C, Samples kind, bool truncated,
                                std::mt19937& rng) {
  if (kind == Samples::kSmooth || kind == Samples::kRefocused) {
    std::vector<double> field = smooth_field(rows, cols, C, rng);
    if (kind == Samples::kSmooth) return field;
    // olmarin's output: fractional weighted sums of whole intensities.
    std::vector<double> refocused(field.size()), image(size_t(rows * cols * 3));
    refocus_remapped(field.data(), refocused.data(), image.data(), uint16_t(cols), uint16_t(rows), uint16_t(C),
                     uint16_t((C - 1) / 2), 0.43);
    return refocused;
  }
  const SampleRange range = truncated ? kTruncatedBinRange : kRoundedBinRange;
  std::uniform_int_distribution<int> whole(0, 255), few(0, 2), coin(0, 3), bit(0, 1);
  std::uniform_real_distribution<double> fraction(range.above, range.below);
  const double few_values[] = {3.0, 3.25, 200.0};
  const double constant = whole(rng);
  std::vector<double> s(rlf_elements(rows, cols, C));
  for (double& x : s) {
    switch (kind) {
      case Samples::kIntegers: x = whole(rng); break;
      case Samples::kFractions: x = fraction(rng); break;
      case Samples::kHalves: {
        const double h = whole(rng) + 0.5;  // 255.5 is excluded below for rounding
        const double options[] = {h, std::nextafter(h, 0.0), double(std::nextafter(float(h), 0.0f)), h - 1.0};
        x = options[coin(rng)];
        if (!in_range(x, range)) x = 255.0;
        break;
      }
      case Samples::kFewValues: x = few_values[few(rng)]; break;
      case Samples::kTwoValues: x = 10.0 + bit(rng); break;  // every 0-1 pattern the sort can meet
      case Samples::kConstant: x = constant; break;         // one run of C^2 in every pixel
      case Samples::kExtremes: {
        const double options[] = {std::nextafter(range.above, kInf), std::nextafter(range.below, -kInf), -0.0, 0.0};
        x = options[coin(rng)];
        break;
      }
      default: break;
    }
  }
  return s;
}

struct KernelCase {
  int32_t rows, cols, C;
  Samples kind;
};

std::string describe(const KernelCase& k) {
  return "rows " + std::to_string(k.rows) + " cols " + std::to_string(k.cols) + " C " + std::to_string(k.C) +
         " samples " + std::to_string(int(k.kind));
}

void expect_mean_matches(VectorPath path, const KernelCase& k, std::mt19937& rng) {
  const std::vector<double> source = make_source(k.rows, k.cols, k.C, k.kind, false, rng);
  const size_t pixels = saturating_product({k.rows, k.cols});
  std::vector<double> got(pixels + 3, kSentinel), want = got;
  EXPECT_TRUE(angular_entropy_mean(source.data(), got.data(), k.cols, k.rows, k.C, path)) << describe(k);
  angular_entropy_mean_reference(source.data(), want.data(), k.cols, k.rows, k.C);
  EXPECT_TRUE(same_bits(got, want)) << "varnel " << describe(k);
  for (size_t i = pixels; i < got.size(); ++i) EXPECT_EQ(got[i], kSentinel) << "written past the map";
}

void expect_channels_match(VectorPath path, const KernelCase& k, std::mt19937& rng) {
  const uint16_t rows = uint16_t(k.rows), cols = uint16_t(k.cols), C = uint16_t(k.C);
  const std::vector<double> source = make_source(rows, cols, C, k.kind, true, rng);
  const size_t pixels = size_t{rows} * cols;
  std::vector<double> got[3], want[3];
  for (int p = 0; p < 3; ++p) got[p] = want[p] = std::vector<double>(pixels + 3, kSentinel);
  EXPECT_TRUE(angular_entropy_channels(source.data(), got[0].data(), got[1].data(), got[2].data(), cols, rows,
                                       C, path))
      << describe(k);
  angular_entropy_channels_reference(source.data(), want[0].data(), want[1].data(), want[2].data(), cols,
                                     rows, C);
  for (int p = 0; p < 3; ++p) {
    EXPECT_TRUE(same_bits(got[p], want[p])) << "tressik map " << p << " " << describe(k);
    for (size_t i = pixels; i < got[p].size(); ++i) EXPECT_EQ(got[p][i], kSentinel) << "written past map " << p;
  }
}

class EntropyKernel : public PathTest {};

// Every leftover of a group of pixels (the widest path takes 64 of a column at
// once), every C up to the portable fallback at 16 and 17, the kinds of
// samples that reach each edge of binning and sorting, rows beyond one chunk
// of binned samples, and random calls with negative or zero sizes (varnel: C
// <= 0 gives negative zero everywhere; rows or cols <= 0 writes nothing).
TEST_P(EntropyKernel, MatchesReference) {
  std::vector<KernelCase> cases;
  for (int32_t rows = 0; rows < 64; ++rows)
    for (int32_t extra : {0, 64}) cases.push_back({rows + extra, 2, 3, Samples::kIntegers});
  for (int32_t C = 1; C <= 17; ++C)
    for (Samples kind : {Samples::kIntegers, Samples::kTwoValues, Samples::kConstant, Samples::kFewValues})
      cases.push_back({70, 1, C, kind});
  for (int32_t C : {2, 5, 9, 11, 12, 15})
    for (Samples kind : {Samples::kSmooth, Samples::kRefocused, Samples::kFractions, Samples::kHalves,
                         Samples::kExtremes})
      cases.push_back({67, 3, C, kind});
  cases.push_back({600, 1, 15, Samples::kRefocused});
  cases.push_back({1600, 1, 9, Samples::kIntegers});
  std::mt19937 rng(77);
  for (const KernelCase& k : cases) {
    expect_mean_matches(path(), k, rng);
    expect_channels_match(path(), k, rng);
  }
  std::uniform_int_distribution<int> size(-2, 8), block(-2, 11), kind(0, 6);
  for (int i = 0; i < 200; ++i) {
    const KernelCase k{size(rng), size(rng), block(rng), Samples(kind(rng))};
    expect_mean_matches(path(), k, rng);
    expect_channels_match(path(), {std::max(k.rows, 0), std::max(k.cols, 0), std::max(k.C, 0), k.kind}, rng);
  }
}

// One sample outside the rule's range, of every kind, at the first, a middle
// and the last place the kernels read, in each plane: the check fused into the
// pass must report it (and bin it without undefined conversions).
TEST_P(EntropyKernel, ReportsEverySampleOutOfRange) {
  const double beyond_float = 3.5e38;
  const struct { bool rounded; SampleRange range; } rules[] = {{true, kRoundedBinRange}, {false, kTruncatedBinRange}};
  const KernelCase shapes[] = {{1, 1, 1, Samples::kIntegers}, {67, 2, 9, Samples::kIntegers},
                               {64, 1, 15, Samples::kIntegers}, {5, 3, 16, Samples::kIntegers},
                               {33, 2, 4, Samples::kIntegers}};
  std::mt19937 rng(9);
  for (const auto& rule : rules)
    for (const KernelCase& k : shapes) {
      const std::vector<double> clean = make_source(k.rows, k.cols, k.C, k.kind, false, rng);
      const RemappedLightField field{clean.data(), k.rows, k.cols, k.C};
      const int64_t places[3][4] = {{0, 0, 0, 0}, {k.rows / 2, k.cols / 2, k.C / 2, (k.C - 1) / 3},
                                    {k.rows - 1, k.cols - 1, k.C - 1, k.C - 1}};
      for (double bad : {rule.range.above, rule.range.below, kNaN, -kNaN, kInf, -kInf, 1e300, -1e300,
                         beyond_float, -beyond_float})
        for (const auto& at : places)
          for (int64_t plane = 0; plane < 3; ++plane) {
            std::vector<double> source = clean;
            source[rlf_index(field, at[0], at[1], at[2], at[3], plane)] = bad;
            std::vector<double> maps(3 * size_t(k.rows) * k.cols);
            double* m = maps.data();
            const size_t n = size_t(k.rows) * k.cols;
            const bool inside =
                rule.rounded ? angular_entropy_mean(source.data(), m, k.cols, k.rows, k.C, path())
                             : angular_entropy_channels(source.data(), m, m + n, m + 2 * n, uint16_t(k.cols),
                                                        uint16_t(k.rows), uint16_t(k.C), path());
            EXPECT_FALSE(inside) << (rule.rounded ? "varnel " : "tressik ") << describe(k) << " value " << bad
                                 << " at pixel (" << at[0] << ", " << at[1] << ") plane " << plane;
          }
    }
}

// Every path's kernels come from its own instruction-set file: all paths give
// the same bits, so the tests above would not see a path wired to another's
// table, which runs that set's instructions on a CPU that may lack them (or a
// set's bins read in another set's group layout).
TEST_P(EntropyKernel, TableIsThePathsOwn) {
  const struct { VectorPath path; int64_t lanes; } widths[] = {
      {VectorPath::portable, 0}, {VectorPath::sse2, 16}, {VectorPath::avx2, 32}, {VectorPath::avx512, 64},
      {VectorPath::neon, 16}};
  for (const auto& w : widths)
    if (w.path == path()) {
      const EntropyKernels& kernels = entropy_kernels(path());
      EXPECT_EQ(kernels.lanes, w.lanes) << path_name(path());
      EXPECT_EQ(kernels.binned != nullptr, w.lanes > 0) << path_name(path());
      EXPECT_EQ(binned_lanes(path(), kLaneMaxBlock), w.lanes) << path_name(path());
      EXPECT_EQ(binned_lanes(path(), kLaneMaxBlock + 1), 0) << path_name(path());
    }
}

LF_PATH_TESTS(EntropyKernel, {VectorPath::portable, VectorPath::sse2, VectorPath::avx2, VectorPath::avx512,
                              VectorPath::neon});

// The oracle itself against values the definition fixes: one bin scores
// negative zero, two equal halves ln 2, C^2 distinct bins ln(C^2).
TEST(EntropyReference, DefinedValues) {
  const struct { const char* name; int32_t C; std::vector<double> plane0; double plane0_entropy; } cases[] = {
      {"one bin", 3, std::vector<double>(9, 7.0), 0.0},
      {"two halves", 2, {10.0, 20.0, 10.0, 20.0}, std::log(2.0)},
      {"4 + 5 split", 3, {0, 0, 0, 0, 255, 255, 255, 255, 255}, -(4.0 / 9 * std::log(4.0 / 9) + 5.0 / 9 * std::log(5.0 / 9))},
      {"C^2 distinct bins, C = 16", 16, {}, std::log(256.0)},
  };
  for (const auto& k : cases) {
    std::vector<double> source(rlf_elements(1, 1, k.C), 100.0);  // planes 1 and 2: one bin
    for (int64_t i = 0; i < int64_t{k.C} * k.C; ++i) source[i] = k.plane0.empty() ? double(i) : k.plane0[i];
    double mean = kSentinel, maps[3] = {kSentinel, kSentinel, kSentinel};
    angular_entropy_mean_reference(source.data(), &mean, 1, 1, k.C);
    angular_entropy_channels_reference(source.data(), &maps[0], &maps[1], &maps[2], 1, 1, uint16_t(k.C));
    for (int p = 1; p < 3; ++p) EXPECT_TRUE(maps[p] == 0.0 && std::signbit(maps[p])) << k.name;
    if (k.plane0_entropy == 0.0) {
      EXPECT_TRUE(maps[0] == 0.0 && std::signbit(maps[0]) && mean == 0.0 && std::signbit(mean)) << k.name;
    } else {
      EXPECT_NEAR(maps[0], k.plane0_entropy, 4e-6 * k.plane0_entropy) << k.name;
      EXPECT_NEAR(mean, k.plane0_entropy / 3, 4e-6 * k.plane0_entropy) << k.name;
    }
  }
}

}  // namespace
