// The least-cost disparity and confidence kernel against its literal
// implementation, bit for bit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "filter/cost_minimum.h"
#include "tests/path_test.h"
#include "tests/reference/cost_minimum_reference.h"

namespace {

struct Case {
  const char* name;
  int64_t rows, cols;
  std::vector<double> shifts;
  int levels;  // costs drawn from this many levels (ties), 0: any real
  bool refine;
};

TEST(CostMinimum, MatchesReference) {
  std::vector<double> even;
  for (int s = 0; s < 41; ++s) even.push_back(-2.0 + 0.1 * s);
  const Case cases[] = {
      {"41 even shifts", 37, 29, even, 0, true},
      {"41 even shifts, plain", 37, 29, even, 0, false},
      {"ties of three and more", 23, 31, even, 4, true},
      {"unsorted, repeated shifts", 19, 17, {0.5, -1.0, 0.25, 0.25, 2.0, -0.75, 0.5, 1.0}, 3, true},
      {"unsorted, real costs", 19, 17, {0.5, -1.0, 0.25, 0.25, 2.0, -0.75, 0.5, 1.0}, 0, true},
      {"constant costs", 8, 9, {-1.0, 0.0, 1.0, 2.0}, 1, true},
      {"one shift", 5, 7, {0.3}, 0, true},
      {"two shifts", 5, 7, {0.3, -0.2}, 2, true},
      {"single row", 1, 40, even, 0, true},
      {"single column", 40, 1, even, 5, true},
      {"empty map", 0, 6, even, 0, true},
  };
  std::mt19937 rng(19);
  for (const Case& c : cases) {
    const int64_t n = static_cast<int64_t>(c.shifts.size()), plane = c.rows * c.cols;
    std::uniform_real_distribution<double> u(0.0, 4.4);
    std::vector<double> cost(static_cast<size_t>(plane * n));
    for (double& x : cost) x = c.levels > 0 ? std::floor(u(rng) / 4.4 * c.levels) * 0.5 : u(rng);
    std::vector<double> d(plane), conf(plane), d_ref(plane), conf_ref(plane), d_only(plane);
    cost_minimum(cost.data(), c.shifts.data(), c.rows, c.cols, n, c.refine, d.data(), conf.data());
    cost_minimum_reference(cost.data(), c.shifts.data(), c.rows, c.cols, n, c.refine, d_ref.data(), conf_ref.data());
    cost_minimum(cost.data(), c.shifts.data(), c.rows, c.cols, n, c.refine, d_only.data(), nullptr);
    EXPECT_TRUE(same_bits(d, d_ref)) << c.name;
    EXPECT_TRUE(same_bits(conf, conf_ref)) << c.name;
    EXPECT_TRUE(same_bits(d_only, d)) << c.name << " (no confidence asked)";
    for (int64_t p = 0; p < plane; ++p) ASSERT_TRUE(conf[p] >= 0.0 && conf[p] <= 1.0) << c.name;
  }
}

// The formulas themselves, by hand: costs (x - 0.3)^2 + 1 put the vertex at
// 0.3; a second dip at the far end as deep as the first leaves no confidence,
// one half as deep halves it.
TEST(CostMinimum, HandComputed) {
  const std::vector<double> shifts = {-1.0, 0.0, 1.0, 2.0, 3.0};
  const std::vector<double> cost = {1.0 + 1.69, 1.0 + 0.09, 1.0 + 0.49, 1.0 + 2.89, 1.0 + 7.29,  // one dip
                                    2.0, 1.0, 3.0, 3.0, 1.0,                                   // two equal dips
                                    4.0, 2.0, 4.0, 5.0, 3.0};                                  // rival above
  std::vector<double> d(3), conf(3);
  std::vector<double> by_pixel(15);
  for (int p = 0; p < 3; ++p)
    for (int s = 0; s < 5; ++s) by_pixel[s * 3 + p] = cost[p * 5 + s];
  cost_minimum(by_pixel.data(), shifts.data(), 3, 1, 5, true, d.data(), conf.data());
  EXPECT_NEAR(d[0], 0.3, 1e-12);
  const double mean0 = (5.0 + 1.69 + 0.09 + 0.49 + 2.89 + 7.29) / 5.0;
  EXPECT_NEAR(conf[0], (mean0 - 1.09) / mean0, 1e-12);
  EXPECT_EQ(conf[1], 0.0);
  // Mean 3.6, least 2, rival 3: (1.6 / 3.6) * (1 / 1.6).
  EXPECT_NEAR(conf[2], 1.0 / 3.6, 1e-12);
  EXPECT_NEAR(d[1], -1.0 / 6.0, 1e-12);
}

}  // namespace
