// The sweep of shrunk views against its definition: the shrunk field made
// whole, then entropy_sweep on it; results and the fault named, bit for bit,
// on every path, with strips cut small enough to put boundaries inside.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "common/remapped_light_field.h"
#include "sweep/entropy_sweep.h"
#include "sweep/shrunk_entropy_sweep.h"
#include "tests/path_test.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Case {
  int64_t rows, cols, C, k;
  std::vector<double> shifts;
  int64_t strip_rows;  // buffer rows asked for; 0: the default buffer
};

// Pixel (r, c) of the shrunk field is the source's pixel (r*k, c*k).
std::vector<double> shrink(const std::vector<double>& source, const Case& t) {
  const RemappedLightField from{source.data(), t.rows, t.cols, t.C};
  const int64_t rows = t.rows / t.k, cols = t.cols / t.k;
  const RemappedLightField to{nullptr, rows, cols, t.C};
  std::vector<double> small(static_cast<size_t>(rlf_elements(rows, cols, t.C)));
  for (int64_t p = 0; p < 3; ++p)
    for (int64_t c = 0; c < cols; ++c)
      for (int64_t r = 0; r < rows; ++r)
        for (int64_t b = 0; b < t.C; ++b)
          for (int64_t a = 0; a < t.C; ++a)
            small[static_cast<size_t>(rlf_index(to, r, c, a, b, p))] =
                source[static_cast<size_t>(rlf_index(from, r * t.k, c * t.k, a, b, p))];
  return small;
}

struct Result {
  std::vector<double> entropy;
  SweepFault fault;
};

Result expected(VectorPath path, const std::vector<double>& source, const Case& t) {
  const std::vector<double> small = shrink(source, t);
  const int64_t rows = t.rows / t.k, cols = t.cols / t.k, n = static_cast<int64_t>(t.shifts.size());
  Result out{std::vector<double>(static_cast<size_t>(rows * cols * n), -7.0), {}};
  out.fault = entropy_sweep(path, small.data(), rows, cols, t.C, t.shifts.data(), n, out.entropy.data(), nullptr, 1);
  return out;
}

Result shrunk(VectorPath path, const std::vector<double>& source, const Case& t, int threads) {
  const int64_t rows = t.rows / t.k, cols = t.cols / t.k, n = static_cast<int64_t>(t.shifts.size());
  const int64_t row_bytes = t.C * t.C * cols * 3 * static_cast<int64_t>(sizeof(double));
  Result out{std::vector<double>(static_cast<size_t>(rows * cols * n), -7.0), {}};
  out.fault = shrunk_entropy_sweep(path, source.data(), t.rows, t.cols, t.C, t.k, t.shifts.data(), n,
                                   out.entropy.data(), threads,
                                   t.strip_rows > 0 ? t.strip_rows * row_bytes : kShrunkStripBytes);
  return out;
}

std::vector<double> make_source(const Case& t, uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> sample(0.0, 255.0);
  std::vector<double> s(static_cast<size_t>(rlf_elements(t.rows, t.cols, t.C)));
  for (double& x : s) x = std::round(sample(rng) * 4) / 4;
  return s;
}

class ShrunkSweepPaths : public PathTest {};

// k = 1, 2, 4 and one beyond the height; C = 3, 5, 9; sizes that k does not
// divide; shifts of both signs, one reaching past the field (one whole
// sweep); strips of a few rows, their halo larger than themselves, and one
// strip; one and two threads in turn.
TEST_P(ShrunkSweepPaths, MatchesTheSweepOfTheShrunkField) {
  const Case cases[] = {
      {23, 13, 5, 2, {0.0, -0.6, 1.25, -1.75}, 0},
      {41, 13, 5, 2, {0.0, -0.6, 1.25, -1.75}, 18},
      {50, 10, 5, 4, {0.5, -0.25}, 10},
      {39, 5, 9, 2, {-0.3, 0.9, 0.0}, 18},
      {19, 9, 9, 1, {-0.3, 0.9}, 17},
      {12, 7, 3, 2, {2.0, -1.0, 40.0}, 5},
      {30, 7, 3, 3, {-0.5, 0.5}, 0},
      {5, 9, 3, 6, {0.5}, 0},
      {9, 9, 3, 2, {}, 2},
  };
  int threads = 1;
  for (const Case& t : cases) {
    const std::vector<double> source = make_source(t, static_cast<uint32_t>(t.rows * 100 + t.strip_rows));
    const Result want = expected(path(), source, t);
    ASSERT_EQ(want.fault.shift, -1);
    const Result got = shrunk(path(), source, t, threads);
    EXPECT_EQ(got.fault.shift, -1);
    EXPECT_TRUE(same_bits(got.entropy, want.entropy))
        << t.rows << "x" << t.cols << " C " << t.C << " k " << t.k << " strip " << t.strip_rows << " threads "
        << threads;
    threads = 3 - threads;
  }
}

