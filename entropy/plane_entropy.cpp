// The portable path of the per-plane entropy engine, its summand table and
// the one place that chooses a path.
#include "entropy/plane_entropy.h"

#include <algorithm>
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

bool plane_entropy_portable(BinRule rule, const double* plane, int64_t rows, int64_t cols, int64_t angular_size,
                            const EntropyTerms& terms, double* map, MapUpdate update) {
  // Plane 0 of a view that starts at this plane.
  const RemappedLightField field{plane, rows, cols, angular_size};
  if (rule == BinRule::rounded) return portable_plane<rounded_bin>(field, kRoundedBinRange, terms, map, update);
  return portable_plane<truncated_bin>(field, kTruncatedBinRange, terms, map, update);
}

bool plane_entropy(VectorPath path, BinRule rule, const double* plane, int64_t rows, int64_t cols,
                   int64_t angular_size, const EntropyTerms& terms, double* map, MapUpdate update, uint8_t* scratch) {
  if (angular_size <= kLaneMaxBlock) {
    switch (path) {
#if LF_X86_PATHS
      case VectorPath::sse2: return plane_entropy_sse2(rule, plane, rows, cols, angular_size, terms, map, update, scratch);
      case VectorPath::avx2: return plane_entropy_avx2(rule, plane, rows, cols, angular_size, terms, map, update, scratch);
      case VectorPath::avx512:
        return plane_entropy_avx512(rule, plane, rows, cols, angular_size, terms, map, update, scratch);
#endif
#if LF_NEON_PATH
      case VectorPath::neon: return plane_entropy_neon(rule, plane, rows, cols, angular_size, terms, map, update, scratch);
#endif
      default: break;
    }
  }
  // The portable path keeps a pixel's counts, no chunk of bins.
  static_cast<void>(scratch);
  return plane_entropy_portable(rule, plane, rows, cols, angular_size, terms, map, update);
}

int64_t binned_lanes(VectorPath path, int64_t angular_size) {
  if (angular_size > kLaneMaxBlock) return 0;
  switch (path) {
    case VectorPath::sse2: return LF_X86_PATHS ? 16 : 0;
    case VectorPath::avx2: return LF_X86_PATHS ? 32 : 0;
    case VectorPath::avx512: return LF_X86_PATHS ? 64 : 0;
    case VectorPath::neon: return LF_NEON_PATH ? 16 : 0;
    case VectorPath::portable: return 0;
  }
  return 0;
}

void binned_entropy(VectorPath path, uint8_t* bins, int64_t rows, int64_t cols, int64_t angular_size,
                    const EntropyTerms& terms, double* map, MapUpdate update) {
  switch (path) {
#if LF_X86_PATHS
    case VectorPath::sse2: return binned_entropy_sse2(bins, rows, cols, angular_size, terms, map, update);
    case VectorPath::avx2: return binned_entropy_avx2(bins, rows, cols, angular_size, terms, map, update);
    case VectorPath::avx512: return binned_entropy_avx512(bins, rows, cols, angular_size, terms, map, update);
#endif
#if LF_NEON_PATH
    case VectorPath::neon: return binned_entropy_neon(bins, rows, cols, angular_size, terms, map, update);
#endif
    default: break;
  }
  // No other path takes bins made elsewhere: binned_lanes is 0 for it.
  (void)bins, (void)rows, (void)cols, (void)angular_size, (void)terms, (void)map, (void)update;
}

VectorPath plane_entropy_path() {
  return best_path({VectorPath::portable, VectorPath::sse2, VectorPath::avx2, VectorPath::avx512, VectorPath::neon});
}
