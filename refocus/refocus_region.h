// The refocus kernel over a rectangle of pixels and a range of planes, its
// results written into arrays of any layout: a small tile buffer as well as
// the whole destination. Host-free.
#pragma once

#include <cstdint>
#include <memory>

#include "refocus/refocus_paths.h"

// The region kernel's working memory, fixed whatever the sizes (about 130
// KB): a thread with a small stack passes its own, made beforehand, since
// the kernel never allocates.
struct RefocusScratch;
struct RefocusScratchDelete {
  void operator()(RefocusScratch* scratch) const;
};
using RefocusScratchPtr = std::unique_ptr<RefocusScratch, RefocusScratchDelete>;
// Throws std::bad_alloc.
RefocusScratchPtr make_refocus_scratch();

// Pixels r_begin .. r_end - 1 by c_begin .. c_end - 1 of planes k_begin ..
// k_end - 1. Block position (a, b) of pixel (r, c) in plane k goes to
// destination[(r - r_begin)*C + a + ((c - c_begin)*C + b)*destination_height
// + (k - k_begin)*destination_plane], its image element to
// image[(r - r_begin) + (c - c_begin)*image_rows + (k - k_begin)*image_plane].
struct RefocusRegion {
  int64_t r_begin, r_end, c_begin, c_end, k_begin, k_end;
  double* destination;
  int64_t destination_height, destination_plane;
  double* image;
  int64_t image_rows, image_plane;
  // Ask for the next column's destination lines ahead: worth it when the
  // destination streams from memory, not for a buffer that stays in cache.
  bool prefetch_destination;
  // Null: the kernel's working memory is on the calling thread's stack.
  RefocusScratch* scratch = nullptr;
};

// Every value bit for bit what refocus_remapped writes for the same pixel,
// which it is, on any path: one body makes both. The region lies inside the
// rows x cols grid; the source is the whole field.
void refocus_region(const double* source, uint16_t cols, uint16_t rows, uint16_t angular_size,
                    uint16_t angular_radius, double alpha, const RefocusRegion& region,
                    VectorPath path = refocus_best_path());

// One tile of pixels refocused at several shifts from one copy of the source
// around it, made once per plane and read by every shift: a slot per source
// column that any of the shifts reads, as the region kernel makes one per
// column and shift. Every value is still bit for bit refocus_remapped's.
// Working memory is fixed by the tile size and the shift count.
struct RefocusWindowState;
class RefocusWindow {
 public:
  // For a rows x cols field of block side C = 2D + 1, tiles of at most
  // tile_rows x tile_cols pixels and at most max_shifts shifts a plan. The
  // path may be avx512, which bins with AVX-512's registers and otherwise
  // runs as avx2.
  RefocusWindow(VectorPath path, int64_t rows, int64_t cols, int64_t angular_size, int64_t tile_rows,
                int64_t tile_cols, int64_t max_shifts);
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
  // destination: the bins of pixel (r, c) of the region, sample (a, b), at byte
  //   (c - c_begin) * G + (r - r_begin) / lanes * lanes * C^2
  //   + (a * C + b) * lanes + (r - r_begin) % lanes,  G = ceil(rows / lanes) * lanes * C^2,
  // lanes a multiple of bin_width(). Images as refocus writes them.
  int64_t bin_width() const;
  void refocus_bins(int64_t i, const RefocusRegion& region, uint8_t* bins, int64_t lanes) const;

 private:
  // Owned from the start: a constructor that throws midway frees it.
  std::unique_ptr<RefocusWindowState> state_;
};
