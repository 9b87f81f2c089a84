// The entropy sweep against the chained whole-field kernels and against the
// literal implementations, on every path, tiling and thread count, and the
// fault it names against the one the chained calls would reject.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "common/portable.h"
#include "common/remapped_light_field.h"
#include "entropy/angular_bins.h"
#include "entropy/varnel_kernel.h"
#include "entropy/sample_range.h"
#include "refocus/refocus_paths.h"
#include "refocus/refocus_remapped.h"
#include "sweep/bin_writer.h"
#include "sweep/entropy_sweep.h"
#include "sweep/refocus_window.h"
#include "tests/path_test.h"
#include "tests/reference/entropy_reference.h"
#include "tests/reference/refocus_reference.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Grid {
  int64_t rows, cols, C;
};

std::vector<double> make_source(const Grid& g, uint32_t seed, double low, double high) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> sample(low, high);
  std::vector<double> s(static_cast<size_t>(rlf_elements(g.rows, g.cols, g.C)));
  for (double& x : s) x = std::round(sample(rng) * 4) / 4;
  return s;
}

struct Swept {
  std::vector<double> entropy, images;
  SweepFault fault{-1, 0, 0.0};
};

// What the modules give shift by shift: refocus into a whole field, then the
// range check and the entropy (chained kernels on the path, or the literal
// implementations). The fault is the first shift the check rejects.
Swept chained(const std::vector<double>& source, const Grid& g, const std::vector<double>& shifts, bool literal,
              VectorPath path) {
  const size_t pixels = static_cast<size_t>(g.rows * g.cols);
  Swept out;
  out.entropy.assign(pixels * shifts.size(), 0.0);
  out.images.assign(pixels * 3 * shifts.size(), 0.0);
  std::vector<double> field(source.size(), 0.0);
  const uint16_t D = static_cast<uint16_t>((g.C - 1) / 2);
  for (size_t s = 0; s < shifts.size(); ++s) {
    double* image = out.images.data() + s * 3 * pixels;
    double* map = out.entropy.data() + s * pixels;
    const auto cols = static_cast<uint16_t>(g.cols), rows = static_cast<uint16_t>(g.rows);
    if (literal)
      refocus_reference(source.data(), field.data(), image, cols, rows, static_cast<uint16_t>(g.C), D, shifts[s]);
    else
      refocus_remapped(source.data(), field.data(), image, cols, rows, static_cast<uint16_t>(g.C), D, shifts[s],
                       path);
    const int64_t bad = first_sample_out_of_range(field.data(), g.rows, g.cols, g.C, kRoundedBinRange);
    if (bad >= 0) {
      out.fault = {static_cast<int64_t>(s), bad, field[static_cast<size_t>(bad)]};
      return out;
    }
    if (literal)
      angular_entropy_mean_reference(field.data(), map, static_cast<int32_t>(g.cols), static_cast<int32_t>(g.rows),
                                     static_cast<int32_t>(g.C));
    else
      angular_entropy_mean(field.data(), map, static_cast<int32_t>(g.cols), static_cast<int32_t>(g.rows),
                           static_cast<int32_t>(g.C), path);
  }
  return out;
}

Swept sweep(VectorPath path, const std::vector<double>& source, const Grid& g, const std::vector<double>& shifts,
            int threads, SweepTiling tiling) {
  const size_t pixels = static_cast<size_t>(g.rows * g.cols);
  Swept out;
  out.entropy.assign(pixels * shifts.size(), -7.0);
  out.images.assign(pixels * 3 * shifts.size(), -7.0);
  out.fault = entropy_sweep(path, source.data(), g.rows, g.cols, g.C, shifts.data(),
                            static_cast<int64_t>(shifts.size()), out.entropy.data(), out.images.data(), threads,
                            tiling);
  return out;
}

class SweepPaths : public PathTest {};

