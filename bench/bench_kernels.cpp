// Times every module kernel against its literal oracle and a memory floor on
// the same arrays, prints one table with medians and ratios, then checks each
// kernel's result against the oracle's, bit for bit.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "common/remapped_light_field.h"
#include "common/vector_paths.h"
#include "entropy/plane_entropy.h"
#include "entropy/tressik_kernel.h"
#include "entropy/varnel_kernel.h"
#include "refocus/refocus_paths.h"
#include "refocus/refocus_remapped.h"
#include "tests/reference/entropy_reference.h"
#include "tests/reference/refocus_reference.h"

namespace {

struct Shape {
  uint16_t rows, cols, C, D;
  double alpha;
};

std::string shape_name(const Shape& s) {
  char text[64];
  std::snprintf(text, sizeof text, "%ux%u/C%u/D%u", s.rows, s.cols, s.C, s.D);
  return text;
}

size_t field_elements(const Shape& s) { return static_cast<size_t>(rlf_elements(s.rows, s.cols, s.C)); }
size_t image_elements(const Shape& s) { return size_t{s.rows} * s.cols * 3; }

// ---------------------------------------------------------------------------
// What is timed. Each subject writes all its results into one output area laid
// end to end, so that one comparison covers all of them; `literal` is the
// tests' oracle and `floor` the cheapest pass over the same memory.

using Run = void (*)(const Shape&, const double* source, double* out);

struct Subject {
  std::string name;
  size_t (*outputs)(const Shape&);
  Run module, literal, floor;
};

void refocus_module(const Shape& s, const double* source, double* out) {
  refocus_remapped(source, out, out + field_elements(s), s.cols, s.rows, s.C, s.D, s.alpha);
}
void refocus_literal(const Shape& s, const double* source, double* out) {
  refocus_reference(source, out, out + field_elements(s), s.cols, s.rows, s.C, s.D, s.alpha);
}
void refocus_floor(const Shape& s, const double* source, double* out) {
  std::memcpy(out, source, field_elements(s) * sizeof(double));
}
size_t refocus_outputs(const Shape& s) { return field_elements(s) + image_elements(s); }

// One forced instruction-set path of the refocus kernel.
template <VectorPath path> void refocus_on_path(const Shape& s, const double* source, double* out) {
  refocus_remapped(source, out, out + field_elements(s), s.cols, s.rows, s.C, s.D, s.alpha, path);
}

// The entropy modules as their entries run them: one pass that checks the
// samples and writes working maps, then the copy into the caller's maps. The
// floor sums the source (in eight independent sums, so that memory and not
// the adder sets the pace).
size_t map_outputs(const Shape& s) { return size_t{s.rows} * s.cols; }
size_t maps_outputs(const Shape& s) { return 3 * map_outputs(s); }

void as_entry(size_t n, double* out, bool (*kernel)(VectorPath, const Shape&, const double*, double*),
              VectorPath path, const Shape& s, const double* source) {
  double* work = static_cast<double*>(std::malloc(n * sizeof(double)));
  if (kernel(path, s, source, work)) std::memcpy(out, work, n * sizeof(double));
  std::free(work);
}
bool varnel_kernel(VectorPath path, const Shape& s, const double* source, double* work) {
  return angular_entropy_mean(source, work, s.cols, s.rows, s.C, path);
}
bool tressik_kernel(VectorPath path, const Shape& s, const double* source, double* work) {
  const size_t n = map_outputs(s);
  return angular_entropy_channels(source, work, work + n, work + 2 * n, s.cols, s.rows, s.C, path);
}
template <VectorPath path> void varnel_on_path(const Shape& s, const double* source, double* out) {
  as_entry(map_outputs(s), out, varnel_kernel, path, s, source);
}
template <VectorPath path> void tressik_on_path(const Shape& s, const double* source, double* out) {
  as_entry(maps_outputs(s), out, tressik_kernel, path, s, source);
}
void varnel_module(const Shape& s, const double* source, double* out) {
  as_entry(map_outputs(s), out, varnel_kernel, plane_entropy_path(), s, source);
}
void tressik_module(const Shape& s, const double* source, double* out) {
  as_entry(maps_outputs(s), out, tressik_kernel, plane_entropy_path(), s, source);
}
void varnel_literal(const Shape& s, const double* source, double* out) {
  angular_entropy_mean_reference(source, out, s.cols, s.rows, s.C);
}
void tressik_literal(const Shape& s, const double* source, double* out) {
  const size_t n = map_outputs(s);
  angular_entropy_channels_reference(source, out, out + n, out + 2 * n, s.cols, s.rows, s.C);
}
void sum_floor(const Shape& s, const double* source, double* out) {
  const size_t n = field_elements(s);
  double sums[8] = {};
  size_t i = 0;
  for (; i + 8 <= n; i += 8)
    for (int j = 0; j < 8; ++j) sums[j] += source[i + j];
  for (; i < n; ++i) sums[0] += source[i];
  out[0] = ((sums[0] + sums[1]) + (sums[2] + sums[3])) + ((sums[4] + sums[5]) + (sums[6] + sums[7]));
}

std::vector<Subject> all_subjects(bool every_path) {
  std::vector<Subject> subjects = {
      {"olmarin", refocus_outputs, refocus_module, refocus_literal, refocus_floor},
      {"varnel", map_outputs, varnel_module, varnel_literal, sum_floor},
      {"tressik", maps_outputs, tressik_module, tressik_literal, sum_floor},
  };
  if (every_path) {
    const std::pair<VectorPath, Run> paths[] = {
        {VectorPath::portable, refocus_on_path<VectorPath::portable>},
        {VectorPath::sse2, refocus_on_path<VectorPath::sse2>},
        {VectorPath::avx2, refocus_on_path<VectorPath::avx2>},
        {VectorPath::neon, refocus_on_path<VectorPath::neon>},
    };
    for (const auto& [path, run] : paths)
      if (refocus_has_path(path) && path_available(path))
        subjects.push_back({std::string("olmarin.") + path_name(path), refocus_outputs, run,
                            refocus_literal, refocus_floor});
    const struct { VectorPath path; Run varnel, tressik; } entropy_paths[] = {
        {VectorPath::portable, varnel_on_path<VectorPath::portable>, tressik_on_path<VectorPath::portable>},
        {VectorPath::sse2, varnel_on_path<VectorPath::sse2>, tressik_on_path<VectorPath::sse2>},
        {VectorPath::avx2, varnel_on_path<VectorPath::avx2>, tressik_on_path<VectorPath::avx2>},
        {VectorPath::avx512, varnel_on_path<VectorPath::avx512>, tressik_on_path<VectorPath::avx512>},
        {VectorPath::neon, varnel_on_path<VectorPath::neon>, tressik_on_path<VectorPath::neon>},
    };
    for (const auto& e : entropy_paths)
      if (path_available(e.path)) {
        const std::string suffix = std::string(".") + path_name(e.path);
        subjects.push_back({"varnel" + suffix, map_outputs, e.varnel, varnel_literal, sum_floor});
        subjects.push_back({"tressik" + suffix, maps_outputs, e.tressik, tressik_literal, sum_floor});
      }
  }
  return subjects;
}

// ---------------------------------------------------------------------------
// Samples.

enum class Samples { random, smooth, refocused };
const char* samples_name(Samples k) {
  return k == Samples::random ? "random" : k == Samples::smooth ? "smooth" : "refocused";
}

uint64_t splitmix(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15u);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
  return z ^ (z >> 31);
}

