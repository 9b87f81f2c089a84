// The refocus kernel against its literal oracle, and the properties that a
// wrong shift, weight or clamp would break.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "common/portable.h"
#include "common/remapped_light_field.h"
#include "refocus/refocus_paths.h"
#include "refocus/refocus_region.h"
#include "refocus/refocus_remapped.h"
#include "tests/path_test.h"
#include "tests/reference/refocus_reference.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
// Never produced by the kernel's arithmetic on the samples used here: marks
// positions that must stay untouched.
const double kSentinel = -12345.678;

struct Case {
  uint16_t rows, cols, C, D;
  double alpha;
};

struct Arrays {
  std::vector<double> source, destination, image;
};

Arrays make_run(const Case& k, uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> sample(-2.0, 300.0);
  Arrays run;
  const size_t n = rlf_elements(k.rows, k.cols, k.C);
  run.source.resize(n);
  for (double& s : run.source) s = sample(rng);
  run.destination.assign(n, kSentinel);
  run.image.assign(size_t{k.rows} * k.cols * 3, kSentinel);
  return run;
}

Arrays run_kernel(const Case& k, const Arrays& input) {
  Arrays out = input;
  refocus_remapped(out.source.data(), out.destination.data(), out.image.data(), k.cols, k.rows, k.C, k.D,
                   k.alpha);
  return out;
}

Arrays run_path(VectorPath path, const Case& k, const Arrays& input) {
  Arrays out = input;
  refocus_remapped(out.source.data(), out.destination.data(), out.image.data(), k.cols, k.rows, k.C, k.D, k.alpha,
                   path);
  return out;
}

Arrays run_reference(const Case& k, const Arrays& input) {
  Arrays out = input;
  refocus_reference(out.source.data(), out.destination.data(), out.image.data(), k.cols, k.rows, k.C, k.D,
                    k.alpha);
  return out;
}

void expect_matches_reference(VectorPath path, const Case& k, uint32_t seed) {
  const Arrays input = make_run(k, seed);
  const Arrays want = run_reference(k, input);
  const Arrays got = run_path(path, k, input);
  EXPECT_TRUE(same_bits(got.destination, want.destination))
      << "destination, rows " << k.rows << " cols " << k.cols << " C " << k.C << " D " << k.D << " alpha " << k.alpha;
  EXPECT_TRUE(same_bits(got.image, want.image))
      << "image, rows " << k.rows << " cols " << k.cols << " C " << k.C << " D " << k.D << " alpha " << k.alpha;
  EXPECT_TRUE(same_bits(got.source, input.source)) << "source changed";
}

class RefocusPaths : public PathTest {};

// Visits every written position: (pixel, angular offset, plane).
template <class F> void for_each_visited(const Case& k, F f) {
  const RemappedLightField field{nullptr, k.rows, k.cols, k.C};
  for (int64_t c = 0; c < k.cols; ++c)
    for (int64_t r = 0; r < k.rows; ++r)
      for (int64_t u = -k.D; u <= k.D; ++u)
        for (int64_t v = -k.D; v <= k.D; ++v)
          for (int64_t p = 0; p < 3; ++p) f(r, c, u, v, p, rlf_index(field, r, c, k.D + v, k.D + u, p));
}

TEST_P(RefocusPaths, MatchesReferenceOnEdgeCases) {
  const Case cases[] = {
      {5, 7, 3, 1, 0.0},      {5, 7, 3, 1, -0.0},    {4, 6, 1, 0, 0.37},     {4, 6, 1, 0, -7.5},
      {6, 5, 5, 2, 1.0},      {6, 5, 5, 2, -2.0},    {6, 5, 5, 2, 0.37},     {6, 5, 5, 2, -1.25},
      {3, 4, 9, 4, 0.5},      {3, 4, 9, 4, 100.25},  {3, 4, 9, 4, -100.25},  {7, 3, 7, 2, 0.6},
      {0, 5, 3, 1, 0.5},      {5, 0, 3, 1, 0.5},     {1, 1, 3, 1, 0.5},      {1, 6, 3, 1, 0.5},
      {6, 1, 3, 1, -0.5},     {4, 4, 3, 1, 3e8},     {4, 4, 3, 1, -3e8},     {4, 4, 3, 1, 1e300},
      {4, 4, 3, 1, -1e300},   {4, 4, 3, 1, kNaN},    {4, 4, 3, 1, kInf},     {4, 4, 3, 1, -kInf},
      {4, 4, 3, 1, 2147483647.5}, {4, 4, 3, 1, std::numeric_limits<double>::denorm_min()},
      {5, 4, 11, 4, 0.37},    {5, 4, 6, 2, -0.8},
  };
  uint32_t seed = 1;
  for (const Case& k : cases) expect_matches_reference(path(), k, seed++);
}

