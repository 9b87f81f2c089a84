// Seeded inputs made from std::mt19937_64's raw output by our own arithmetic
// (the standard's distributions differ between libraries), run through each
// kernel's public entry point on the best path, and hashed.
#include "tests/golden_cases.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>

#include "common/natural_log.h"
#include "entropy/angular_bins.h"
#include "entropy/tressik_kernel.h"
#include "entropy/varnel_kernel.h"
#include "filter/guided_filter.h"
#include "refocus/refocus_remapped.h"

namespace {

std::string hex(uint64_t x, int digits) {
  char text[17];
  std::snprintf(text, sizeof text, "%0*llx", digits, static_cast<unsigned long long>(x));
  return text;
}

// Over each double's bit pattern, lowest byte first on every platform.
struct Fnv1a {
  uint64_t state = 0xcbf29ce484222325u;
  void add(const std::vector<double>& values) {
    for (double v : values) {
      uint64_t u;
      std::memcpy(&u, &v, sizeof u);
      for (int byte = 0; byte < 8; ++byte) state = (state ^ ((u >> (8 * byte)) & 0xff)) * 0x100000001b3u;
    }
  }
};

// Samples: kinds that reach every bin rule edge and, with few distinct
// values, counts beyond the tabulated terms.
enum class Kind { integer, fraction, clustered, edges };
const char* kind_name(Kind kind) {
  switch (kind) {
    case Kind::integer: return "integer";
    case Kind::fraction: return "fraction";
    case Kind::clustered: return "clustered";
    case Kind::edges: return "edges";
  }
  return "?";
}

double unit(uint64_t u) { return static_cast<double>(u >> 11) * 0x1p-53; }  // [0, 1), exact

// rounded: samples for varnel's rule, in (-0.5, 255.5); else tressik's, in (-1, 256).
double sample(Kind kind, bool rounded, std::mt19937_64& rng) {
  const uint64_t u = rng();
  const double whole = static_cast<double>((u >> 32) % 256);
  switch (kind) {
    case Kind::integer: return whole;
    case Kind::fraction: return unit(u) * (rounded ? 255.0 : 256.0) - (rounded ? 0.0 : 0.5);
    case Kind::clustered: return (u & 15) ? 7.0 : whole;
    case Kind::edges: {
      // Halves and their neighbours for rounding, ends of the range for truncation.
      const double halves[] = {whole - 0.5, whole - 0.5 + 0x1p-20, whole - 0.5 - 0x1p-20, whole + 0.25};
      const double ends[] = {-0.999, -0.25, 255.999, whole + 0.99};
      const double v = (rounded ? halves : ends)[u & 3];
      // Outside the rule's range a kernel's result is left open.
      return in_range(v, rounded ? kRoundedBinRange : kTruncatedBinRange) ? v : whole;
    }
  }
  return 0.0;
}

std::vector<double> field(int64_t rows, int64_t cols, int64_t C, Kind kind, bool rounded, std::mt19937_64& rng) {
  std::vector<double> source(static_cast<size_t>(rows * C * cols * C * 3));
  for (double& s : source) {
    s = sample(kind, rounded, rng);
    if (!in_range(s, rounded ? kRoundedBinRange : kTruncatedBinRange)) std::abort();  // a fault of this file
  }
  return source;
}

}  // namespace