void fill_random(const Shape& s, double* source) {
  uint64_t state = 12345;
  const size_t n = field_elements(s);
  for (size_t i = 0; i < n; ++i) source[i] = static_cast<double>(splitmix(state) >> 56);
}

// A blurred noise texture per plane, seen from every angular position (a, b)
// shifted by a small parallax, bilinearly, rounded to 8-bit intensities like
// a captured light field.
void fill_smooth(const Shape& s, double* source) {
  const double parallax = 0.3;
  const int64_t margin = static_cast<int64_t>(parallax * s.C / 2) + 2, h = s.rows + 2 * margin,
                w = s.cols + 2 * margin;
  const RemappedLightField field{source, s.rows, s.cols, s.C};
  uint64_t state = 777;
  std::vector<double> texture(static_cast<size_t>(h * w)), tmp(texture.size());
  for (int64_t k = 0; k < 3; ++k) {
    for (double& t : texture) t = static_cast<double>(splitmix(state) >> 11) * 0x1p-53;
    for (int pass = 0; pass < 3; ++pass) {  // separable box blur, radius 2, clamped
      for (int64_t x = 0; x < w; ++x)
        for (int64_t y = 0; y < h; ++y) {
          double sum = 0;
          for (int64_t d = -2; d <= 2; ++d) sum += texture[std::clamp<int64_t>(y + d, 0, h - 1) + x * h];
          tmp[y + x * h] = sum / 5;
        }
      for (int64_t x = 0; x < w; ++x)
        for (int64_t y = 0; y < h; ++y) {
          double sum = 0;
          for (int64_t d = -2; d <= 2; ++d) sum += tmp[y + std::clamp<int64_t>(x + d, 0, w - 1) * h];
          texture[y + x * h] = sum / 5;
        }
    }
    const auto [lo, hi] = std::minmax_element(texture.begin(), texture.end());
    const double low = *lo, scale = 255.0 / std::max(*hi - low, 1e-12);
    const double centre = (s.C - 1) / 2.0;
    for (int64_t c = 0; c < s.cols; ++c)
      for (int64_t b = 0; b < s.C; ++b)
        for (int64_t r = 0; r < s.rows; ++r)
          for (int64_t a = 0; a < s.C; ++a) {
            const double y = static_cast<double>(r + margin) + parallax * (static_cast<double>(a) - centre);
            const double x = static_cast<double>(c + margin) + parallax * (static_cast<double>(b) - centre);
            const int64_t y0 = static_cast<int64_t>(std::floor(y)), x0 = static_cast<int64_t>(std::floor(x));
            const double fy = y - static_cast<double>(y0), fx = x - static_cast<double>(x0);
            auto t = [&](int64_t yy, int64_t xx) { return texture[yy + xx * h]; };
            const double value = (1 - fy) * (1 - fx) * t(y0, x0) + fy * (1 - fx) * t(y0 + 1, x0) +
                                 (1 - fy) * fx * t(y0, x0 + 1) + fy * fx * t(y0 + 1, x0 + 1);
            source[rlf_index(field, r, c, a, b, k)] = std::round((value - low) * scale);
          }
  }
}

