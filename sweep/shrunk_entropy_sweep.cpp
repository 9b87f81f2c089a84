#include "sweep/shrunk_entropy_sweep.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "common/large_pages.h"
#include "common/remapped_light_field.h"
#include "entropy/angular_bins.h"
#include "entropy/sample_range.h"
#include "refocus/refocus_region.h"

namespace {

struct Shrunk {
  const double* source;
  int64_t source_rows, source_cols, C, k;
  int64_t rows, cols;  // of the shrunk field
};

// Shrunk pixel rows first .. first + count - 1, every column and plane, as a
// remapped field of count rows: each block's C samples of a column lie
// together in the source, one block in k.
void gather(const Shrunk& f, int64_t first, int64_t count, double* buffer) {
  const int64_t C = f.C;
  const int64_t source_height = f.source_rows * C, source_plane = source_height * f.source_cols * C;
  const int64_t height = count * C, width = f.cols * C;
  for (int64_t plane = 0; plane < 3; ++plane)
    for (int64_t j = 0; j < width; ++j) {
      const double* column = f.source + plane * source_plane + (j / C * f.k * C + j % C) * source_height;
      double* out = buffer + plane * height * width + j * height;
      for (int64_t r = 0; r < count; ++r)
        std::memcpy(out + r * C, column + (first + r) * f.k * C, static_cast<size_t>(C) * sizeof(double));
    }
}

// Rows beyond a pixel's own that its outer views read at the largest |shift|:
// bilinear reads reach one row past the offset, and one more is kept in hand.
// A NaN shift, or one reaching past the field, takes the whole field.
int64_t reach_of(const double* shifts, int64_t n, int64_t C, int64_t rows) {
  double largest = 0.0;
  for (int64_t s = 0; s < n; ++s) {
    const double a = std::fabs(shifts[s]);
    if (!(a <= largest)) largest = a;
  }
  const double extent = std::ceil(largest * static_cast<double>((C - 1) / 2)) + 2.0;
  return extent < static_cast<double>(rows) ? static_cast<int64_t>(extent) : rows;
}

struct Strips {
  int64_t height;  // inner rows of each strip but perhaps the last
  int64_t reach;
  int64_t buffer_rows;
};

Strips plan_strips(const Shrunk& f, int64_t reach, int64_t strip_bytes) {
  const int64_t row_bytes = f.C * f.C * f.cols * 3 * static_cast<int64_t>(sizeof(double));
  int64_t height = std::max<int64_t>(1, strip_bytes / row_bytes - 2 * reach);
  // A field that fits whole, or that every strip's reach would span, is
  // swept whole, once.
  if (strip_bytes / row_bytes >= f.rows || height + 2 * reach >= f.rows) return {f.rows, reach, f.rows};
  // Strips of even height: a short last strip would cost a sweep's set-up
  // for a few rows.
  const int64_t strips = (f.rows + height - 1) / height;
  height = (f.rows + strips - 1) / strips;
  return {height, reach, std::min(f.rows, height + 2 * reach)};
}

// The first refocused sample out of the rounded range over the whole shrunk
// field, in entropy_sweep's order (lowest shift, then visiting order), or
// none. Each strip's inner rows are refocused a row at a time from the same
// strip the sweep saw: only the error path comes here.
SweepFault first_fault(VectorPath path, const Shrunk& f, const Strips& plan, const double* shifts, int64_t n,
                       double* buffer) {
  const int64_t C = f.C;
  std::vector<double> row(static_cast<size_t>(C * C * f.cols * 3));
  std::vector<double> image(static_cast<size_t>(f.cols * 3));
  RefocusScratchPtr scratch = make_refocus_scratch();
  SweepFault best{-1, 0, 0.0};
  for (int64_t first = 0; first < f.rows; first += plan.height) {
    const int64_t last = std::min(f.rows, first + plan.height);
    const int64_t top = std::max<int64_t>(0, first - plan.reach), bottom = std::min(f.rows, last + plan.reach);
    gather(f, top, bottom - top, buffer);
    // A later strip wins only at a lower shift: its rows come later.
    const int64_t below = best.shift >= 0 ? best.shift : n;
    bool found = false;
    for (int64_t s = 0; s < below && !found; ++s)
      for (int64_t r = first; r < last && !found; ++r) {
        RefocusRegion region;
        region.r_begin = r - top;
        region.r_end = r - top + 1;
        region.c_begin = 0;
        region.c_end = f.cols;
        region.k_begin = 0;
        region.k_end = 3;
        region.destination = row.data();
        region.destination_height = C;
        region.destination_plane = C * C * f.cols;
        region.image = image.data();
        region.image_rows = 1;
        region.image_plane = f.cols;
        region.prefetch_destination = false;
        region.scratch = scratch.get();
        refocus_region(buffer, static_cast<uint16_t>(f.cols), static_cast<uint16_t>(bottom - top),
                       static_cast<uint16_t>(C), static_cast<uint16_t>((C - 1) / 2), shifts[s], region, path);
        const int64_t bad = first_sample_out_of_range(row.data(), 1, f.cols, C, kRoundedBinRange, 3);
        if (bad < 0) continue;
        const RlfPlace p = rlf_place({nullptr, 1, f.cols, C}, bad);
        best = {s, rlf_index({nullptr, f.rows, f.cols, C}, r, p.c, p.a, p.b, p.k), row[static_cast<size_t>(bad)]};
        found = true;
      }
  }
  return best;
}

}  // namespace

