// The sweep's refocus window: one tile of pixels refocused at a run of
// shifts from one copy of the source around it, into a tile buffer or
// straight into the bins the entropy engine sorts. Host-free.
#pragma once

#include <cstdint>
#include <memory>

#include "common/vector_paths.h"
#include "entropy/plane_entropy.h"
#include "refocus/refocus_region.h"

// One tile of pixels refocused at several shifts from one copy of the source
// around it, made once per plane and read by every shift: a slot per source
// column that any of the shifts reads, as the region kernel makes one per
// column and shift. Every value is still bit for bit refocus_remapped's.
// Working memory is fixed by the tile size and the shift count.
struct RefocusWindowState;
class RefocusWindow {
 public:
  // For a rows x cols field of block side C = 2D + 1, tiles of at most
  // tile_rows rows (of any width) and at most max_shifts shifts a plan. On the
  // avx512 path the window refocuses eight rows a vector and copies as avx2
  // does. Throws std::bad_alloc; nothing else allocates.
  RefocusWindow(VectorPath path, int64_t rows, int64_t cols, int64_t angular_size, int64_t tile_rows,
                int64_t max_shifts);
  ~RefocusWindow();
  RefocusWindow(const RefocusWindow&) = delete;
  RefocusWindow& operator=(const RefocusWindow&) = delete;

  // Plans pixels r_begin .. r_end - 1 by c_begin .. c_end - 1 at the first of
  // shifts[0 .. count - 1]: returns how many of them one copy serves, or 0
  // when not even the first fits (then refocus_region serves it).
  int64_t plan(int64_t r_begin, int64_t r_end, int64_t c_begin, int64_t c_end, const double* shifts,
               int64_t count);
  // Copies plane k of the source around the planned tile.
  void fill(const double* source, int64_t k);
  // Shift i of the plan, from the copy, into the region's arrays; the region
  // names the planned pixels and the copied plane.
  void refocus(int64_t i, const RefocusRegion& region) const;
  // Whether shift i's values, from the plane filled last, can go straight
  // into their rounded bins: every one of them is sure to bin inside the
  // range (the copied samples lie in a band well inside it, the shift gives
  // finite positions). Other tiles take refocus and the engine's own check.
  bool binnable(int64_t i) const;
  // For a binnable shift, the same values straight into their rounded bins
  // (the entropy engine's second half sorts them), not into the region's
  // destination: the bins of pixel (r, c) of the region, sample (a, b), at
  // byte layout.pixel(r - r_begin, c - c_begin) + layout.sample(a * C + b),
  // lanes a multiple of bin_width(). Images as refocus writes them.
  int64_t bin_width() const;
  void refocus_bins(int64_t i, const RefocusRegion& region, uint8_t* bins, const BinnedLayout& layout) const;

 private:
  // Owned from the start: a constructor that throws midway frees it.
  std::unique_ptr<RefocusWindowState> state_;
};