TEST_P(RefocusPaths, MatchesReferenceOnRandomCalls) {
  std::mt19937 rng(20261208);
  std::uniform_int_distribution<int> size(0, 13), radius(0, 4), extra(0, 2), pick(0, 5);
  std::uniform_real_distribution<double> fraction(-3.0, 3.0);
  for (int i = 0; i < 300; ++i) {
    Case k;
    k.rows = static_cast<uint16_t>(size(rng));
    k.cols = static_cast<uint16_t>(size(rng));
    k.D = static_cast<uint16_t>(radius(rng));
    k.C = static_cast<uint16_t>(2 * k.D + 1 + extra(rng));
    switch (pick(rng)) {
      case 0: k.alpha = std::round(fraction(rng)); break;                      // whole pixels
      case 1: k.alpha = fraction(rng) * 1e6; break;                            // beyond every border
      case 2: k.alpha = std::ldexp(std::round(fraction(rng) * 8), -3); break;  // exact halves, eighths
      default: k.alpha = fraction(rng); break;
    }
    expect_matches_reference(path(), k, static_cast<uint32_t>(i) + 1000);
  }
}

// The kernel works on tiles of rows (256 for C = 9, fewer for larger C), in
// blocks of vector width, and takes slot rows per offset: every count of
// leftover rows modulo the vector widths and the tile, tile boundaries,
// shifts that clamp at the top and bottom, shifts that do not fit one shared
// window of rows (large alpha), and offsets in several chunks (C = 289).
TEST_P(RefocusPaths, MatchesReferenceOnEveryTilingOfRows) {
  std::vector<Case> cases;
  for (uint16_t rows = 1; rows <= 19; ++rows) cases.push_back({rows, 3, 9, 4, 0.37});
  for (uint16_t rows : {255, 256, 257, 259, 263, 512 + 5})
    for (double alpha : {0.37, -1.6}) cases.push_back({rows, 2, 9, 4, alpha});
  for (uint16_t rows : {150, 152, 153, 157}) cases.push_back({rows, 2, 15, 7, -0.45});
  for (uint16_t rows : {256, 262}) cases.push_back({rows, 3, 5, 2, 0.8});
  for (double alpha : {9.7, -13.25, 40.5}) cases.push_back({300, 3, 9, 4, alpha});
  // Each block side that has its own copy (C = 2D + 1 for C = 5 .. 15), beside
  // the same sides with a block position left unvisited (the general copy).
  for (uint16_t D = 2; D <= 7; ++D)
    for (uint16_t extra : {0, 1}) cases.push_back({37, 3, static_cast<uint16_t>(2 * D + 1 + extra), D, -0.61});
  cases.push_back({9, 1, 289, 144, 0.31});
  cases.push_back({17, 2, 290, 144, -0.07});
  uint32_t seed = 500;
  for (const Case& k : cases) expect_matches_reference(path(), k, seed++);
}

// Shifts whose position x + r rounds onto the next integer for some rows but
// not others (x a tiny negative or a value just below an integer): the rows
// of a block are then not consecutive and must be taken one by one.
TEST_P(RefocusPaths, MatchesReferenceWhenRoundingSkipsARow) {
  const double just_below = std::nextafter(0.25, 0.0);
  const Case cases[] = {{40, 3, 9, 4, 1e-17},  {40, 3, 9, 4, -1e-17}, {300, 2, 9, 4, 3e-14},
                        {300, 2, 9, 4, just_below}, {64, 2, 5, 2, std::nextafter(1.0, 2.0)},
                        {64, 2, 5, 2, std::ldexp(1.0, -52)}};
  uint32_t seed = 900;
  for (const Case& k : cases) expect_matches_reference(path(), k, seed++);
}

TEST(RefocusRemapped, ZeroShiftCopiesVisitedSamplesAndAveragesByBlockArea) {
  for (const Case k : {Case{5, 4, 3, 1, 0.0}, Case{4, 3, 6, 2, 0.0}, Case{3, 3, 1, 0, 0.0}}) {
    const Arrays in = make_run(k, 7);
    const Arrays out = run_kernel(k, in);
    std::vector<double> sum(size_t{k.rows} * k.cols * 3, 0.0);
    for_each_visited(k, [&](int64_t r, int64_t c, int64_t, int64_t, int64_t p, int64_t i) {
      EXPECT_EQ(out.destination[i], in.source[i]);
      sum[image_index(k.rows, k.cols, r, c, p)] += in.source[i];
    });
    for (size_t i = 0; i < sum.size(); ++i) EXPECT_EQ(out.image[i], sum[i] / (k.C * k.C)) << i;
  }
}

