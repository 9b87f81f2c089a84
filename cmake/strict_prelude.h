// Force-included first into every file of the strict build (GCC): the standard
// and test headers the project uses, then every GCC extension it has ever used
// is poisoned, so that any use outside common/portable.h, whose portable
// branch uses none, stops the build as it would stop a compiler that lacks it.
// Headers included after this point must be our own; a standard header
// missing here shows as a poisoned name inside that header: add it above.
#pragma once

#include <algorithm>
#include <cassert>
#include <cctype>
#include <cfloat>
#include <cinttypes>
#include <cmath>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>
#if __has_include(<gtest/gtest.h>)
#include <gtest/gtest.h>
#endif

#include "common/portable.h"

#pragma GCC poison __attribute__ __builtin_memcpy __builtin_shufflevector __builtin_prefetch
#pragma GCC poison __builtin_ctzll __builtin_cpu_supports __builtin_mul_overflow __builtin_trap
#pragma GCC poison __builtin_expect __builtin_unreachable __int128 __restrict __restrict__
#pragma GCC poison __m128 __m128d __m128i __m256 __m256d __m256i __m512 __m512d __m512i
