// The entropy sweep: work items of one tile of pixels and a run of shifts,
// taken by the threads in any order. A copy of the source around the tile
// serves the run. While every copied sample lies in a band well inside the
// bin range, no refocused value can leave it, so values go from the refocus
// body's registers straight to their bins, and the entropy engine sorts and
// sums them; otherwise the tile is refocused one plane at a time into a
// buffer laid out like a small remapped light field, which the engine checks
// as it bins it. Both steps are the very kernels of the whole-field modules,
// and every pixel's values depend only on the source and the shift, so
// neither the tiling nor the thread that runs an item can change a bit.
#include "sweep/entropy_sweep.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <new>
#include <thread>
#include <vector>

#if defined(__linux__)
#include <sched.h>
#endif

#include "common/portable.h"
#include "common/remapped_light_field.h"
#include "entropy/angular_bins.h"
#include "entropy/plane_entropy.h"
#include "entropy/sample_range.h"
#include "refocus/refocus_region.h"
#include "sweep/refocus_window.h"
#include "sweep/worker_threads.h"

namespace {

// Shifts per work item, at most: the window splits an item's shifts into runs
// whose copy of the source stays in cache, so long items read the source
// around a tile fewer times; the tiles alone give the threads enough items.
constexpr int64_t kShiftsPerItem = 48;
// A tile of one plane near 300 KB: it stays in the second-level cache between
// the refocus step that writes it and the entropy step that reads it.
constexpr int64_t kTileRows = 64;
constexpr int64_t kTileBytes = 300 * 1024;

struct Sweep {
  VectorPath path;  // of every kernel: each runs the widest it has that the path covers
  const double* source;
  int64_t rows, cols, C, D, n;
  const double* shifts;
  double* entropy;
  double* images;
  int64_t tile_rows, tile_cols, tiles_across, tiles, groups, group;  // group: shifts per item
  EntropyTerms terms;
  std::atomic<int64_t> next_item{0};
  std::atomic<int64_t> fault_shift;  // lowest shift with a fault so far, n when none
};

// Everything a worker writes besides the caller's arrays, made before the
// threads start: a worker never allocates, so it never throws, and its stack
// holds no kernel's working memory.
struct Workspace {
  // Rounded bins of one plane of a tile, in the groups of the entropy path
  // (`lanes` pixels); 0 lanes: that path bins its own samples.
  std::vector<uint8_t> bin_store;
  uint8_t* bins = nullptr;  // bin_store's first 64-byte boundary
  int64_t lanes = 0;
  // Left uncleared, as the window's copy: every element is written before
  // it is read.
  std::unique_ptr<double[]> buffer;  // one plane of a tile, remapped layout
  std::vector<double> image;         // one plane of a tile's image, when none is asked for
  std::unique_ptr<double[]> map;     // the tile's entropy maps, one per shift of an item
  std::unique_ptr<RefocusWindow> window;
  RefocusScratchPtr refocus_scratch;
  std::vector<uint8_t> entropy_store;
  uint8_t* entropy_scratch = nullptr;  // entropy_store's first 64-byte boundary
  SweepFault fault{-1, 0, 0.0};
};

// The first 64-byte boundary of a store of bytes + 64 bytes.
uint8_t* aligned_store(std::vector<uint8_t>& store, int64_t bytes) {
  store.resize(static_cast<size_t>(bytes + 64));
  const uintptr_t at = reinterpret_cast<uintptr_t>(store.data());
  return store.data() + ((64 - at % 64) % 64);
}

void note_fault(const Sweep& w, Workspace& ws, int64_t s, int64_t index, double value) {
  SweepFault& f = ws.fault;
  const RemappedLightField field{nullptr, w.rows, w.cols, w.C};
  if (f.shift < 0 || s < f.shift || (s == f.shift && visiting_rank(field, index) < visiting_rank(field, f.index)))
    f = {s, index, value};
}

// One plane of one tile at one shift: into the buffer, its image elements
// straight into the caller's images, or into scratch when none are asked for.
RefocusRegion tile_region(const Sweep& w, Workspace& ws, int64_t s, int64_t k, int64_t r_begin, int64_t c_begin,
                          int64_t nr, int64_t nc) {
  const int64_t pixels = w.rows * w.cols;
  RefocusRegion region;
  region.r_begin = r_begin;
  region.r_end = r_begin + nr;
  region.c_begin = c_begin;
  region.c_end = c_begin + nc;
  region.k_begin = k;
  region.k_end = k + 1;
  region.destination = ws.buffer.get();
  region.destination_height = nr * w.C;
  region.destination_plane = 0;
  if (w.images) {
    region.image = w.images + s * 3 * pixels + k * pixels + map_index(w.rows, r_begin, c_begin);
    region.image_rows = w.rows;
  } else {
    region.image = ws.image.data();
    region.image_rows = nr;
  }
  region.image_plane = 0;
  region.prefetch_destination = false;
  region.scratch = ws.refocus_scratch.get();
  return region;
}

// The tile plane into the buffer, from the window's copy when it serves the
// shift (shift index s - planned of its plan).
void refocus_tile_plane(const Sweep& w, Workspace& ws, int64_t s, int64_t planned, bool windowed, int64_t k,
                        int64_t r_begin, int64_t c_begin, int64_t nr, int64_t nc) {
  const RefocusRegion region = tile_region(w, ws, s, k, r_begin, c_begin, nr, nc);
  if (windowed)
    ws.window->refocus(s - planned, region);
  else
    refocus_region(w.source, static_cast<uint16_t>(w.cols), static_cast<uint16_t>(w.rows), static_cast<uint16_t>(w.C),
                   static_cast<uint16_t>(w.D), w.shifts[s], region, w.path);
}

// One tile at shifts first .. last - 1, plane by plane, so that the source
// around the tile in one plane serves every shift of the run from cache. A
// shift whose samples leave the bin range in one plane takes no entropy any
// more, but its later planes are still looked at: planes come last in the
// visiting order, so a later plane's fault at an earlier pixel comes first.
void run_item(Sweep& w, Workspace& ws, int64_t tile, int64_t first, int64_t last) {
  const int64_t C = w.C;
  // Tiles go across first: a thread's next tile mostly has the same rows,
  // whose row tables the window then keeps.
  const int64_t r_begin = tile / w.tiles_across * w.tile_rows, c_begin = tile % w.tiles_across * w.tile_cols;
  const int64_t nr = std::min(w.tile_rows, w.rows - r_begin), nc = std::min(w.tile_cols, w.cols - c_begin);
  const int64_t tile_pixels = nr * nc;
  const MapUpdate updates[3] = {MapUpdate::store, MapUpdate::add, MapUpdate::add_average};
  bool failed[kShiftsPerItem] = {};
  // Runs of shifts that one copy of the source around the tile serves.
  for (int64_t planned = first, served; planned < last; planned += served) {
    served = ws.window->plan(r_begin, r_begin + nr, c_begin, c_begin + nc, w.shifts + planned, last - planned);
    const bool windowed = served > 0;
    if (!windowed) served = 1;
  for (int64_t k = 0; k < 3; ++k) {
    if (windowed && planned <= w.fault_shift.load(std::memory_order_relaxed)) ws.window->fill(w.source, k);
    for (int64_t s = planned; s < planned + served; ++s) {
      // A shift after one already known to fail cannot be the one named.
      if (s > w.fault_shift.load(std::memory_order_relaxed)) break;
      double* map = ws.map.get() + (s - first) * tile_pixels;
      // Bins straight from the refocused values when they cannot leave the
      // range; else the values themselves, checked as they are binned.
      if (windowed && ws.lanes > 0 && ws.window->binnable(s - planned)) {
        ws.window->refocus_bins(s - planned, tile_region(w, ws, s, k, r_begin, c_begin, nr, nc), ws.bins,
                                binned_layout(ws.lanes, nr, C));
        binned_entropy(w.path, ws.bins, nr, nc, C, w.terms, map, updates[k]);
        continue;
      }
      refocus_tile_plane(w, ws, s, planned, windowed, k, r_begin, c_begin, nr, nc);
      // The engine checks every sample in the pass that bins it; the walk
      // that names the first bad one runs only when that check fails, or
      // for a shift that failed in an earlier plane, whose later planes may
      // still hold a bad sample at an earlier pixel.
      const bool clean = !failed[s - first] &&
                         plane_entropy(w.path, BinRule::rounded, ws.buffer.get(), nr, nc, C, w.terms, map,
                                       updates[k], ws.entropy_scratch);
      if (clean) continue;
      // The tile's plane is a one-plane field of its own.
      const int64_t bad = first_sample_out_of_range(ws.buffer.get(), nr, nc, C, kRoundedBinRange, 1);
      if (bad >= 0) {
        const RlfPlace p = rlf_place({nullptr, nr, nc, C}, bad);
        note_fault(w, ws, s, rlf_index({nullptr, w.rows, w.cols, C}, r_begin + p.r, c_begin + p.c, p.a, p.b, k),
                   ws.buffer[static_cast<size_t>(bad)]);
        failed[s - first] = true;
        int64_t seen = w.fault_shift.load(std::memory_order_relaxed);
        while (s < seen && !w.fault_shift.compare_exchange_weak(seen, s, std::memory_order_relaxed)) {
        }
      }
    }
  }
  }
  const int64_t pixels = w.rows * w.cols;
  for (int64_t s = first; s < last; ++s) {
    if (failed[s - first]) continue;
    const double* map = ws.map.get() + (s - first) * tile_pixels;
    for (int64_t c = 0; c < nc; ++c)
      std::copy(map + c * nr, map + (c + 1) * nr, w.entropy + s * pixels + map_index(w.rows, r_begin, c_begin + c));
  }
}

void work(Sweep& w, Workspace& ws) {
  const int64_t items = w.tiles * w.groups;
  for (int64_t item; (item = w.next_item.fetch_add(1, std::memory_order_relaxed)) < items;) {
    const int64_t tile = item / w.groups, first = item % w.groups * w.group;
    if (first > w.fault_shift.load(std::memory_order_relaxed)) continue;
    run_item(w, ws, tile, first, std::min(w.n, first + w.group));
  }
}

}  // namespace

