// The sample-range check before an entropy kernel runs. Every sample the
// kernel reads lies in the leading (rows*C) x (cols*C) x 3 elements, so one
// straight pass over them settles the usual case; only when it finds a fault
// is the block order walked to name the first one. The straight pass reads
// as much memory as the kernel itself, so it goes at the width of the path.
#include "entropy/sample_range.h"

#include "common/portable.h"
#include "common/remapped_light_field.h"
#include "entropy/entropy_paths.h"

#if LF_X86_PATHS
#include <immintrin.h>
#endif

namespace {

int64_t first_in_visiting_order(const RemappedLightField& field, SampleRange range) {
  const int64_t C = field.angular_size;
  for (int64_t r = 0; r < field.rows; ++r)
    for (int64_t c = 0; c < field.cols; ++c)
      for (int64_t a = 0; a < C; ++a)
        for (int64_t b = 0; b < C; ++b)
          for (int64_t k = 0; k < 3; ++k) {
            const int64_t i = rlf_index(field, r, c, a, b, k);
            if (outside_range(field.data[i], range)) return i;
          }
  return -1;
}

bool any_outside_scalar(const double* s, int64_t begin, int64_t end, SampleRange range) {
  uint64_t outside = 0;
  for (int64_t i = begin; i < end; ++i) outside |= outside_range(s[i], range);
  return outside != 0;
}

#if LF_X86_PATHS

// Ordered comparisons: a NaN fails both and counts as outside.
bool any_outside_sse2(const double* s, int64_t n, SampleRange range) {
  const __m128d above = _mm_set1_pd(range.above), below = _mm_set1_pd(range.below);
  __m128d inside = _mm_castsi128_pd(_mm_set1_epi32(-1));
  int64_t i = 0;
  for (; i + 8 <= n; i += 8)
    for (int j = 0; j < 8; j += 2) {
      const __m128d x = _mm_loadu_pd(s + i + j);
      inside = _mm_and_pd(inside, _mm_and_pd(_mm_cmpgt_pd(x, above), _mm_cmplt_pd(x, below)));
    }
  return _mm_movemask_pd(inside) != 3 || any_outside_scalar(s, i, n, range);
}

LF_TARGET("avx2") bool any_outside_avx2(const double* s, int64_t n, SampleRange range) {
  const __m256d above = _mm256_set1_pd(range.above), below = _mm256_set1_pd(range.below);
  __m256d inside = _mm256_castsi256_pd(_mm256_set1_epi32(-1));
  int64_t i = 0;
  for (; i + 16 <= n; i += 16)
    for (int j = 0; j < 16; j += 4) {
      const __m256d x = _mm256_loadu_pd(s + i + j);
      inside = _mm256_and_pd(inside, _mm256_and_pd(_mm256_cmp_pd(x, above, _CMP_GT_OQ),
                                                   _mm256_cmp_pd(x, below, _CMP_LT_OQ)));
    }
  return _mm256_movemask_pd(inside) != 0xF || any_outside_scalar(s, i, n, range);
}

LF_TARGET("avx512f") bool any_outside_avx512(const double* s, int64_t n, SampleRange range) {
  const __m512d above = _mm512_set1_pd(range.above), below = _mm512_set1_pd(range.below);
  __mmask8 inside = 0xFF;
  int64_t i = 0;
  for (; i + 32 <= n; i += 32)
    for (int j = 0; j < 32; j += 8) {
      const __m512d x = _mm512_loadu_pd(s + i + j);
      inside &= _mm512_cmp_pd_mask(x, above, _CMP_GT_OQ) & _mm512_cmp_pd_mask(x, below, _CMP_LT_OQ);
    }
  return inside != 0xFF || any_outside_scalar(s, i, n, range);
}

#endif

bool any_outside(EntropyPath path, const double* s, int64_t n, SampleRange range) {
#if LF_X86_PATHS
  switch (path) {
    case EntropyPath::avx512: return any_outside_avx512(s, n, range);
    case EntropyPath::avx2: return any_outside_avx2(s, n, range);
    case EntropyPath::baseline: return any_outside_sse2(s, n, range);
  }
#endif
  (void)path;
  return any_outside_scalar(s, 0, n, range);
}

}  // namespace

int64_t first_sample_out_of_range_on_path(EntropyPath path, const double* source, int64_t rows, int64_t cols,
                                          int64_t angular_size, SampleRange range) {
  if (rows <= 0 || cols <= 0 || angular_size <= 0) return -1;
  const int64_t count = rows * angular_size * cols * angular_size * 3;
  if (!any_outside(path, source, count, range)) return -1;
  return first_in_visiting_order({source, rows, cols, angular_size}, range);
}

int64_t first_sample_out_of_range(const double* source, int64_t rows, int64_t cols, int64_t angular_size,
                                  SampleRange range) {
  return first_sample_out_of_range_on_path(entropy_best_path(), source, rows, cols, angular_size, range);
}
