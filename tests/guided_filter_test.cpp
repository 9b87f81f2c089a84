// The guided filter kernel against its literal implementation, bit for bit,
// on one thread and on several.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "filter/guided_filter.h"
#include "tests/reference/guided_filter_reference.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

enum class Values { random, grey, constant, steps };

// Seeded values: random reals, whole grey levels 0..255, one constant, or
// two levels split by a vertical edge (where the filter should keep it).
std::vector<double> make(Values kind, int64_t rows, int64_t cols, int64_t slices, double scale, uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  std::vector<double> x(static_cast<size_t>(rows * cols * slices));
  for (size_t k = 0; k < x.size(); ++k) {
    const int64_t c = static_cast<int64_t>(k) / rows % std::max<int64_t>(cols, 1);
    switch (kind) {
      case Values::random: x[k] = u(rng) * scale; break;
      case Values::grey: x[k] = std::floor(u(rng) * 256.0); break;
      // A value whose sums round, as few constants in 0..255 would.
      case Values::constant: x[k] = scale / 7.0; break;
      case Values::steps: x[k] = (c < cols / 2 ? 0.25 : 0.75) * scale + u(rng) * 1e-3; break;
    }
  }
  return x;
}

struct Case {
  const char* name;
  int64_t rows, cols, slices, radius;
  double epsilon;
  Values guide, cost;
  std::vector<std::pair<size_t, double>> holes;  // p elements set to non-finite values
};

TEST(GuidedFilter, SameBitsAsLiteral) {
  const std::vector<Case> cases = {
      {"one pixel", 1, 1, 3, 2, 0.01, Values::random, Values::random, {}},
      {"one row", 1, 37, 2, 3, 0.01, Values::random, Values::random, {}},
      {"one column", 41, 1, 2, 3, 0.01, Values::random, Values::random, {}},
      {"radius 0", 9, 8, 2, 0, 0.5, Values::grey, Values::random, {}},
      {"radius 1, one slice", 17, 13, 1, 1, 1e-4, Values::random, Values::random, {}},
      {"radius 4, grey guide, many slices", 33, 29, 7, 4, 6.5, Values::grey, Values::random, {}},
      {"radius just below the image", 12, 15, 3, 11, 0.01, Values::random, Values::random, {}},
      {"radius larger than the image", 12, 15, 3, 40, 0.01, Values::random, Values::random, {}},
      {"radius far beyond the image", 6, 5, 2, int64_t{1} << 50, 0.01, Values::random, Values::random, {}},
      {"wide and short", 3, 70, 2, 5, 0.01, Values::random, Values::random, {}},
      // The variance of a constant guide rounds to a few ulps either side of
      // zero: a negative one with a tiny epsilon gave a zero divisor.
      {"constant guide, tiny epsilon", 16, 16, 2, 2, 1e-300, Values::constant, Values::random, {}},
      {"constant guide", 11, 10, 2, 3, 0.01, Values::constant, Values::random, {}},
      {"constant cost", 14, 12, 2, 2, 0.01, Values::random, Values::constant, {}},
      {"guide with an edge", 20, 24, 2, 3, 1e-3, Values::steps, Values::random, {}},
      // Non-finite costs spoil only the pixels within twice the radius.
      {"NaN inside", 25, 23, 3, 2, 0.01, Values::random, Values::random, {{200, kNaN}}},
      {"Inf at a corner and -Inf in another slice", 25, 23, 3, 3, 0.01, Values::random, Values::random,
       {{0, kInf}, {25 * 23 + 300, -kInf}}},
      {"Inf and -Inf in one window", 10, 10, 1, 1, 0.01, Values::grey, Values::random, {{44, kInf}, {45, -kInf}}},
      {"NaN, radius 0", 6, 7, 1, 0, 0.01, Values::random, Values::random, {{5, kNaN}}},
      {"overflowing sums", 8, 8, 2, 2, 0.01, Values::random, Values::constant, {{3, 1.7e308}, {4, 1.7e308}}},
  };
  uint32_t seed = 1;
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    const std::vector<double> g = make(k.guide, k.rows, k.cols, 1, 255.0, seed++);
    std::vector<double> p = make(k.cost, k.rows, k.cols, k.slices, 4.4, seed++);
    for (const auto& hole : k.holes) p[hole.first] = hole.second;
    std::vector<double> want(p.size(), -1.0);
    guided_filter_reference(p.data(), g.data(), k.rows, k.cols, k.slices, k.radius, k.epsilon, want.data());
    bool gaps = false;
    for (const auto& hole : k.holes) gaps = gaps || !std::isfinite(hole.second);
    size_t nan_count = 0;
    for (double v : want) nan_count += std::isnan(v);
    if (k.holes.empty()) {
      EXPECT_EQ(nan_count, 0u) << "finite costs gave NaN";
    }
    if (gaps) {
      EXPECT_GT(nan_count, 0u);
    }
    for (int threads : {1, 2, 3}) {
      std::vector<double> q(p.size(), -1.0);
      guided_filter(p.data(), g.data(), k.rows, k.cols, k.slices, k.radius, k.epsilon, q.data(), threads);
      EXPECT_EQ(std::memcmp(q.data(), want.data(), q.size() * sizeof(double)), 0) << threads << " threads";
    }
  }
}

}  // namespace