TEST(RefocusRemapped, BlockPositionsBeyondTwiceTheRadiusStayUntouched) {
  const Case k{4, 5, 7, 2, 0.37};
  const Arrays out = run_kernel(k, make_run(k, 3));
  std::vector<bool> visited(out.destination.size(), false);
  for_each_visited(k, [&](int64_t, int64_t, int64_t, int64_t, int64_t, int64_t i) { visited[i] = true; });
  for (size_t i = 0; i < visited.size(); ++i)
    EXPECT_EQ(visited[i], out.destination[i] != kSentinel) << "position " << i;
}

// Whole-pixel shifts, including ones far past every border and the enormous
// alpha whose neighbour choice is ours: every value is the sample of the
// neighbour block, at the same angular position, that the clamped shift names.
TEST(RefocusRemapped, WholePixelShiftsCopyClampedNeighbourSamples) {
  const Case cases[] = {{5, 6, 5, 2, 1.0}, {5, 6, 5, 2, -2.0}, {5, 6, 5, 2, 9.0}, {5, 6, 5, 2, 1e300},
                        {5, 6, 5, 2, -1e300}, {5, 6, 5, 2, 3e8}};
  for (const Case& k : cases) {
    const Arrays in = make_run(k, 11);
    const Arrays out = run_kernel(k, in);
    const RemappedLightField field{nullptr, k.rows, k.cols, k.C};
    auto shifted = [&](int64_t x, int64_t offset, int64_t bound) {
      const double p = static_cast<double>(offset) * -k.alpha + static_cast<double>(x);
      return p <= 0 ? 0 : p >= bound - 1 ? bound - 1 : static_cast<int64_t>(p);
    };
    for_each_visited(k, [&](int64_t r, int64_t c, int64_t u, int64_t v, int64_t p, int64_t i) {
      const int64_t from = rlf_index(field, shifted(r, v, k.rows), shifted(c, u, k.cols), k.D + v, k.D + u, p);
      EXPECT_EQ(out.destination[i], in.source[from]) << "alpha " << k.alpha << " at " << i;
    });
  }
}

// With one column of blocks, positive alpha at u > 0 looks left of column 0:
// a wrong sign would read an unclamped column.
TEST(RefocusRemapped, NegativeAlphaShiftsTheOtherWay) {
  const Case k{1, 3, 3, 1, 1.0};
  Arrays in = make_run(k, 5);
  const RemappedLightField field{nullptr, k.rows, k.cols, k.C};
  for (const double alpha : {1.0, -1.0}) {
    Case kk = k;
    kk.alpha = alpha;
    const Arrays out = run_kernel(kk, in);
    // Offset u = +1 of pixel column 1 reads column 1 - alpha.
    const int64_t from_col = alpha > 0 ? 0 : 2;
    EXPECT_EQ(out.destination[rlf_index(field, 0, 1, 1, 2, 0)], in.source[rlf_index(field, 0, from_col, 1, 2, 0)]);
  }
}

TEST(RefocusRemapped, NonFiniteAlphaWritesNaNEverywhere) {
  for (const double alpha : {kNaN, kInf, -kInf}) {
    const Case k{4, 3, 5, 2, alpha};
    const Arrays out = run_kernel(k, make_run(k, 2));
    for_each_visited(k, [&](int64_t, int64_t, int64_t, int64_t, int64_t, int64_t i) {
      EXPECT_TRUE(std::isnan(out.destination[i])) << i;
    });
    for (double v : out.image) EXPECT_TRUE(std::isnan(v));
  }
}

TEST(RefocusRemapped, EmptyGridWritesNothing) {
  for (const Case k : {Case{0, 4, 3, 1, 0.5}, Case{4, 0, 3, 1, 0.5}}) {
    std::vector<double> destination(8, kSentinel), image(8, kSentinel);
    const double source[1] = {1.0};
    refocus_remapped(source, destination.data(), image.data(), k.cols, k.rows, k.C, k.D, k.alpha);
    for (double v : destination) EXPECT_EQ(v, kSentinel);
    for (double v : image) EXPECT_EQ(v, kSentinel);
  }
}

