// Out of memory in the sweep: every allocation a sweep makes fails in turn,
// and each time the sweep either throws std::bad_alloc on the calling thread
// or (a helper thread it could not start) returns the full result; it never
// ends the process, and leaves nothing allocated. The worker threads allocate
// nothing at all, and whatever a worker throws reaches the calling thread
// after every thread has been joined. Its own executable: it replaces the
// global allocation functions to count and fail allocations.
#include <gtest/gtest.h>

#if defined(__linux__)
#include <pthread.h>
#endif

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/remapped_light_field.h"
#include "sweep/entropy_sweep.h"
#include "sweep/worker_threads.h"
#include "tests/path_test.h"

namespace {

// Counted while armed: allocations asked for, made, freed, asked for on
// threads other than the test's, and the one asked for (1-based) that throws.
std::atomic<bool> armed{false};
std::atomic<int64_t> allocations{0}, made{0}, frees{0}, elsewhere{0}, fail_at{0};
thread_local bool test_thread = false;

void* allocate(std::size_t size) {
  if (armed.load()) {
    const int64_t n = ++allocations;
    if (!test_thread) ++elsewhere;
    if (n == fail_at.load()) throw std::bad_alloc();
    ++made;
  }
  void* p = std::malloc(size ? size : 1);
  if (!p) throw std::bad_alloc();
  return p;
}

void release(void* p) {
  if (!p) return;
  if (armed.load()) ++frees;
  std::free(p);
}

// Over-aligned blocks: the block's start kept just before the aligned address.
void* allocate_aligned(std::size_t size, std::align_val_t alignment) {
  const std::size_t a = static_cast<std::size_t>(alignment) < sizeof(void*) ? sizeof(void*)
                                                                            : static_cast<std::size_t>(alignment);
  char* block = static_cast<char*>(allocate(size + a + sizeof(void*)));
  const uintptr_t at = (reinterpret_cast<uintptr_t>(block) + sizeof(void*) + a - 1) / a * a;
  reinterpret_cast<void**>(at)[-1] = block;
  return reinterpret_cast<void*>(at);
}

void release_aligned(void* p) {
  if (p) release(static_cast<void**>(p)[-1]);
}

}  // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void* operator new(std::size_t size, std::align_val_t a) { return allocate_aligned(size, a); }
void* operator new[](std::size_t size, std::align_val_t a) { return allocate_aligned(size, a); }
void* operator new(std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
  try {
    return allocate_aligned(size, a);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, std::align_val_t a, const std::nothrow_t& tag) noexcept {
  return operator new(size, a, tag);
}
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, std::size_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t) noexcept { release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { release(p); }
void operator delete(void* p, std::align_val_t) noexcept { release_aligned(p); }
void operator delete[](void* p, std::align_val_t) noexcept { release_aligned(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { release_aligned(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { release_aligned(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { release_aligned(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { release_aligned(p); }

namespace {

class SweepAllocation : public PathTest {};

struct Outcome {
  bool threw = false;
  std::vector<double> entropy, images;
  int64_t asked = 0, allocated = 0, freed = 0, on_workers = 0;
};

Outcome sweep_failing(VectorPath path, const std::vector<double>& source, int64_t rows, int64_t cols, int64_t C,
                      const std::vector<double>& shifts, int threads, bool images, int64_t n) {
  const int64_t pixels = rows * cols, count = static_cast<int64_t>(shifts.size());
  Outcome out;
  out.entropy.assign(static_cast<size_t>(pixels * count), -7.0);
  if (images) out.images.assign(static_cast<size_t>(pixels * 3 * count), -7.0);
  test_thread = true;
  allocations = made = frees = elsewhere = 0;
  fail_at = n;
  armed = true;
  try {
    entropy_sweep(path, source.data(), rows, cols, C, shifts.data(), count, out.entropy.data(),
                  images ? out.images.data() : nullptr, threads, SweepTiling{4, 3});
  } catch (const std::bad_alloc&) {
    out.threw = true;
  }
  armed = false;
  out.asked = allocations;
  out.allocated = made;
  out.freed = frees;
  out.on_workers = elsewhere;
  return out;
}

// Tiles of 4 x 3 pixels give every thread items; the far shift takes the
// region kernel and the entropy engine's own check, the others the window.
TEST_P(SweepAllocation, EveryFailedAllocationThrowsOnTheCallingThreadAndLeaksNothing) {
  const int64_t rows = 13, cols = 11, C = 5;
  std::mt19937 rng(5);
  std::vector<double> source(static_cast<size_t>(rlf_elements(rows, cols, C)));
  for (double& x : source) x = static_cast<double>(rng() % 256);
  const std::vector<double> shifts = {0.0, -0.37, 1e3, 0.5};
  for (int threads : {1, 3})
    for (bool images : {false, true}) {
      const Outcome whole = sweep_failing(path(), source, rows, cols, C, shifts, threads, images, 0);
      ASSERT_FALSE(whole.threw);
      EXPECT_EQ(whole.on_workers, 0) << "a worker thread allocated";
      EXPECT_EQ(whole.allocated, whole.freed);
      int64_t thrown = 0;
      for (int64_t n = 1; n <= whole.asked; ++n) {
        const Outcome got = sweep_failing(path(), source, rows, cols, C, shifts, threads, images, n);
        EXPECT_EQ(got.allocated, got.freed) << "leak, allocation " << n << " failed, threads " << threads;
        thrown += got.threw;
        if (!got.threw)
          EXPECT_TRUE(got.entropy == whole.entropy && got.images == whole.images)
              << "allocation " << n << " failed without an exception, threads " << threads;
      }
      // Only a helper thread that cannot start is worked around.
      EXPECT_GE(thrown, whole.asked - (threads - 1)) << "threads " << threads;
    }
}

// A worker's stack holds no kernel's working memory: the whole sweep, on one
// thread, runs on a stack of 64 KB (a macOS helper thread has 512 KB). Not
// under the sanitizers, whose frames are several times larger.
#if defined(__linux__) && !defined(__SANITIZE_ADDRESS__)
TEST_P(SweepAllocation, RunsOnA64KilobyteStack) {
  struct Call {
    VectorPath path;
    std::vector<double> source, entropy;
  } call{path(), {}, {}};
  const int64_t rows = 40, cols = 30, C = 9;
  std::mt19937 rng(9);
  call.source.resize(static_cast<size_t>(rlf_elements(rows, cols, C)));
  for (double& x : call.source) x = static_cast<double>(rng() % 256);
  // A window, the engine's own check (a sample outside the band) and the
  // region kernel (a far shift).
  call.source[5] = 255.4;
  const std::vector<double> shifts = {0.0, -0.37, 1e3};
  call.entropy.assign(static_cast<size_t>(rows * cols) * shifts.size(), -7.0);
  const auto run = [](void* p) -> void* {
    Call& c = *static_cast<Call*>(p);
    const double shifts[] = {0.0, -0.37, 1e3};
    entropy_sweep(c.path, c.source.data(), 40, 30, 9, shifts, 3, c.entropy.data(), nullptr, 1);
    return nullptr;
  };
  pthread_attr_t attributes;
  ASSERT_EQ(pthread_attr_init(&attributes), 0);
  // Systems with 64 KB pages (AArch64 Linux) allow no less than 128 KB.
  const size_t stack = std::max<size_t>(64 * 1024, static_cast<size_t>(PTHREAD_STACK_MIN));
  ASSERT_EQ(pthread_attr_setstacksize(&attributes, stack), 0);
  pthread_t thread;
  ASSERT_EQ(pthread_create(&thread, &attributes, run, &call), 0);
  ASSERT_EQ(pthread_join(thread, nullptr), 0);
  pthread_attr_destroy(&attributes);
  std::vector<double> want(call.entropy.size(), -7.0);
  entropy_sweep(path(), call.source.data(), rows, cols, C, shifts.data(), 3, want.data(), nullptr, 1);
  EXPECT_TRUE(want == call.entropy);
}
#endif

#if LF_GNU
LF_PATH_TESTS(SweepAllocation, {VectorPath::sse2, VectorPath::avx2, VectorPath::avx512, VectorPath::neon});
#else
LF_PATH_TESTS(SweepAllocation, {VectorPath::portable});
#endif

// Whatever a worker throws, on a helper or on the calling thread, comes back
// to the caller once all have been joined, and stops the others taking work.
TEST(WorkerThreads, CarryAWorkersExceptionToTheCallingThread) {
  for (int64_t failing = -1; failing < 4; ++failing) {
    std::atomic<int64_t> next{0}, done{0};
    std::atomic<bool> stopped{false};
    const int64_t items = 400;
    const auto work = [&](int64_t t) {
      if (t == failing) throw std::runtime_error(std::to_string(t));
      for (; next.fetch_add(1) < items;) ++done;
    };
    std::string caught;
    try {
      run_workers(4, work, [&]() noexcept {
        stopped = true;
        next = items;
      });
    } catch (const std::runtime_error& e) {
      caught = e.what();
    }
    if (failing < 0) {
      EXPECT_EQ(done.load(), items);
      EXPECT_TRUE(caught.empty() && !stopped);
    } else {
      EXPECT_EQ(caught, std::to_string(failing)) << "failing worker " << failing;
      EXPECT_TRUE(stopped);
    }
  }
}

}  // namespace