std::vector<std::string> golden_term_lines() {
  std::vector<std::string> lines;
  for (int C = 1; C <= 64; ++C) {
    std::string line = std::to_string(C) + ":";
    const float block = static_cast<float>(C * C);
    for (int n = 1; n <= C * C; ++n) {
      const float p = static_cast<float>(n) / block;
      const float term = natural_log(p) * p;
      uint32_t bits;
      std::memcpy(&bits, &term, sizeof bits);
      line += " " + hex(bits, 8);
    }
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> golden_kernel_lines() {
  std::vector<std::string> lines;
  std::mt19937_64 rng(20261208);
  const int angular_sizes[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 24, 33, 40};
  for (int C : angular_sizes) {
    // Rows past a vector's width and a leftover; fewer pixels as C grows.
    const int rows = C <= 15 ? 37 : 5, cols = C <= 15 ? 3 : 2;
    for (Kind kind : {Kind::integer, Kind::fraction, Kind::clustered, Kind::edges}) {
      const std::string size = std::to_string(rows) + "x" + std::to_string(cols) + "_C" + std::to_string(C);
      {
        const std::vector<double> source = field(rows, cols, C, kind, true, rng);
        std::vector<double> map(static_cast<size_t>(rows * cols));
        angular_entropy_mean(source.data(), map.data(), cols, rows, C);
        Fnv1a h;
        h.add(map);
        lines.push_back("varnel_" + size + "_" + kind_name(kind) + " " + hex(h.state, 16));
      }
      {
        const std::vector<double> source = field(rows, cols, C, kind, false, rng);
        std::vector<double> maps[3];
        for (auto& m : maps) m.assign(static_cast<size_t>(rows * cols), 0.0);
        angular_entropy_channels(source.data(), maps[0].data(), maps[1].data(), maps[2].data(), cols, rows, C);
        Fnv1a h;
        for (auto& m : maps) h.add(m);
        lines.push_back("tressik_" + size + "_" + kind_name(kind) + " " + hex(h.state, 16));
      }
    }
    // Refocusing at every radius the block allows would be many cases: the
    // widest and one more, with alphas integer, fractional, negative, large.
    const double alphas[] = {0.0, 0.5, -1.25, 1.0 / 3.0, 3.0, -7.75};
    for (int D : {(C - 1) / 2, (C - 1) / 4}) {
      for (int a = 0; a < 2; ++a) {
        const double alpha = alphas[(C + 2 * D + a) % 6];
        const Kind kind = a ? Kind::integer : Kind::fraction;
        const std::vector<double> source = field(rows, cols, C, kind, true, rng);
        std::vector<double> destination = source, image(static_cast<size_t>(rows * cols * 3));
        refocus_remapped(source.data(), destination.data(), image.data(), cols, rows, C, D, alpha);
        Fnv1a h;
        h.add(destination);
        h.add(image);
        char name[96];
        std::snprintf(name, sizeof name, "olmarin_%dx%d_C%d_D%d_alpha%a_%s", rows, cols, C, D, alpha, kind_name(kind));
        lines.push_back(std::string(name) + " " + hex(h.state, 16));
      }
    }
  }
  // The guided filter: costs in 0..4.4 and a grey guide, on two threads;
  // its own generator, so that the cases above keep their inputs.
  std::mt19937_64 filter_rng(20261209);
  struct FilterCase {
    int64_t rows, cols, slices, radius;
    double epsilon;
    bool holes;
  };
  const FilterCase filter_cases[] = {{1, 1, 2, 1, 650.0, false},    {1, 29, 2, 3, 6.5, false},
                                     {31, 1, 2, 2, 1e-2, false},    {23, 19, 3, 0, 650.0, false},
                                     {23, 19, 3, 4, 6.5, false},    {17, 21, 3, 40, 650.0, false},
                                     {40, 33, 5, 3, 1e-2, true}};
  for (const FilterCase& k : filter_cases) {
    std::vector<double> guide(static_cast<size_t>(k.rows * k.cols)), cost(guide.size() * k.slices);
    for (double& g : guide) g = static_cast<double>(filter_rng() >> 32 & 255);
    for (double& c : cost) c = unit(filter_rng()) * 4.4;
    if (k.holes) cost[cost.size() / 3] = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> q(cost.size());
    guided_filter(cost.data(), guide.data(), k.rows, k.cols, k.slices, k.radius, k.epsilon, q.data(), 2);
    Fnv1a h;
    h.add(q);
    char name[96];
    std::snprintf(name, sizeof name, "guided_filter_%dx%dx%d_r%d_eps%a%s", static_cast<int>(k.rows),
                  static_cast<int>(k.cols), static_cast<int>(k.slices), static_cast<int>(k.radius), k.epsilon,
                  k.holes ? "_nan" : "");
    lines.push_back(std::string(name) + " " + hex(h.state, 16));
  }
  return lines;
}