// ---------------------------------------------------------------------------
// The arrays of the workload being timed. One workload's samples and one
// subject's outputs are held at a time, so the largest workload needs the
// source plus two output areas.

struct Case {
  Shape shape;
  Samples samples;
  const Subject* subject;
};

struct Outcome {
  std::vector<double> seconds[3];  // module, literal, floor
  int check = -1;                  // -1 not made, 0 differs, 1 identical
};

const double kSentinel = -12345.678;

class Arena {
 public:
  void load(const Case& c) {
    const std::string samples_key = shape_name(c.shape) + samples_name(c.samples);
    const std::string subject_key = samples_key + c.subject->name;
    if (subject_key != subject_key_) finish();
    if (samples_key != samples_key_) {
      source_.clear();
      source_.shrink_to_fit();
      source_.resize(field_elements(c.shape));
      make_samples(c.shape, c.samples);
      samples_key_ = samples_key;
    }
    if (subject_key != subject_key_) {
      const size_t n = c.subject->outputs(c.shape);
      module_out_.assign(n, kSentinel);
      literal_out_.assign(n, kSentinel);
      subject_key_ = subject_key;
      current_ = c;
      ran_module_ = ran_literal_ = module_out_dirty_ = false;
    }
  }

  // The floor writes into the module's output area; untimed, before a
  // module's run, it goes back to the sentinel so that unwritten positions
  // still compare.
  void prepare(int which) {
    if (which != 0 || !module_out_dirty_) return;
    std::fill(module_out_.begin(), module_out_.end(), kSentinel);
    module_out_dirty_ = false;
  }

  void run(int which) {
    const Subject& s = *current_.subject;
    if (which == 0) {
      s.module(current_.shape, source_.data(), module_out_.data());
      ran_module_ = true;
    } else if (which == 1) {
      s.literal(current_.shape, source_.data(), literal_out_.data());
      ran_literal_ = true;
    } else {
      s.floor(current_.shape, source_.data(), module_out_.data());
      module_out_dirty_ = true;
    }
    benchmark::ClobberMemory();
  }

  // Compares the subject's last results and releases its output areas.
  void finish() {
    if (!subject_key_.empty() && ran_module_ && ran_literal_ && !module_out_dirty_) {
      const bool same = std::memcmp(module_out_.data(), literal_out_.data(), module_out_.size() * sizeof(double)) == 0;
      outcome_for(current_).check = same ? 1 : 0;
    }
    module_out_ = {};
    literal_out_ = {};
    subject_key_.clear();
  }

  static std::string key(const Case& c) {
    return c.subject->name + " " + shape_name(c.shape) + " " + samples_name(c.samples);
  }
  Outcome& outcome_for(const Case& c) { return outcomes_[key(c)]; }

