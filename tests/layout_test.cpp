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
  // Two columns: with 65535 of them the plane size, 65535^4, would pass 2^63.
  const RemappedLightField f{nullptr, 65535, 2, 65535};
  const int64_t C = 65535, height = int64_t{65535} * C;
  EXPECT_EQ(rlf_index(f, 0, 0, 0, 0, 0), 0);
  EXPECT_EQ(rlf_index(f, 1, 0, 2, 0, 0), C + 2);
  EXPECT_EQ(rlf_index(f, 0, 1, 0, 0, 0), C * height);
  EXPECT_GT(rlf_index(f, 0, 1, 0, 0, 0), int64_t{1} << 32);
  EXPECT_EQ(rlf_index(f, 65534, 0, C - 1, 0, 0), height - 1);
  const RemappedLightField small{nullptr, 3000, 3000, 17};
  const int64_t plane = int64_t{3000} * 17 * 3000 * 17;
  EXPECT_GT(plane, int64_t{1} << 31);
  EXPECT_EQ(rlf_index(small, 2999, 2999, 16, 16, 2), 3 * plane - 1);
  EXPECT_EQ(map_index(70000, 69999, 70000), int64_t{70000} * 70000 + 69999);
  EXPECT_EQ(image_index(70000, 70000, 0, 0, 2), int64_t{2} * 70000 * 70000);
}

// Error messages name a sample's place from its index alone.
TEST(Layout, PlaceInvertsIndex) {
  const RemappedLightField fields[] = {{nullptr, 3, 4, 5}, {nullptr, 1, 1, 1}, {nullptr, 2, 7, 1}, {nullptr, 5, 1, 3}};
  for (const RemappedLightField& f : fields) {
    for (int64_t k = 0; k < 3; ++k)
      for (int64_t c = 0; c < f.cols; ++c)
        for (int64_t r = 0; r < f.rows; ++r)
          for (int64_t a = 0; a < f.angular_size; ++a)
            for (int64_t b = 0; b < f.angular_size; ++b) {
              const RlfPlace p = rlf_place(f, rlf_index(f, r, c, a, b, k));
              ASSERT_TRUE(p.r == r && p.c == c && p.a == a && p.b == b && p.k == k)
                  << r << " " << c << " " << a << " " << b << " " << k;
            }
  }
  const RemappedLightField big{nullptr, 3000, 3000, 17};
  const RlfPlace p = rlf_place(big, rlf_index(big, 2999, 2998, 16, 3, 2));
  EXPECT_TRUE(p.r == 2999 && p.c == 2998 && p.a == 16 && p.b == 3 && p.k == 2);
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
