// Times the entropy sweep against the chained whole-field kernels it replaces
// (refocus into a full light field, then the range check and the channel-
// averaged entropy, shift by shift), by wall clock since it runs threads;
// prints medians, ratios and the working memory, then checks every map and
// image bit for bit against the chained results.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <time.h>
#include <vector>

#include "common/remapped_light_field.h"
#include "common/vector_paths.h"
#include "entropy/angular_bins.h"
#include "entropy/varnel_kernel.h"
#include "refocus/refocus_paths.h"
#include "refocus/refocus_remapped.h"
#include "sweep/entropy_sweep.h"

namespace {

struct Options {
  std::vector<std::pair<int64_t, int64_t>> grids{{512, 512}};
  std::vector<int64_t> shift_counts{41};
  std::vector<int> threads{1, 2};
  int64_t C = 9;
  int reps = 3;
  bool every_path = false;
  bool sweep_only = false;  // skip the chained run (profiling, tuning)
  SweepTiling tiling;
};

uint64_t splitmix(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15u);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
  return z ^ (z >> 31);
}


double process_cpu_seconds() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

double median(std::vector<double> t) {
  std::sort(t.begin(), t.end());
  const size_t n = t.size();
  return n % 2 ? t[n / 2] : (t[n / 2 - 1] + t[n / 2]) / 2;
}

// Medians of the wall-clock and the process CPU time of reps runs. On a
// shared machine the CPU time of a one-thread run is the steadier measure.
struct Timing {
  double wall, cpu;
};

template <class F> Timing median_seconds(int reps, F f) {
  std::vector<double> wall, cpu;
  for (int i = 0; i < reps; ++i) {
    const double c0 = process_cpu_seconds();
    const auto start = std::chrono::steady_clock::now();
    f();
    wall.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    cpu.push_back(process_cpu_seconds() - c0);
  }
  return {median(wall), median(cpu)};
}

std::vector<int64_t> parse_list(const char* text) {
  std::vector<int64_t> v;
  for (const char* p = text; *p;) {
    v.push_back(std::strtoll(p, const_cast<char**>(&p), 10));
    if (*p == ',') ++p;
    else if (*p) break;
  }
  return v;
}

[[noreturn]] void usage() {
  std::fprintf(stderr,
               "usage: lf_bench_sweep [--grids=ROWSxCOLS,...] [--shifts=N,...] [--threads=N,...] [--C=N]\n"
               "                      [--reps=N] [--every-path] [--tile=ROWSxCOLS] [--sweep-only]\n");
  std::exit(2);
}

Options parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a.rfind("--grids=", 0) == 0) {
      o.grids.clear();
      for (const char* p = argv[i] + 8; *p;) {
        char* end;
        const int64_t r = std::strtoll(p, &end, 10);
        if (*end != 'x') usage();
        const int64_t c = std::strtoll(end + 1, &end, 10);
        o.grids.push_back({r, c});
        p = *end == ',' ? end + 1 : end;
      }
    } else if (a.rfind("--shifts=", 0) == 0) {
      o.shift_counts = parse_list(argv[i] + 9);
    } else if (a.rfind("--threads=", 0) == 0) {
      o.threads.clear();
      for (int64_t t : parse_list(argv[i] + 10)) o.threads.push_back(static_cast<int>(t));
    } else if (a.rfind("--C=", 0) == 0) {
      o.C = std::atoll(argv[i] + 4);
    } else if (a.rfind("--reps=", 0) == 0) {
      o.reps = std::atoi(argv[i] + 7);
    } else if (a.rfind("--tile=", 0) == 0) {
      if (std::sscanf(argv[i] + 7, "%ldx%ld", &o.tiling.rows, &o.tiling.cols) != 2) usage();
    } else if (a == "--sweep-only") {
      o.sweep_only = true;
    } else if (a == "--every-path") {
      o.every_path = true;
    } else {
      usage();
    }
  }
  if (o.reps < 1 || o.C < 1 || o.C % 2 == 0) usage();
  return o;
}

}  // namespace