 private:
  void make_samples(const Shape& s, Samples kind) {
    if (kind == Samples::random) {
      fill_random(s, source_.data());
    } else {
      fill_smooth(s, source_.data());
      if (kind == Samples::refocused) {
        std::vector<double> refocused(source_.size()), image(image_elements(s));
        refocus_remapped(source_.data(), refocused.data(), image.data(), s.cols, s.rows, s.C, s.D, 0.43);
        source_.swap(refocused);
      }
    }
  }

  std::vector<double> source_, module_out_, literal_out_;
  std::string samples_key_, subject_key_;
  Case current_{};
  bool ran_module_ = false, ran_literal_ = false, module_out_dirty_ = false;
  std::map<std::string, Outcome> outcomes_;
};

Arena arena;

// Keeps every repetition's CPU time for our own medians (the machine is
// shared, and time spent descheduled is not the kernel's) and shows Google
// Benchmark's aggregates as usual.
class Collector : public benchmark::ConsoleReporter {
 public:
  Collector() : ConsoleReporter(isatty(fileno(stdout)) ? OO_Defaults : OO_Tabular) {}
  std::map<std::string, std::vector<double>> seconds;
  void ReportRuns(const std::vector<Run>& runs) override {
    std::vector<Run> shown;
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && !run.error_occurred)
        seconds[run.run_name.function_name].push_back(run.GetAdjustedCPUTime() /
                                                       benchmark::GetTimeUnitMultiplier(run.time_unit));
      if (run.run_type == Run::RT_Aggregate) shown.push_back(run);
    }
    if (!shown.empty()) ConsoleReporter::ReportRuns(shown);
  }
};

double median(std::vector<double> v) {
  if (v.empty()) return NAN;
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// ---------------------------------------------------------------------------
// Options: sizes and kinds are read at run time.

struct Options {
  std::vector<Shape> shapes;
  std::vector<Samples> samples{Samples::random, Samples::smooth, Samples::refocused};
  std::vector<std::string> only;  // subject names; empty: all
  int reps = 7, literal_reps = 3;
  double alpha = 0.37;
  bool every_path = false;
};

std::vector<std::string> split(const std::string& text, char by) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t end; (end = text.find(by, start)) != std::string::npos; start = end + 1)
    parts.push_back(text.substr(start, end - start));
  parts.push_back(text.substr(start));
  return parts;
}

[[noreturn]] void usage(const char* why) {
  std::fprintf(stderr,
               "lf_bench: %s\n"
               "usage: lf_bench [--workloads=ROWSxCOLS/C/D,...] [--samples=random,smooth,refocused]\n"
               "                [--modules=NAME,...] [--reps=N] [--literal-reps=N (0: none, no check)] [--alpha=X]\n"
               "                [--every-path] [Google Benchmark flags]\n",
               why);
  std::exit(2);
}

Shape parse_shape(const std::string& text, double alpha) {
  unsigned rows, cols, C, D;
  char tail;
  if (std::sscanf(text.c_str(), "%ux%u/%u/%u%c", &rows, &cols, &C, &D, &tail) != 4 || rows > 65535 ||
      cols > 65535 || C > 65535 || C < 2 * D + 1)
    usage(("bad workload '" + text + "': want ROWSxCOLS/C/D with C >= 2D+1").c_str());
  return {static_cast<uint16_t>(rows), static_cast<uint16_t>(cols), static_cast<uint16_t>(C),
          static_cast<uint16_t>(D), alpha};
}

Options parse(int argc, char** argv) {
  Options o;
  std::string workloads = "512x512/9/4,256x256/9/4,1024x512/9/4,256x256/5/2,256x256/15/7";
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](const char* flag) -> const char* {
      const size_t n = std::strlen(flag);
      return arg.compare(0, n, flag) == 0 ? argv[i] + n : nullptr;
    };
    if (const char* v = value("--workloads=")) {
      workloads = v;
    } else if (const char* v = value("--samples=")) {
      o.samples.clear();
      for (const std::string& name : split(v, ','))
        if (name == "random") o.samples.push_back(Samples::random);
        else if (name == "smooth") o.samples.push_back(Samples::smooth);
        else if (name == "refocused") o.samples.push_back(Samples::refocused);
        else usage(("unknown samples '" + name + "'").c_str());
    } else if (const char* v = value("--modules=")) {
      o.only = split(v, ',');
    } else if (const char* v = value("--reps=")) {
      o.reps = std::atoi(v);
    } else if (const char* v = value("--literal-reps=")) {
      o.literal_reps = std::atoi(v);
    } else if (const char* v = value("--alpha=")) {
      o.alpha = std::atof(v);
    } else if (arg == "--every-path") {
      o.every_path = true;
    } else {
      usage(("unknown option '" + arg + "'").c_str());
    }
  }
  if (o.reps < 1 || o.literal_reps < 0) usage("repetitions must be at least 1 (literal: 0 skips it and the check)");
  for (const std::string& w : split(workloads, ',')) o.shapes.push_back(parse_shape(w, o.alpha));
  return o;
}

