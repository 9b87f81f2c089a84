// A hint that a large array about to be written for the first time may be
// backed by large pages. Host-free.
#pragma once

#include <cstddef>

// Where the system offers it (Linux's transparent huge pages on request),
// asks for [data, data + bytes) to be backed by large pages, so that filling
// a new array of many megabytes takes one page fault per 2 MB rather than
// one per 4 KB. Only a hint: nothing is allocated or moved, and no result
// depends on it.
void advise_large_pages(void* data, size_t bytes);