SweepFault shrunk_entropy_sweep(VectorPath path, const double* source, int64_t source_rows, int64_t source_cols,
                                int64_t angular_size, int64_t k, const double* shifts, int64_t n, double* entropy,
                                int threads, int64_t strip_bytes) {
  const Shrunk f{source, source_rows, source_cols, angular_size, k, source_rows / k, source_cols / k};
  if (f.rows == 0 || f.cols == 0 || n == 0) return {-1, 0, 0.0};
  const int64_t C = f.C;
  const Strips plan = plan_strips(f, reach_of(shifts, n, C, f.rows), strip_bytes);
  const size_t buffer_size = static_cast<size_t>(plan.buffer_rows * C * f.cols * C * 3);
  std::unique_ptr<double[]> buffer(new double[buffer_size]);
  advise_large_pages(buffer.get(), buffer_size * sizeof(double));
  // One strip covering the field is swept straight into the output.
  const bool whole = plan.height >= f.rows;
  std::vector<double> maps;
  if (!whole) {
    maps.resize(static_cast<size_t>(plan.buffer_rows * f.cols * n));
    advise_large_pages(maps.data(), maps.size() * sizeof(double));
  }
  for (int64_t first = 0; first < f.rows; first += plan.height) {
    const int64_t last = std::min(f.rows, first + plan.height);
    const int64_t top = std::max<int64_t>(0, first - plan.reach), bottom = std::min(f.rows, last + plan.reach);
    const int64_t height = bottom - top;
    gather(f, top, height, buffer.get());
    const SweepFault fault = entropy_sweep(path, buffer.get(), height, f.cols, C, shifts, n,
                                           whole ? entropy : maps.data(), nullptr, threads);
    if (fault.shift >= 0) {
      if (whole) return fault;
      const SweepFault found = first_fault(path, f, plan, shifts, n, buffer.get());
      if (found.shift >= 0) return found;
      // Only a strip's outer rows, which read the strip's edge in place of
      // rows beyond it, went out of range: the whole field decides.
      buffer.reset();
      buffer.reset(new double[static_cast<size_t>(f.rows * C * f.cols * C * 3)]);
      gather(f, 0, f.rows, buffer.get());
      return entropy_sweep(path, buffer.get(), f.rows, f.cols, C, shifts, n, entropy, nullptr, threads);
    }
    if (whole) break;
    for (int64_t s = 0; s < n; ++s)
      for (int64_t c = 0; c < f.cols; ++c)
        std::memcpy(entropy + s * f.rows * f.cols + c * f.rows + first,
                    maps.data() + s * height * f.cols + c * height + (first - top),
                    static_cast<size_t>(last - first) * sizeof(double));
  }
  return {-1, 0, 0.0};
}