SweepFault entropy_sweep(VectorPath path, const double* source, int64_t rows, int64_t cols, int64_t angular_size,
                         const double* shifts, int64_t n, double* entropy, double* images, int threads,
                         SweepTiling tiling) {
  if (rows <= 0 || cols <= 0 || n <= 0) return {-1, 0, 0.0};
  // Large: the entropy terms' table.
  auto w = std::make_unique<Sweep>();
  w->path = path;
  w->source = source;
  w->rows = rows;
  w->cols = cols;
  w->C = angular_size;
  w->D = (angular_size - 1) / 2;
  w->n = n;
  w->shifts = shifts;
  w->entropy = entropy;
  w->images = images;
  const int64_t plane_bytes = angular_size * angular_size * static_cast<int64_t>(sizeof(double));
  w->tile_rows = std::min(rows, tiling.rows > 0 ? tiling.rows : kTileRows);
  // An even width by default: the window refocuses neighbouring columns in
  // groups of two, four or eight, and an odd one would leave a column alone
  // in every tile.
  const int64_t fitting = std::max<int64_t>(1, kTileBytes / (plane_bytes * w->tile_rows));
  w->tile_cols = std::min(cols, tiling.cols > 0 ? tiling.cols : fitting + (fitting > 1 && fitting % 2 == 1));
  w->tiles_across = (cols + w->tile_cols - 1) / w->tile_cols;
  w->tiles = w->tiles_across * ((rows + w->tile_rows - 1) / w->tile_rows);
  // Runs of equal length: a short last run would copy the source for few shifts.
  w->groups = (n + kShiftsPerItem - 1) / kShiftsPerItem;
  w->group = (n + w->groups - 1) / w->groups;
  w->fault_shift = n;
  make_entropy_terms(w->terms, angular_size);

  const int64_t items = w->tiles * w->groups;
  const int64_t count = std::max<int64_t>(1, std::min<int64_t>(threads, items));
  std::vector<Workspace> spaces(static_cast<size_t>(count));
  const int64_t tile_pixels = w->tile_rows * w->tile_cols;
  for (Workspace& ws : spaces) {
    ws.buffer.reset(new double[static_cast<size_t>(tile_pixels * angular_size * angular_size)]);
    if (!images) ws.image.resize(static_cast<size_t>(tile_pixels));
    ws.map.reset(new double[static_cast<size_t>(tile_pixels * kShiftsPerItem)]);
    ws.window = std::make_unique<RefocusWindow>(path, rows, cols, angular_size, w->tile_rows, kShiftsPerItem);
    ws.lanes = binned_lanes(w->path, angular_size);
    if (ws.lanes % ws.window->bin_width() != 0) ws.lanes = 0;
    if (ws.lanes > 0) {
      const int64_t groups = (w->tile_rows + ws.lanes - 1) / ws.lanes;
      ws.bins = aligned_store(ws.bin_store, w->tile_cols * groups * ws.lanes * angular_size * angular_size);
    }
    ws.refocus_scratch = make_refocus_scratch();
    ws.entropy_scratch = aligned_store(ws.entropy_store, kEntropyScratchBytes);
  }
  // A worker that fails (it cannot, as it allocates nothing) ends the queue
  // for all.
  Sweep& sweep = *w;
  run_workers(
      count, [&](int64_t t) { work(sweep, spaces[static_cast<size_t>(t)]); },
      [&]() noexcept { sweep.next_item.store(items, std::memory_order_relaxed); });

  Workspace merged;
  for (const Workspace& ws : spaces)
    if (ws.fault.shift >= 0) note_fault(*w, merged, ws.fault.shift, ws.fault.index, ws.fault.value);
  return merged.fault;
}

int available_threads() {
#if defined(__linux__) && defined(CPU_COUNT)
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    const int count = CPU_COUNT(&set);
    if (count > 0) return count;
  }
#endif
  const unsigned hardware = std::thread::hardware_concurrency();
  return hardware > 0 ? static_cast<int>(hardware) : 1;
}