// Every odd C to 15; zero, negative, whole, fractional and far-off shifts;
// tilings that cut the grid into ragged tiles, one tile, or single pixels;
// one, two and three threads. Against the chained kernels on the same path
// for every combination, and against the literal implementations once per
// grid (the chained kernels are tested against them too).
TEST_P(SweepPaths, MatchesChainedKernelsAndLiteralImplementations) {
  const std::vector<double> shifts = {0.0, -0.37, 1.0, -2.0, 0.5, 1.6180339887, -40.25, 1e3};
  const SweepTiling tilings[] = {{}, {3, 2}, {1, 1}, {64, 5}};
  for (int64_t C = 1; C <= 15; C += 2) {
    const Grid g{C <= 9 ? 11 : 6, C <= 9 ? 9 : 5, C};
    const std::vector<double> source = make_source(g, static_cast<uint32_t>(C), 0.0, 255.0);
    const Swept literal = chained(source, g, shifts, true, path());
    const Swept kernels = chained(source, g, shifts, false, path());
    ASSERT_EQ(kernels.fault.shift, -1);
    ASSERT_TRUE(same_bits(kernels.entropy, literal.entropy) && same_bits(kernels.images, literal.images)) << C;
    for (const SweepTiling& tiling : tilings)
      for (int threads : {1, 2, 3}) {
        const Swept got = sweep(path(), source, g, shifts, threads, tiling);
        EXPECT_EQ(got.fault.shift, -1);
        EXPECT_TRUE(same_bits(got.entropy, kernels.entropy))
            << "C " << C << " tiling " << tiling.rows << "x" << tiling.cols << " threads " << threads;
        EXPECT_TRUE(same_bits(got.images, kernels.images))
            << "C " << C << " tiling " << tiling.rows << "x" << tiling.cols << " threads " << threads;
      }
  }
}

// Shifts far apart need a copy of the source too large for one run (the
// item splits into runs), and a tile too large for any copy takes the
// region kernel shift by shift; both against the chained kernels.
TEST_P(SweepPaths, SplitRunsAndUncopiedTilesMatchChainedKernels) {
  const Grid g{70, 24, 9};
  const std::vector<double> source = make_source(g, 11, 0.0, 255.0);
  const std::vector<double> shifts = {0.0, 0.1, 30.0, -30.0, 0.2, kNaN, -0.3, 2.5, 1e300};
  const Swept want = chained(source, g, shifts, false, path());
  ASSERT_EQ(want.fault.shift, 5);  // the NaN shift refocuses NaN samples
  const std::vector<double> first(shifts.begin(), shifts.begin() + 5);
  const Swept expect = chained(source, g, first, false, path());
  for (const SweepTiling& tiling : {SweepTiling{64, 5}, SweepTiling{70, 24}, SweepTiling{}})
    for (int threads : {1, 2}) {
      const Swept got = sweep(path(), source, g, first, threads, tiling);
      EXPECT_TRUE(same_bits(got.entropy, expect.entropy) && same_bits(got.images, expect.images))
          << "tiling " << tiling.rows << "x" << tiling.cols << " threads " << threads;
      const Swept all = sweep(path(), source, g, shifts, threads, tiling);
      EXPECT_EQ(all.fault.shift, want.fault.shift);
      EXPECT_EQ(all.fault.index, want.fault.index);
    }
}

// The fault named is the chained calls' rejection: the first failing shift,
// and in it the first sample of the entropy check's order, across tiles and
// planes. Sources near the range's ends (where the certified shortcut does
// not apply), a single poked sample in a late plane before an earlier
// plane's, and NaN shifts after and before a failing finite one.
TEST_P(SweepPaths, NamesTheShiftPixelAndPlaneTheChainedCallsReject) {
  struct FaultCase {
    Grid g;
    double low, high;
    std::vector<double> shifts;
    std::vector<std::pair<RlfPlace, double>> pokes;
  };
  const Grid small{7, 6, 3};
  const FaultCase cases[] = {
      {small, 0.0, 255.0, {0.0, 0.5, kNaN, 1.0}, {}},
      {small, 0.0, 255.0, {0.3, -1.0}, {{{5, 4, 1, 2, 0}, 300.0}, {{2, 1, 0, 0, 2}, -0.75}}},
      {small, 0.0, 255.0, {0.0}, {{{3, 3, 1, 1, 1}, 255.5}, {{3, 3, 1, 1, 0}, 255.49}}},
      {small, 0.0, 255.0, {2.0, 0.0, kNaN}, {{{0, 0, 2, 2, 1}, kNaN}}},
      {small, 200.0, 255.6, {0.0, 0.25, -0.5}, {}},
      {small, -0.6, 40.0, {1.5, 0.0}, {}},
      {{12, 10, 5}, 0.0, 255.0, {0.1, 0.7}, {{{11, 9, 4, 4, 2}, 1e300}}},
      // Finite, but u * -shift overflows to infinity: NaN values from a safe source.
      {{4, 4, 5}, 0.0, 255.0, {0.5, 1e308}, {}},
  };
  for (const FaultCase& fc : cases) {
    std::vector<double> source = make_source(fc.g, 3, fc.low, fc.high);
    const RemappedLightField field{source.data(), fc.g.rows, fc.g.cols, fc.g.C};
    for (const auto& [p, value] : fc.pokes) source[static_cast<size_t>(rlf_index(field, p.r, p.c, p.a, p.b, p.k))] = value;
    const Swept want = chained(source, fc.g, fc.shifts, true, path());
    ASSERT_GE(want.fault.shift, 0) << "case must fail";
    for (const SweepTiling& tiling : {SweepTiling{}, SweepTiling{2, 3}})
      for (int threads : {1, 3}) {
        const Swept got = sweep(path(), source, fc.g, fc.shifts, threads, tiling);
        EXPECT_EQ(got.fault.shift, want.fault.shift);
        EXPECT_EQ(got.fault.index, want.fault.index) << "shift " << want.fault.shift;
        EXPECT_TRUE(std::memcmp(&got.fault.value, &want.fault.value, sizeof(double)) == 0);
      }
  }
}

