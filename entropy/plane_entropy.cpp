// The portable path of the per-plane entropy engine, its summand table and
// the one place that chooses a path's kernels.
#include "entropy/plane_entropy.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <iterator>

#include "common/remapped_light_field.h"

void make_entropy_terms(EntropyTerms& terms, int64_t angular_size) {
  const int64_t block = angular_size * angular_size;
  terms.block = static_cast<float>(block);
  terms.tabulated = std::min(block, EntropyTerms::kTabulated);
  // Beyond C^2 no count occurs; the vector paths still read those entries.
  std::fill(std::begin(terms.table), std::end(terms.table), 0.0f);
  for (int64_t n = 1; n <= terms.tabulated; ++n) terms.table[n] = entropy_term(static_cast<uint64_t>(n), terms.block);
  for (int n = 0; n < 256; ++n) {
    uint32_t bits;
    std::memcpy(&bits, &terms.table[n], sizeof bits);
    for (int k = 0; k < 4; ++k) terms.bytes[k][n] = static_cast<uint8_t>(bits >> (8 * k));
  }
}

namespace isa_portable {
namespace {

// One pixel's counts, and which bins hold any, so that the sum visits only
// those, in ascending order. Both are left cleared for the next pixel.
struct PixelCounts {
  uint64_t counts[kBins] = {};
  uint64_t occupied[kBins / 64] = {};
};

template <int32_t (*Bin)(double)>
float pixel_entropy(const RemappedLightField& field, int64_t r, int64_t c, SampleRange range,
                    const EntropyTerms& terms, PixelCounts& pixel, bool& outside) {
  // Counts are integers, so any order gives them; columns first reads memory in order.
  for (int64_t b = 0; b < field.angular_size; ++b)
    for (int64_t a = 0; a < field.angular_size; ++a) {
      const double sample = field.data[rlf_index(field, r, c, a, b, 0)];
      // Never narrowed when outside: that conversion would be undefined.
      const bool bad = outside_range(sample, range);
      outside |= bad;
      const int32_t bin = bad ? 0 : Bin(sample);
      ++pixel.counts[bin];
      pixel.occupied[bin >> 6] |= uint64_t{1} << (bin & 63);
    }
  float sum = 0.0f;
  for (int word = 0; word < kBins / 64; ++word) {
    for (uint64_t bits = pixel.occupied[word]; bits != 0; bits &= bits - 1) {
      const int bin = 64 * word + lf_lowest_bit(bits);
      sum = sum + term_of(terms, pixel.counts[bin]);
      pixel.counts[bin] = 0;
    }
    pixel.occupied[word] = 0;
  }
  return sum * -1.0f;
}

template <int32_t (*Bin)(double)>
bool portable_plane(const RemappedLightField& field, SampleRange range, const EntropyTerms& terms, double* map,
                    MapUpdate update) {
  PixelCounts pixel;
  bool outside = false;
  for (int64_t c = 0; c < field.cols; ++c)
    for (int64_t r = 0; r < field.rows; ++r)
      update_map(map + map_index(field.rows, r, c), pixel_entropy<Bin>(field, r, c, range, terms, pixel, outside),
                 update);
  return !outside;
}

}  // namespace

bool plane_entropy(BinRule rule, const double* plane, int64_t rows, int64_t cols, int64_t angular_size,
                   const EntropyTerms& terms, double* map, MapUpdate update, uint8_t* scratch) {
  // A pixel's counts, no chunk of bins.
  static_cast<void>(scratch);
  // Plane 0 of a view that starts at this plane.
  const RemappedLightField field{plane, rows, cols, angular_size};
  if (rule == BinRule::rounded) return portable_plane<rounded_bin>(field, kRoundedBinRange, terms, map, update);
  return portable_plane<truncated_bin>(field, kTruncatedBinRange, terms, map, update);
}

}  // namespace isa_portable

namespace {
constexpr bool paths_in_enum_order() {
  for (size_t i = 0; i < std::size(kVectorPaths); ++i)
    if (static_cast<size_t>(kVectorPaths[i]) != i) return false;
  return true;
}
}  // namespace

const EntropyKernels& entropy_kernels(VectorPath path) {
  // Indexed by the path: kVectorPaths lists them in the enumeration's order.
  static_assert(paths_in_enum_order(), "kVectorPaths in the order of VectorPath");
  static const EntropyKernels* const tables[] = {&kEntropyPortable, &kEntropySse2, &kEntropyAvx2, &kEntropyAvx512,
                                                 &kEntropyNeon};
  static_assert(std::size(tables) == std::size(kVectorPaths), "one table per path");
  return *tables[static_cast<size_t>(path)];
}

bool plane_entropy(VectorPath path, BinRule rule, const double* plane, int64_t rows, int64_t cols,
                   int64_t angular_size, const EntropyTerms& terms, double* map, MapUpdate update, uint8_t* scratch) {
  const PlaneEntropyFn body =
      angular_size <= kLaneMaxBlock ? entropy_kernels(path).plane : kEntropyPortable.plane;
  return body(rule, plane, rows, cols, angular_size, terms, map, update, scratch);
}

int64_t binned_lanes(VectorPath path, int64_t angular_size) {
  return angular_size <= kLaneMaxBlock ? entropy_kernels(path).lanes : 0;
}

void binned_entropy(VectorPath path, uint8_t* bins, int64_t rows, int64_t cols, int64_t angular_size,
                    const EntropyTerms& terms, double* map, MapUpdate update) {
  // Only a path whose binned_lanes is not 0 takes bins made elsewhere.
  if (const BinnedEntropyFn body = entropy_kernels(path).binned)
    body(bins, rows, cols, angular_size, terms, map, update);
}

VectorPath plane_entropy_path() {
  return best_path({VectorPath::portable, VectorPath::sse2, VectorPath::avx2, VectorPath::avx512, VectorPath::neon});
}