const char* kWhich[3] = {"module", "literal", "floor"};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);  // takes its own --benchmark_* flags out first
  const Options options = parse(argc, argv);
  const std::vector<Subject> subjects = all_subjects(options.every_path);

  std::vector<Case> cases;
  for (const Shape& shape : options.shapes)
    for (Samples samples : options.samples)
      for (const Subject& subject : subjects) {
        if (!options.only.empty() &&
            std::find(options.only.begin(), options.only.end(), subject.name) == options.only.end())
          continue;
        cases.push_back({shape, samples, &subject});
      }

  // The literal runs first; then floor and module runs alternate, so that
  // both meet the same minutes of a shared machine and their ratio does not
  // hang on which of them a busy moment fell on. The module's run is the last
  // to write its output area, which is compared once the subject is done.
  std::map<std::string, std::pair<std::string, int>> names;  // benchmark name -> (case key, which)
  for (const Case& c : cases) {
    auto add = [&](int which, int repetitions, const std::shared_ptr<bool>& warmed) {
      const std::string name = Arena::key(c) + " " + kWhich[which];
      names[name] = {Arena::key(c), which};
      benchmark::RegisterBenchmark(name.c_str(),
                                   [c, which, warmed](benchmark::State& state) {
                                     arena.load(c);
                                     if (!*warmed) arena.run(which);  // page in, fill caches and TLBs
                                     *warmed = true;
                                     arena.prepare(which);
                                     for (auto _ : state) arena.run(which);
                                   })
          ->Iterations(1)
          ->Repetitions(repetitions)
          ->Unit(benchmark::kMillisecond);
    };
    if (options.literal_reps > 0) add(1, options.literal_reps, std::make_shared<bool>(false));
    const auto floor_warmed = std::make_shared<bool>(false), module_warmed = std::make_shared<bool>(false);
    for (int rep = 0; rep < options.reps; ++rep) {
      add(2, 1, floor_warmed);
      add(0, 1, module_warmed);
    }
  }

  Collector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);
  arena.finish();

  std::map<std::string, Case> by_key;
  for (const Case& c : cases) by_key[Arena::key(c)] = c;
  for (const auto& [name, seconds] : collector.seconds) {
    const auto found = names.find(name);
    if (found == names.end()) continue;
    arena.outcome_for(by_key[found->second.first]).seconds[found->second.second] = seconds;
  }

  std::printf("\n%-16s %-16s %-9s %10s %10s %10s %9s %9s %9s  %s\n", "module", "workload", "samples",
              "module ms", "literal ms", "floor ms", "ns/pixel", "literal/", "/floor", "bits");
  int failures = 0;
  for (const Case& c : cases) {
    const Outcome& o = arena.outcome_for(c);
    const double m = median(o.seconds[0]), l = median(o.seconds[1]), f = median(o.seconds[2]);
    const double pixels = static_cast<double>(c.shape.rows) * c.shape.cols;
    const char* check = o.check == 1 ? "identical" : o.check == 0 ? "DIFFER" : "not checked";
    if (o.check == 0) ++failures;
    std::printf("%-16s %-16s %-9s %10.2f %10.2f %10.2f %9.2f %9.2f %9.2f  %s\n", c.subject->name.c_str(),
                shape_name(c.shape).c_str(), samples_name(c.samples), m * 1e3, l * 1e3, f * 1e3,
                m / pixels * 1e9, l / m, m / f, check);
  }
  std::printf("(CPU time, medians of %d module and floor runs and %d literal runs; alpha %g; literal/ = literal / module,"
              " /floor = module / floor)\n",
              options.reps, options.literal_reps, options.alpha);
  if (failures) std::printf("%d result(s) differ from the literal implementation\n", failures);
  return failures ? 1 : 0;
}