// The fault is the one the sweep names on the shrunk field: the lowest shift,
// then the first sample in visiting order, whichever strip it lies in; and a
// bad sample that shrinking drops is no fault.
TEST_P(ShrunkSweepPaths, NamesTheFaultOfTheShrunkField) {
  struct Poke {
    RlfPlace at;  // in the source
    double value;
  };
  struct FaultCase {
    Case t;
    std::vector<Poke> pokes;
    bool faults;
  };
  const FaultCase cases[] = {
      // A later strip's fault at an earlier shift wins: an outer view's
      // 255.9 stays in range when halved with a neighbour (shift 0.5), not
      // when read whole (shift 1); the centre view's 300 fails at once.
      {{24, 6, 3, 2, {0.5, 1.0}, 10}, {{{4, 2, 0, 1, 0}, 255.9}, {{20, 3, 1, 1, 1}, 300.0}}, true},
      // A NaN shift reaches across the field: one whole sweep.
      {{24, 6, 3, 2, {0.0, 0.5, kNaN}, 1}, {{{22, 2, 1, 1, 0}, 300.0}}, true},
      // Same shift in two strips: the earlier row's fault stands against the
      // later strip's (a later plane of an earlier pixel before an earlier
      // plane of a later one).
      {{24, 6, 3, 2, {0.25, -0.5}, 9}, {{{20, 4, 1, 1, 1}, -3.0}, {{6, 0, 2, 0, 2}, 1e300}}, true},
      {{16, 8, 5, 2, {1.0, 0.0}, 0}, {{{14, 6, 4, 4, 2}, kNaN}}, true},
      // Rows and columns that shrinking drops are never read.
      {{24, 6, 3, 2, {0.0, 0.75}, 9}, {{{7, 3, 1, 1, 0}, 300.0}, {{4, 5, 0, 0, 1}, kNaN}}, false},
  };
  for (const FaultCase& fc : cases) {
    std::vector<double> source = make_source(fc.t, 17);
    const RemappedLightField field{source.data(), fc.t.rows, fc.t.cols, fc.t.C};
    for (const Poke& p : fc.pokes)
      source[static_cast<size_t>(rlf_index(field, p.at.r, p.at.c, p.at.a, p.at.b, p.at.k))] = p.value;
    const Result want = expected(path(), source, fc.t);
    ASSERT_EQ(want.fault.shift >= 0, fc.faults);
    const Result got = shrunk(path(), source, fc.t, fc.faults ? 2 : 1);
    EXPECT_EQ(got.fault.shift, want.fault.shift);
    EXPECT_EQ(got.fault.index, want.fault.index) << "shift " << want.fault.shift;
    EXPECT_TRUE(std::memcmp(&got.fault.value, &want.fault.value, sizeof(double)) == 0);
    if (!fc.faults) {
      EXPECT_TRUE(same_bits(got.entropy, want.entropy));
    }
  }
}

#if LF_GNU
LF_PATH_TESTS(ShrunkSweepPaths, {VectorPath::sse2, VectorPath::avx2, VectorPath::avx512, VectorPath::neon});
#else
LF_PATH_TESTS(ShrunkSweepPaths, {VectorPath::portable});
#endif

}  // namespace
