// Every compiler-specific feature the project uses, each behind one guard with
// an ISO C++17 fallback. LF_PORTABLE (the strict build, and any compiler that
// is neither GCC nor Clang) turns every extension off.
#pragma once

#include <cstdint>

#if !defined(LF_PORTABLE) && (defined(__GNUC__) || defined(__clang__))
#define LF_GNU 1
#else
#define LF_GNU 0
#endif

// Vector paths are compiled only where their intrinsics and per-function
// target attributes exist.
#if LF_GNU && defined(__x86_64__)
#define LF_X86_PATHS 1
#else
#define LF_X86_PATHS 0
#endif
#if LF_GNU && defined(__aarch64__)
#define LF_NEON_PATH 1
#else
#define LF_NEON_PATH 0
#endif

// Whether std::fma compiles to the fused multiply-add instruction: AArch64
// always has it, x86-64 when the build targets FMA. Elsewhere it may be a
// library call, and some libraries round it twice.
#if LF_GNU && (defined(__aarch64__) || (defined(__x86_64__) && defined(__FMA__)))
#define LF_HARDWARE_FMA 1
#else
#define LF_HARDWARE_FMA 0
#endif

#if LF_GNU
#define LF_TARGET(isa) __attribute__((target(isa)))
#define LF_PRINTF_LIKE(format_at, args_at) __attribute__((format(printf, format_at, args_at)))
#define LF_ALWAYS_INLINE inline __attribute__((always_inline))
#define LF_NOINLINE __attribute__((noinline))
#define LF_RESTRICT __restrict
#else
#define LF_TARGET(isa)
#define LF_PRINTF_LIKE(format_at, args_at)
#define LF_ALWAYS_INLINE inline
#define LF_NOINLINE
#define LF_RESTRICT
#endif

// A hint that the line at `address` (an integer) will be read soon; never
// dereferenced. A macro: GCC deems a function around the builtin free of side
// effects and drops calls to it before inlining them.
#if LF_GNU
#define LF_PREFETCH(address) __builtin_prefetch(reinterpret_cast<const char*>(address), 0, 1)
#else
#define LF_PREFETCH(address) static_cast<void>(address)
#endif

// Code between LF_TARGET_BEGIN("isa") and LF_TARGET_END is compiled for that
// instruction set, whatever the command line says (vector paths only).
#define LF_PRAGMA(text) _Pragma(#text)
#if LF_GNU && defined(__clang__)
#define LF_TARGET_BEGIN(isa) LF_PRAGMA(clang attribute push(__attribute__((target(isa))), apply_to = function))
#define LF_TARGET_END LF_PRAGMA(clang attribute pop)
#elif LF_GNU
#define LF_TARGET_BEGIN(isa) LF_PRAGMA(GCC push_options) LF_PRAGMA(GCC target(isa))
#define LF_TARGET_END LF_PRAGMA(GCC pop_options)
#endif

// a * b, or false when the product does not fit 64 bits.
inline bool lf_mul_u64(uint64_t a, uint64_t b, uint64_t* product) {
  if (a != 0 && b > UINT64_MAX / a) return false;
  *product = a * b;
  return true;
}

// Index of the highest set bit of a non-zero word.
inline int lf_highest_bit(uint64_t bits) {
#if LF_GNU
  return 63 - __builtin_clzll(bits);
#else
  int n = 0;
  for (int step = 32; step > 0; step /= 2)
    if (bits >> step) {
      bits >>= step;
      n += step;
    }
  return n;
#endif
}

// Index of the lowest set bit of a non-zero word.
inline int lf_lowest_bit(uint64_t bits) {
#if LF_GNU
  return __builtin_ctzll(bits);
#else
  int n = 0;
  while ((bits & 1u) == 0) {
    bits >>= 1;
    ++n;
  }
  return n;
#endif
}
