// Kernel tests that run once per vector path, the path in the test's name. A
// path this build has but this CPU lacks shows as skipped, by name.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/vector_paths.h"

// Exact equality of two results, NaNs and signed zeros included. memcmp must
// not see the null data of an empty vector, even for zero bytes.
inline bool same_bits(const std::vector<double>& x, const std::vector<double>& y) {
  return x.size() == y.size() && (x.empty() || std::memcmp(x.data(), y.data(), x.size() * sizeof(double)) == 0);
}

// The paths of `implemented` that this build compiles.
inline std::vector<VectorPath> compiled_paths(std::initializer_list<VectorPath> implemented) {
  std::vector<VectorPath> paths;
  for (VectorPath path : implemented)
    if (path_compiled(path)) paths.push_back(path);
  return paths;
}

class PathTest : public ::testing::TestWithParam<VectorPath> {
 protected:
  void SetUp() override {
    if (!path_available(GetParam())) GTEST_SKIP() << "path " << path_name(GetParam()) << ": this CPU lacks it";
  }
  VectorPath path() const { return GetParam(); }
};

inline std::string path_test_name(const ::testing::TestParamInfo<VectorPath>& info) {
  return path_name(info.param);
}

// LF_PATH_TESTS(Suite, {paths the kernel implements}) after the TEST_Ps of a
// suite derived from PathTest.
#define LF_PATH_TESTS(suite, ...) \
  INSTANTIATE_TEST_SUITE_P(Path, suite, ::testing::ValuesIn(compiled_paths(__VA_ARGS__)), path_test_name)
