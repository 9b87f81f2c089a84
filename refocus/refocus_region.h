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
