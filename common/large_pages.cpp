#include "common/large_pages.h"

#include <cstdint>

#if defined(__linux__) && !defined(LF_PORTABLE)
#include <sys/mman.h>
#endif

void advise_large_pages(void* data, size_t bytes) {
#if defined(__linux__) && !defined(LF_PORTABLE) && defined(MADV_HUGEPAGE)
  // Below a few large pages there is little to gain.
  const uintptr_t large = uintptr_t{1} << 21;
  if (bytes < 4 * large) return;
  // Only whole pages inside the array: the pages at its ends may hold other
  // data, which the advice must not reach.
  const uintptr_t page = 4096;
  const uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + page - 1) & ~(page - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + bytes) & ~(page - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  static_cast<void>(data);
  static_cast<void>(bytes);
#endif
}