// The sweep bins refocused values in registers, rounding by one addition
// and a truncation: the halves, the values beside them and the ends of the
// range against the scalar rule, then sources spanning the ends of the band
// in which it does so against the chained kernels.
TEST_P(SweepPaths, BinsFromRegistersMatchTheScalarRule) {
  std::vector<double> values = {-0.5 + 0x1p-25, -0.25, -0x1p-30, 0.0,     0.5 - 0x1p-25, 0.5 - 0x1p-26, 0.5,
                                0.5 + 0x1p-24,  1.5,   2.5,      127.5,   254.5,         255.25,        255.5 - 0x1p-16};
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> any(-0.49, 255.49), halves(-0.2, 255.2);
  for (int i = 0; i < 4000; ++i) values.push_back(i % 2 ? any(rng) : std::round(halves(rng) * 2) / 2);
  for (size_t i = 0; i + 4 <= values.size(); i += 4) {
    uint8_t pair[2][2], quad[2][4];
    bin_pair<2>(load<2>(&values[i]), load<2>(&values[i + 2]), pair[0], pair[1]);
    bin_pair<4>(load<4>(&values[i]), load<4>(&values[i]), quad[0], quad[1]);
    for (size_t l = 0; l < 4; ++l) {
      EXPECT_EQ(pair[l / 2][l % 2], rounded_bin(values[i + l])) << values[i + l];
      EXPECT_EQ(quad[0][l], rounded_bin(values[i + l])) << values[i + l];
    }
  }
  // The band's ends, then one sample just outside the band (inside the
  // range), which sends the tile through the window's values instead of its
  // bins: C = 9 and rows past a block of eight reach every kind of block.
  for (const Grid& g : {Grid{9, 7, 5}, Grid{17, 10, 9}}) {
    const std::vector<double> shifts = {0.0, 0.5, -1.25, 0.7071};
    std::vector<double> source = make_source(g, 5, -0.25, 255.25);
    for (double poke : {0.0, 255.45}) {
      if (poke != 0.0) source[source.size() / 2] = poke;
      const Swept want = chained(source, g, shifts, false, path());
      const Swept got = sweep(path(), source, g, shifts, 1, {});
      EXPECT_EQ(got.fault.shift, -1);
      EXPECT_TRUE(same_bits(got.entropy, want.entropy) && same_bits(got.images, want.images))
          << "C " << g.C << " poke " << poke;
    }
  }
}

// Each path's window refocuses and bins with vectors of its own width: AVX-512
// with eight rows, not avx2's four (the bits alone cannot tell them apart).
TEST_P(SweepPaths, WindowBinsWithThePathsOwnVectors) {
  const RefocusWindow window(path(), 64, 64, 9, 64, 4);
  EXPECT_EQ(window.bin_width(), path() == VectorPath::avx512 ? 8 : path() == VectorPath::avx2 ? 4 : 2);
}

TEST_P(SweepPaths, EmptyGridsAndShiftListsWriteNothing) {
  const std::vector<double> source(27, 1.0), shifts = {0.5};
  std::vector<double> out(4, -7.0);
  for (const Grid& g : {Grid{0, 3, 3}, Grid{3, 0, 3}}) {
    const SweepFault f = entropy_sweep(path(), source.data(), g.rows, g.cols, g.C, shifts.data(), 1, out.data(),
                                       out.data(), 2);
    EXPECT_EQ(f.shift, -1);
  }
  EXPECT_EQ(entropy_sweep(path(), source.data(), 1, 1, 3, shifts.data(), 0, out.data(), nullptr, 2).shift, -1);
  for (double v : out) EXPECT_EQ(v, -7.0);
}

#if LF_GNU
LF_PATH_TESTS(SweepPaths, {VectorPath::sse2, VectorPath::avx2, VectorPath::avx512, VectorPath::neon});
#else
LF_PATH_TESTS(SweepPaths, {VectorPath::portable});
#endif

}  // namespace
