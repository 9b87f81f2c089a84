// Scalar conversion and index arithmetic, including sizes whose indices pass
// 2^31 and 2^32 (the arrays themselves would not fit in memory).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "common/remapped_light_field.h"
#include "common/scalar_arg.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

TEST(ScalarArg, Int32) {
  const struct { double in; int32_t out; } cases[] = {
      {7.9, 7}, {-7.9, -7}, {0.0, 0}, {-0.0, 0}, {2147483647.0, INT32_MAX}, {2147483647.99, INT32_MAX},
      {-2147483648.0, INT32_MIN}, {-2147483648.99, INT32_MIN}, {2147483648.0, INT32_MIN},
      {-2147483649.0, INT32_MIN}, {1e300, INT32_MIN}, {kNaN, INT32_MIN}, {kInf, INT32_MIN}, {-kInf, INT32_MIN},
  };
  for (const auto& c : cases) EXPECT_EQ(scalar_arg<int32_t>(c.in), c.out) << c.in;
}

TEST(ScalarArg, Uint16ReducesModulo65536) {
  const struct { double in; uint16_t out; } cases[] = {
      {7.9, 7}, {65535.0, 65535}, {65536.0, 0}, {65537.5, 1}, {-1.0, 65535}, {-1.9, 65535}, {-0.5, 0},
      {-65536.0, 0}, {-65537.0, 65535}, {4294967296.0 + 9.0, 9}, {9223372036854774784.0, 64512},
      {-9223372036854775808.0, 0}, {9223372036854775808.0, 0}, {1e300, 0}, {kNaN, 0}, {kInf, 0}, {-kInf, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(scalar_arg<uint16_t>(c.in), c.out) << c.in;
}

TEST(Layout, IndicesBeyond32Bits) {
  const int64_t rows = 3000, cols = 5000, C = 255;
  const RemappedLightField f{nullptr, rows, cols, C};
  const int64_t height = rows * C, plane = height * cols * C;
  EXPECT_EQ(rlf_index(f, 0, 0, 0, 0, 0), 0);
  EXPECT_EQ(rlf_index(f, 1, 0, 2, 0, 0), C + 2);
  EXPECT_EQ(rlf_index(f, 0, 1, 0, 0, 0), C * height);
  EXPECT_EQ(rlf_index(f, rows - 1, 0, C - 1, 0, 0), height - 1);
  EXPECT_EQ(rlf_index(f, 0, 0, 0, 0, 1), plane);
  EXPECT_GT(plane, int64_t{1} << 36);
  EXPECT_EQ(rlf_index(f, rows - 1, cols - 1, C - 1, C - 1, 2), 3 * plane - 1);
  EXPECT_EQ(rlf_index(f, 17, 4321, 5, 200, 1), (17 * C + 5) + (4321 * C + 200) * height + plane);
  EXPECT_EQ(map_index(70000, 69999, 70000), int64_t{70000} * 70000 + 69999);
  EXPECT_EQ(image_index(70000, 70000, 0, 0, 2), int64_t{2} * 70000 * 70000);
}

TEST(Layout, ElementCountsSaturateInsteadOfWrapping) {
  EXPECT_EQ(rlf_elements(40, 50, 9), uint64_t{360} * 450 * 3);
  EXPECT_EQ(rlf_elements(0, 50, 9), 0u);
  EXPECT_EQ(rlf_elements(40, -1, 9), 0u);
  EXPECT_EQ(rlf_elements(65535, 65535, 65535), UINT64_MAX);  // 3 * 65535^4 passes 2^64
  EXPECT_EQ(rlf_elements(65535, 65535, 2), uint64_t{65535} * 2 * 65535 * 2 * 3);
  EXPECT_EQ(saturating_product({INT64_MAX, 3}), UINT64_MAX);
}

}  // namespace
