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

// Every index of the last element of each plane, and of the last row and
// column of blocks, against unsigned 64-bit arithmetic, exact here since every
// size is below 2^16 and so a plane's 65535^4 at most is below 2^64. The sizes reach indices past
// 2^31 and 2^32 but keep 3 * P below 2^63: an array with more elements could
// not exist, and a view of it would overflow (the 16-bit maximum, 65535 for
// all three sizes, gives 3 * 65535^4 > 2^64).
TEST(Layout, IndicesBeyond32BitsMatchWideArithmetic) {
  const struct { int64_t rows, cols, C; } sizes[] = {
      {3000, 3000, 17}, {65535, 65535, 1}, {65535, 1, 65535}, {1, 65535, 65535}, {65535, 65535, 2},
      {65535, 65535, 16384}, {46341, 46341, 1}, {1, 1, 65535}, {65535, 2, 65535}, {3000, 5000, 255},
  };
  for (const auto& z : sizes) {
    const RemappedLightField f{nullptr, z.rows, z.cols, z.C};
    const uint64_t C = static_cast<uint64_t>(z.C), height = static_cast<uint64_t>(z.rows) * C,
                   plane = height * static_cast<uint64_t>(z.cols) * C;
    ASSERT_LT(plane, uint64_t{INT64_MAX} / 3) << z.rows << " " << z.cols << " " << z.C;
    EXPECT_EQ(rlf_elements(z.rows, z.cols, z.C), static_cast<uint64_t>(3 * plane));
    const int64_t rs[] = {0, z.rows - 1}, cs[] = {0, z.cols - 1}, as[] = {0, z.C - 1};
    for (int64_t r : rs)
      for (int64_t c : cs)
        for (int64_t a : as)
          for (int64_t b : as)
            for (int64_t k = 0; k < 3; ++k) {
              const uint64_t ur = static_cast<uint64_t>(r), uc = static_cast<uint64_t>(c),
                             ua = static_cast<uint64_t>(a), ub = static_cast<uint64_t>(b), uk = static_cast<uint64_t>(k);
              const uint64_t want = (ur * C + ua) + (uc * C + ub) * height + uk * plane;
              EXPECT_EQ(rlf_index(f, r, c, a, b, k), static_cast<int64_t>(want))
                  << z.rows << "x" << z.cols << " C " << z.C << " at " << r << "," << c << "," << a << "," << b
                  << "," << k;
            }
    EXPECT_EQ(rlf_index(f, z.rows - 1, z.cols - 1, z.C - 1, z.C - 1, 2), static_cast<int64_t>(3 * plane - 1));
  }
  // Past 2^32 at the first element of the second plane already.
  const RemappedLightField big{nullptr, 65535, 65535, 2};
  EXPECT_GT(rlf_index(big, 0, 0, 0, 0, 1), int64_t{1} << 32);
  EXPECT_EQ(map_index(70000, 69999, 70000), int64_t{70000} * 70000 + 69999);
  EXPECT_EQ(image_index(70000, 70000, 0, 0, 2), int64_t{2} * 70000 * 70000);
  EXPECT_EQ(image_index(65535, 65535, 65534, 65534, 2), int64_t{3} * 65535 * 65535 - 1);
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

// The counts each entry needs before it hands pointers to a kernel. A count
// that wrapped modulo 2^32 or 2^64 would let a tiny array pass for a huge
// one, so every product past 2^64 saturates, and every product below it is
// exact however far past 2^32 it lies.
TEST(Layout, ElementCountsSaturateInsteadOfWrapping) {
  const uint64_t kMax = UINT64_MAX;
  const struct { int64_t rows, cols, C; uint64_t want; } light_fields[] = {
      {40, 50, 9, uint64_t{360} * 450 * 3},
      {0, 50, 9, 0}, {40, 0, 9, 0}, {40, 50, 0, 0}, {40, -1, 9, 0},
      {65535, 65535, 65535, kMax},                               // 3 * 65535^4 passes 2^64
      {65535, 65535, 2, uint64_t{65535} * 2 * 65535 * 2 * 3},    // passes 2^32
      {65535, 65535, 9, uint64_t{65535} * 9 * 65535 * 9 * 3},    // passes 2^39
      {65535, 65535, 16384, uint64_t{65535} * 16384 * 65535 * 16384 * 3},  // just below 2^62
      {65535, 65535, 32768, uint64_t{65535} * 32768 * 65535 * 32768 * 3},  // just below 2^64
      {65536, 65536, 32768, uint64_t{3} << 62},                  // 3 * 2^62: still below 2^64
      {65536, 65536, 65536, kMax},                               // 3 * 2^64: the same bits wrap to 0
      {1, 1, 65536, uint64_t{3} << 32},                          // C^2 alone reaches 2^32
      // Signed 32-bit sizes (the entropy modules): non-positive needs nothing,
      // the largest saturate, and INT32_MIN must not be negated or squared.
      {INT32_MAX, INT32_MAX, INT32_MAX, kMax},
      {1024, 1024, INT32_MIN, 0}, {INT32_MIN, INT32_MIN, 9, 0}, {INT32_MAX, 1, 1, uint64_t{3} * INT32_MAX},
      {1, 1, INT32_MAX, uint64_t{INT32_MAX} * INT32_MAX * 3},   // 3 * (2^31 - 1)^2 < 2^64: exact
      {2, 1, INT32_MAX, kMax},
  };
  for (const auto& z : light_fields)
    EXPECT_EQ(rlf_elements(z.rows, z.cols, z.C), z.want) << z.rows << " " << z.cols << " " << z.C;
  EXPECT_EQ(saturating_product({65535, 65535, 3}), uint64_t{3} * 65535 * 65535);  // image, past 2^32
  EXPECT_EQ(saturating_product({INT32_MAX, INT32_MAX}), uint64_t{INT32_MAX} * INT32_MAX);
  EXPECT_EQ(saturating_product({int64_t{1} << 32, int64_t{1} << 32}), kMax);  // exactly 2^64
  EXPECT_EQ(saturating_product({int64_t{1} << 32, (int64_t{1} << 32) - 1}), kMax - ((uint64_t{1} << 32) - 1));
  EXPECT_EQ(saturating_product({INT64_MAX, 2}), kMax - 1);
  EXPECT_EQ(saturating_product({INT64_MAX, 3}), kMax);
  EXPECT_EQ(saturating_product({INT64_MAX, 0}), 0u);
  EXPECT_EQ(saturating_product({}), 1u);
}

}  // namespace
