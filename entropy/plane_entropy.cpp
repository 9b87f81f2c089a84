// The portable path of the per-plane entropy engine, its summand table and
// the choice of path.
#include "entropy/plane_entropy.h"

#include <algorithm>
#include <iterator>

#include "common/portable.h"
#include "common/vector_paths.h"
#include "entropy/angular_bins.h"

void make_entropy_terms(EntropyTerms& terms, int64_t angular_size) {
  const int64_t block = angular_size * angular_size;
  terms.block = static_cast<float>(block);
  terms.tabulated = std::min(block, EntropyTerms::kTabulated);
  // Beyond C^2 no count occurs; the vector paths still read those entries.
  std::fill(std::begin(terms.table), std::end(terms.table), 0.0f);
  for (int64_t n = 1; n <= terms.tabulated; ++n) terms.table[n] = entropy_term(static_cast<uint64_t>(n), terms.block);
}

namespace {

// One pixel's counts, and which bins hold any, so that the sum visits only
// those, in ascending order. Both are left cleared for the next pixel.
struct PixelCounts {
  uint64_t counts[kBins] = {};
  uint64_t occupied[kBins / 64] = {};
};

template <int32_t (*Bin)(double)>
float pixel_entropy(const double* plane, int64_t height, int64_t C, int64_t r, int64_t c, const EntropyTerms& terms,
                    PixelCounts& pixel) {
  for (int64_t b = 0; b < C; ++b) {
    const double* column = plane + (c * C + b) * height + r * C;
    for (int64_t a = 0; a < C; ++a) {
      const int32_t bin = Bin(column[a]);
      ++pixel.counts[bin];
      pixel.occupied[bin >> 6] |= uint64_t{1} << (bin & 63);
    }
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
void baseline_rows(const double* plane, int64_t rows, int64_t cols, int64_t C, const EntropyTerms& terms,
                   double* map, MapUpdate update) {
  const int64_t height = rows * C;
  PixelCounts pixel;
  for (int64_t c = 0; c < cols; ++c)
    for (int64_t r = 0; r < rows; ++r)
      update_map(map + r + c * rows, pixel_entropy<Bin>(plane, height, C, r, c, terms, pixel), update);
}

}  // namespace

void plane_entropy_baseline(BinRule rule, const double* plane, int64_t rows, int64_t cols, int64_t angular_size,
                            const EntropyTerms& terms, double* map, MapUpdate update) {
  if (rule == BinRule::rounded)
    baseline_rows<rounded_bin>(plane, rows, cols, angular_size, terms, map, update);
  else
    baseline_rows<truncated_bin>(plane, rows, cols, angular_size, terms, map, update);
}

void plane_entropy(EntropyPath path, BinRule rule, const double* plane, int64_t rows, int64_t cols,
                   int64_t angular_size, const EntropyTerms& terms, double* map, MapUpdate update) {
#if LF_X86_PATHS
  if (path == EntropyPath::avx512 && angular_size <= kLaneMaxBlock) {
    plane_entropy_avx512(rule, plane, rows, cols, angular_size, terms, map, update);
    return;
  }
  if (path == EntropyPath::avx2 && angular_size <= kLaneMaxBlock) {
    plane_entropy_avx2(rule, plane, rows, cols, angular_size, terms, map, update);
    return;
  }
#else
  (void)path;
#endif
  plane_entropy_baseline(rule, plane, rows, cols, angular_size, terms, map, update);
}

bool entropy_path_available(EntropyPath path) {
  switch (path) {
    case EntropyPath::baseline: return true;
#if LF_X86_PATHS
    case EntropyPath::avx2: return path_available(VectorPath::avx2);
    case EntropyPath::avx512: return path_available(VectorPath::avx512);
#else
    default: return false;
#endif
  }
  return false;
}

const char* entropy_path_name(EntropyPath path) {
  switch (path) {
    case EntropyPath::baseline: return "baseline";
    case EntropyPath::avx2: return "avx2";
    case EntropyPath::avx512: return "avx512";
  }
  return "?";
}

EntropyPath entropy_best_path() {
  for (EntropyPath path : {EntropyPath::avx512, EntropyPath::avx2})
    if (entropy_path_available(path)) return path;
  return EntropyPath::baseline;
}