// A rectangle of pixels and planes refocused into an array of its own
// layout holds, bit for bit, the whole field's values of those pixels: every
// position inside and at the edge of the grid, rectangles of one pixel, and
// rectangles wider and taller than the kernel's own tiles of rows and columns.
TEST_P(RefocusPaths, RegionMatchesWholeField) {
  struct RegionCase {
    Case k;
    int64_t r_begin, r_end, c_begin, c_end, k_begin, k_end;
  };
  const RegionCase cases[] = {
      {{9, 7, 3, 1, 0.37}, 2, 7, 1, 5, 0, 3},      {{9, 7, 3, 1, -1.6}, 0, 9, 0, 7, 1, 2},
      {{9, 7, 9, 4, 2.25}, 8, 9, 6, 7, 2, 3},      {{9, 7, 9, 4, -0.5}, 0, 1, 0, 7, 0, 1},
      {{300, 20, 5, 2, 0.8}, 3, 290, 2, 19, 0, 3}, {{40, 5, 15, 7, -3.1}, 5, 37, 1, 4, 1, 3},
      {{6, 4, 1, 0, 7.5}, 1, 5, 1, 3, 0, 3},       {{12, 9, 7, 3, 40.5}, 4, 12, 0, 9, 0, 2},
  };
  uint32_t seed = 70;
  for (const RegionCase& rc : cases) {
    const Case& k = rc.k;
    const Arrays whole = run_path(path(), k, make_run(k, seed++));
    const int64_t nr = rc.r_end - rc.r_begin, nc = rc.c_end - rc.c_begin, np = rc.k_end - rc.k_begin, C = k.C;
    // Padded strides: the region must honour the strides it is given.
    const int64_t height = nr * C + 3, plane = height * nc * C + 5, image_rows = nr + 2, image_plane = image_rows * nc + 1;
    std::vector<double> destination(static_cast<size_t>(plane * np), kSentinel);
    std::vector<double> image(static_cast<size_t>(image_plane * np), kSentinel);
    const RefocusRegion region{rc.r_begin, rc.r_end, rc.c_begin, rc.c_end, rc.k_begin, rc.k_end,
                               destination.data(), height, plane, image.data(), image_rows, image_plane,
                               seed % 2 == 0};
    refocus_region(whole.source.data(), k.cols, k.rows, k.C, k.D, k.alpha, region, path());
    const RemappedLightField field{nullptr, k.rows, k.cols, k.C};
    int64_t differ = 0;
    for (int64_t p = rc.k_begin; p < rc.k_end; ++p)
      for (int64_t c = rc.c_begin; c < rc.c_end; ++c)
        for (int64_t r = rc.r_begin; r < rc.r_end; ++r) {
          const double got = image[(r - rc.r_begin) + (c - rc.c_begin) * image_rows + (p - rc.k_begin) * image_plane];
          differ += std::memcmp(&got, &whole.image[image_index(k.rows, k.cols, r, c, p)], sizeof got) != 0;
          for (int64_t b = 0; b < C; ++b)
            for (int64_t a = 0; a < C; ++a) {
              const double v = destination[(r - rc.r_begin) * C + a + ((c - rc.c_begin) * C + b) * height +
                                           (p - rc.k_begin) * plane];
              differ += std::memcmp(&v, &whole.destination[rlf_index(field, r, c, a, b, p)], sizeof v) != 0;
            }
        }
    EXPECT_EQ(differ, 0) << "rows " << k.rows << " cols " << k.cols << " C " << k.C << " alpha " << k.alpha;
    int64_t written = 0;
    for (double v : destination) written += v != kSentinel;
    EXPECT_EQ(written, nr * C * nc * C * np) << "writes outside the region's own positions";
  }
}

// Every path of the library reaches a compiled copy of the kernel, those
// without one of their own (avx512; portable in a build with vectors) too:
// a copy compiled for one block side, one for any side.
TEST(RefocusRemapped, EveryLibraryPathMatchesReference) {
  const Case cases[] = {{9, 10, 9, 4, 0.37}, {6, 8, 7, 3, -1.25}, {5, 6, 6, 2, 0.6}};
  for (VectorPath path : kVectorPaths) {
    if (!path_available(path)) continue;
    SCOPED_TRACE(path_name(path));
    uint32_t seed = 90;
    for (const Case& k : cases) expect_matches_reference(path, k, seed++);
  }
}

#if LF_GNU
LF_PATH_TESTS(RefocusPaths, {VectorPath::sse2, VectorPath::avx2, VectorPath::neon});
#else
LF_PATH_TESTS(RefocusPaths, {VectorPath::portable});
#endif

}  // namespace
