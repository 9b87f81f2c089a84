// Work shared by the calling thread and helper threads, so that nothing a
// worker does can end the host's process: a C++ exception that leaves a
// thread's function, or a joinable std::thread destroyed while the calling
// thread unwinds, calls std::terminate. Host-free.
#pragma once

#include <cstdint>
#include <exception>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

// Runs work(t) for t = 0 .. count - 1: t = 0 on the calling thread, the others
// each on a helper thread, as many as the system starts (a helper it will not
// start leaves its share to the others, so `work` must take items from a
// common queue, never a fixed share). Whatever a worker throws is caught in
// that worker, which then calls stop() (telling the others to take no more
// items; it must not throw), and the first exception of the lowest t is
// rethrown here once every helper has been joined. Allocates only before the
// helpers start; throws std::bad_alloc from there, with none running.
template <class Work, class Stop>
void run_workers(int64_t count, Work&& work, Stop&& stop) {
  if (count < 1) count = 1;
  std::vector<std::exception_ptr> failures(static_cast<size_t>(count));
  std::vector<std::thread> helpers;
  helpers.reserve(static_cast<size_t>(count - 1));
  // Joins on every path out of this function, an exception's included.
  struct JoinAll {
    std::vector<std::thread>& threads;
    ~JoinAll() {
      for (std::thread& t : threads)
        if (t.joinable()) t.join();
    }
  } join_all{helpers};
  const auto guarded = [&](int64_t t) noexcept {
    try {
      work(t);
    } catch (...) {
      failures[static_cast<size_t>(t)] = std::current_exception();
      stop();
    }
  };
  for (int64_t t = 1; t < count; ++t) {
    // Starting a thread allocates its state and asks the system for it:
    // either may fail, and the calling thread then works with fewer helpers.
    try {
      helpers.emplace_back(guarded, t);
    } catch (const std::system_error&) {
      break;
    } catch (const std::bad_alloc&) {
      break;
    }
  }
  guarded(0);
  for (std::thread& t : helpers) t.join();
  for (const std::exception_ptr& failure : failures)
    if (failure) std::rethrow_exception(failure);
}
