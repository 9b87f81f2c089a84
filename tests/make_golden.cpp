// Writes the golden outputs into the directory given, normally tests/golden/:
//   build/tests/make_golden tests/golden
// Run it only on Linux with glibc 2.27 or later, the platform that defines
// the bits, and only when a result is meant to change.
#include <cstdio>
#include <string>
#include <vector>

#include "tests/golden_cases.h"

namespace {

bool write(const std::string& path, const char* header, const std::vector<std::string>& lines) {
  std::FILE* f = std::fopen(path.c_str(), "w");
  if (!f) return false;
  std::fprintf(f, "%s", header);
  for (const std::string& line : lines) std::fprintf(f, "%s\n", line.c_str());
  return std::fclose(f) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_golden <directory>\n");
    return 2;
  }
  const std::string dir = argv[1];
  const bool ok =
      write(dir + "/" + kGoldenTermsFile,
            "# log(p) * p in single precision, p = n / C^2: per C, the bits for n = 1 .. C^2. Written by make_golden.\n",
            golden_term_lines()) &&
      write(dir + "/" + kGoldenKernelsFile,
            "# FNV-1a 64 of the outputs of seeded kernel cases (tests/golden_cases.cpp). Written by make_golden.\n",
            golden_kernel_lines());
  if (!ok) std::perror(dir.c_str());
  return ok ? 0 : 1;
}
