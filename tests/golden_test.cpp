// The checked-in golden outputs, reproduced on the platform at hand.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "tests/golden_cases.h"

namespace {

std::vector<std::string> read_lines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);)
    if (!line.empty() && line[0] != '#') lines.push_back(line);
  return lines;
}

TEST(Golden, SameBitsAsLinux) {
  struct File {
    const char* name;
    std::vector<std::string> (*make)();
  };
  for (const File& file : {File{kGoldenTermsFile, golden_term_lines}, File{kGoldenKernelsFile, golden_kernel_lines}}) {
    const std::vector<std::string> want = read_lines(std::string(LF_GOLDEN_DIR) + "/" + file.name);
    const std::vector<std::string> got = file.make();
    ASSERT_EQ(got.size(), want.size()) << file.name << ": missing or stale";
    int shown = 0;
    for (size_t i = 0; i < got.size(); ++i)
      if (got[i] != want[i] && ++shown <= 5)
        ADD_FAILURE() << file.name << ": " << want[i].substr(0, want[i].find(' ')) << " differs"
                      << (got[i].size() < 200 ? "; now " + got[i] : std::string());
  }
}

}  // namespace
