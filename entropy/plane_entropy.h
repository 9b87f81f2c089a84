// The engine under both angular entropy kernels (varnel's and tressik's): the
// entropy of every pixel of one colour plane, written into a map, with the
// sample-range check fused into the same pass. Host-free; internal to entropy/.
//
// Definition: a histogram counts 1.0f per sample, is divided by C^2, and its
// entropy sums log(p) * p over the non-empty bins in ascending order. Here a
// bin's count is an integer and its summand is looked up by count: the
// summand depends on nothing else, so every bit is the same as long as the
// summands are added in ascending bin order.
#pragma once

#include <cmath>
#include <cstdint>

#include "common/natural_log.h"
#include "common/portable.h"
#include "common/vector_paths.h"
#include "entropy/angular_bins.h"

enum class BinRule { rounded, truncated };

inline SampleRange range_of(BinRule rule) { return rule == BinRule::rounded ? kRoundedBinRange : kTruncatedBinRange; }

// What the entropy E of a pixel does to its map element m. Three plane
// passes make varnel's mean, (E0 + E1) + E2 in single precision, then / 3.0:
// m holds a single-precision value between the passes, so widening it and
// narrowing it back is exact.
enum class MapUpdate {
  store,        // m = E
  add,          // m = float(m) + E
  add_average,  // m = double(float(m) + E) / 3.0
};

// log(p) * p with p = count / C^2, for each count a bin can hold.
struct EntropyTerms {
  static constexpr int64_t kTabulated = 1024;
  int64_t tabulated;  // table[n] holds the summand of n for 1 <= n <= tabulated; table[0] is +0
  float block;        // C^2 in single precision
  alignas(64) float table[kTabulated + 1];
  // Byte k of table[n] for n below 256, for the vector paths' byte lookups.
  alignas(64) uint8_t bytes[4][256];
};

// A count in single precision stops growing at 2^24 (adding 1.0f no longer
// changes it), so the summand of a larger count is that of 2^24.
inline float entropy_term(uint64_t count, float block) {
  const float held = count < (uint64_t{1} << 24) ? static_cast<float>(count) : 16777216.0f;
  const float p = held / block;
  return natural_log(p) * p;
}

// Terms for C >= 1.
void make_entropy_terms(EntropyTerms& terms, int64_t angular_size);

inline float term_of(const EntropyTerms& terms, uint64_t count) {
  return count <= static_cast<uint64_t>(terms.tabulated) ? terms.table[count] : entropy_term(count, terms.block);
}

inline void update_map(double* element, float entropy, MapUpdate update) {
  switch (update) {
    case MapUpdate::store: *element = static_cast<double>(entropy); break;
    case MapUpdate::add: *element = static_cast<double>(static_cast<float>(*element) + entropy); break;
    case MapUpdate::add_average:
      *element = static_cast<double>(static_cast<float>(*element) + entropy) / 3.0;
      break;
  }
}

// One plane of a (rows*C) x (cols*C) field, plane pointing at its first
// sample; rows, cols and C are at least 1. Returns whether every sample lies
// in the rule's range; a sample outside it is binned as 0, so the map then
// holds no meaningful value, but nothing undefined happens. The map must not
// overlap the plane. The engine has every VectorPath; `path` must be available.
// `scratch`: kEntropyScratchBytes bytes aligned to 64 for the binned samples
// of a chunk of rows under the rounded rule, for a thread with a small stack;
// null (and the truncated rule): on the stack.
constexpr int64_t kEntropyScratchBytes = 128 * 1024;
bool plane_entropy(VectorPath path, BinRule rule, const double* plane, int64_t rows, int64_t cols,
                   int64_t angular_size, const EntropyTerms& terms, double* map, MapUpdate update,
                   uint8_t* scratch = nullptr);

// The widest path of the engine that this CPU runs; both kernels default to it.
VectorPath plane_entropy_path();

// The engine's second half for bins made elsewhere: the rounded bins of
// every pixel of a rows x cols plane, in groups of binned_lanes(path) pixels
// (rows r0 .. r0 + lanes - 1 of one column; the lanes past the last row hold
// any bins), each group C^2 vectors of that many bytes, pixel p in byte p of
// every vector, a pixel's samples in any order. Columns follow each other,
// each ceil(rows / lanes) groups. The bins are sorted in place; `bins` is
// aligned to 64 bytes. Only for paths where binned_lanes is not 0.
int64_t binned_lanes(VectorPath path, int64_t angular_size);
// That layout, for a plane of `rows` rows: sample s = a*C + b of pixel (r, c)
// at byte pixel(r, c) + sample(s).
struct BinnedLayout {
  int64_t lanes, group_bytes, column_bytes;
  int64_t pixel(int64_t r, int64_t c) const { return c * column_bytes + r / lanes * group_bytes + r % lanes; }
  int64_t sample(int64_t s) const { return s * lanes; }
};
inline BinnedLayout binned_layout(int64_t lanes, int64_t rows, int64_t angular_size) {
  const int64_t group_bytes = lanes * angular_size * angular_size;
  return {lanes, group_bytes, (rows + lanes - 1) / lanes * group_bytes};
}
void binned_entropy(VectorPath path, uint8_t* bins, int64_t rows, int64_t cols, int64_t angular_size,
                    const EntropyTerms& terms, double* map, MapUpdate update);

// The vector paths sort a pixel's C^2 bins in byte lanes, so a run of equal
// bins must fit a byte; larger blocks take the portable path on every path.
constexpr int64_t kLaneMaxBlock = 15;

// One instruction set's kernels: the bodies behind plane_entropy and
// binned_entropy (same contracts, 1 <= C <= kLaneMaxBlock on a vector path),
// and the pixels per group of bins its binned kernel reads (0: it has none).
using PlaneEntropyFn = bool (*)(BinRule rule, const double* plane, int64_t rows, int64_t cols, int64_t angular_size,
                                const EntropyTerms& terms, double* map, MapUpdate update, uint8_t* scratch);
using BinnedEntropyFn = void (*)(uint8_t* bins, int64_t rows, int64_t cols, int64_t angular_size,
                                 const EntropyTerms& terms, double* map, MapUpdate update);
struct EntropyKernels {
  int64_t lanes;
  PlaneEntropyFn plane;
  BinnedEntropyFn binned;
};

namespace isa_portable {
bool plane_entropy(BinRule rule, const double* plane, int64_t rows, int64_t cols, int64_t angular_size,
                   const EntropyTerms& terms, double* map, MapUpdate update, uint8_t* scratch);
}  // namespace isa_portable
inline constexpr EntropyKernels kEntropyPortable = {0, isa_portable::plane_entropy, nullptr};
// Each defined by its instruction-set file (plane_entropy_<isa>.cpp); one
// that this build compiles out holds the portable kernels.
extern const EntropyKernels kEntropySse2, kEntropyAvx2, kEntropyAvx512, kEntropyNeon;

// The table of a path of kVectorPaths.
const EntropyKernels& entropy_kernels(VectorPath path);