int main(int argc, char** argv) {
  const Options o = parse(argc, argv);
  const VectorPath all[] = {VectorPath::portable, VectorPath::sse2, VectorPath::avx2, VectorPath::avx512,
                            VectorPath::neon};
  std::vector<VectorPath> paths;
  const VectorPath best = best_path({VectorPath::portable, VectorPath::sse2, VectorPath::avx2, VectorPath::avx512,
                                     VectorPath::neon});
  for (VectorPath p : all)
    if (path_available(p) && (o.every_path ? p != VectorPath::portable || !path_available(VectorPath::sse2)
                                           : p == best))
      paths.push_back(p);

  std::printf("%-8s %-10s %6s %7s %11s %11s %9s %9s %11s %11s %9s %9s  %s\n", "path", "grid", "shifts", "threads",
              "chained ms", "sweep ms", "ms/shift", "chained/", "chained cpu", "sweep cpu", "cpu/shift", "chained/",
              "bits");
  int failures = 0;
  for (const auto& [rows, cols] : o.grids) {
    const int64_t C = o.C;
    const size_t field = static_cast<size_t>(rlf_elements(rows, cols, C)), pixels = size_t(rows * cols);
    std::vector<double> source(field);
    uint64_t state = 12345;
    for (double& s : source) s = static_cast<double>(splitmix(state) >> 56);
    for (int64_t n : o.shift_counts) {
      std::vector<double> shifts(static_cast<size_t>(n));
      for (int64_t s = 0; s < n; ++s) shifts[size_t(s)] = n == 1 ? 0.0 : -2.0 + 4.0 * s / double(n - 1);
      for (VectorPath path : paths) {
        // Chained: a whole refocused field per shift, as the modules run.
        std::vector<double> field_out(field), image(pixels * 3), chained_e(pixels * n), chained_i(pixels * 3 * n);
        const Timing chained = o.sweep_only ? Timing{NAN, NAN} : median_seconds(o.reps, [&] {
          for (int64_t s = 0; s < n; ++s) {
            refocus_remapped(source.data(), field_out.data(), chained_i.data() + s * 3 * pixels, uint16_t(cols),
                             uint16_t(rows), uint16_t(C), uint16_t((C - 1) / 2), shifts[size_t(s)],
                             path);
            // The module's fused check: bins, checks and sums in one pass.
            angular_entropy_mean(field_out.data(), chained_e.data() + s * pixels, int32_t(cols), int32_t(rows),
                                 int32_t(C), path);
          }
        });
        for (int threads : o.threads) {
          std::vector<double> e(pixels * n, -1.0), im(pixels * 3 * n, -1.0);
          SweepFault fault{};
          const Timing swept = median_seconds(o.reps, [&] {
            fault = entropy_sweep(path, source.data(), rows, cols, C, shifts.data(), n, e.data(), im.data(), threads,
                                  o.tiling);
          });
          const bool same = o.sweep_only || (fault.shift < 0 && std::memcmp(e.data(), chained_e.data(), e.size() * 8) == 0 &&
                            std::memcmp(im.data(), chained_i.data(), im.size() * 8) == 0);
          failures += !same;
          std::printf("%-8s %4ldx%-5ld %6ld %7d %11.1f %11.1f %9.2f %9.2f %11.1f %11.1f %9.2f %9.2f  %s\n",
                      path_name(path), long(rows), long(cols), long(n), threads, chained.wall * 1e3, swept.wall * 1e3,
                      swept.wall * 1e3 / double(n), chained.wall / swept.wall, chained.cpu * 1e3, swept.cpu * 1e3,
                      swept.cpu * 1e3 / double(n), chained.cpu / swept.cpu, same ? "identical" : "DIFFER");
        }
      }
    }
  }
  std::printf("(medians of %d runs, wall clock and process CPU time; random samples 0..255, shifts evenly from -2\n"
              " to 2. Beyond the outputs the chained run holds a refocused field of (rows*C) x (cols*C) x 3 doubles,\n"
              " the sweep one tile plane of about 300 KB per thread.)\n",
              o.reps);
  return failures ? 1 : 0;
}
