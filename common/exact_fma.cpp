// Fused multiply-add in integer arithmetic: the exact product and addend,
// aligned in 128 bits, rounded once.
#include "common/exact_fma.h"

#include <cstdint>
#include <cstring>
#include <utility>

#include "common/bit_cast.h"

namespace {

struct U128 {
  uint64_t hi, lo;
};

bool operator==(U128 x, U128 y) { return x.hi == y.hi && x.lo == y.lo; }
bool operator<(U128 x, U128 y) { return x.hi < y.hi || (x.hi == y.hi && x.lo < y.lo); }

U128 add(U128 x, U128 y) {
  const uint64_t lo = x.lo + y.lo;
  return {x.hi + y.hi + (lo < x.lo), lo};
}

// x >= y.
U128 subtract(U128 x, U128 y) { return {x.hi - y.hi - (x.lo < y.lo), x.lo - y.lo}; }

U128 multiply(uint64_t a, uint64_t b) {
  const uint64_t a0 = a & 0xffffffffu, a1 = a >> 32, b0 = b & 0xffffffffu, b1 = b >> 32;
  const uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
  const uint64_t middle = (p00 >> 32) + (p01 & 0xffffffffu) + (p10 & 0xffffffffu);
  return {p11 + (p01 >> 32) + (p10 >> 32) + (middle >> 32), (middle << 32) | (p00 & 0xffffffffu)};
}

// 0 <= n < 128.
U128 shift_left(U128 x, int n) {
  if (n == 0) return x;
  if (n >= 64) return {x.lo << (n - 64), 0};
  return {(x.hi << n) | (x.lo >> (64 - n)), x.lo << n};
}

// 0 <= n < 128.
U128 shift_right(U128 x, int n) {
  if (n == 0) return x;
  if (n >= 64) return {0, x.hi >> (n - 64)};
  return {x.hi >> n, (x.lo >> n) | (x.hi << (64 - n))};
}

// Shifted right by n >= 0, any bit shifted out kept in bit 0 (round to odd).
U128 shift_right_sticky(U128 x, int n) {
  if (n == 0) return x;
  if (n >= 128) return {0, (x.hi | x.lo) != 0};
  U128 r = shift_right(x, n);
  r.lo |= !(shift_left(r, n) == x);
  return r;
}

// Of a non-zero value.
int highest_bit(U128 x) { return x.hi ? 64 + lf_highest_bit(x.hi) : lf_highest_bit(x.lo); }

// A finite non-zero double as significand * 2^exponent.
void split(double x, uint64_t* significand, int* exponent) {
  const uint64_t u = lf_bit_cast<uint64_t>(x);
  const int field = static_cast<int>((u >> 52) & 0x7ff);
  const uint64_t fraction = u & ((uint64_t{1} << 52) - 1);
  *significand = field ? fraction | (uint64_t{1} << 52) : fraction;
  *exponent = (field ? field : 1) - 1075;
}

// Both operands sit with their top bit here: two bits of headroom for the
// sum, and at least 70 bits below the 53 that are kept.
constexpr int kTop = 125;

// |value| = x * 2^exponent, normalised to kTop.
struct Term {
  U128 x;
  int exponent;
  bool negative;
};

Term normalised(U128 x, int exponent, bool negative) {
  const int shift = kTop - highest_bit(x);
  return {shift_left(x, shift), exponent - shift, negative};
}

// r * 2^exponent, r non-zero, rounded to the nearest double (ties to even).
double rounded(U128 r, int exponent, bool negative) {
  const uint64_t sign = negative ? uint64_t{1} << 63 : 0;
  const int highest = highest_bit(r);
  int top = highest + exponent;  // the value lies in [2^top, 2^(top + 1))
  r = shift_left(r, 127 - highest);
  // Significand bits the result can hold: 53, fewer below 2^-1022, where the
  // last bit stays at 2^-1074.
  const int keep = top >= -1022 ? 53 : top + 1075;
  if (keep < 0) return lf_bit_cast<double>(sign);  // below half the least subnormal
  const int dropped = 64 - keep;         // of r.hi; r.lo is all below
  uint64_t significand = dropped < 64 ? r.hi >> dropped : 0;
  const uint64_t rest = dropped < 64 ? r.hi & ((uint64_t{1} << dropped) - 1) : r.hi;
  const uint64_t half = uint64_t{1} << (dropped - 1);
  if (rest > half || (rest == half && (r.lo != 0 || (significand & 1)))) ++significand;
  // Subnormal, or rounded up to the least normal: the significand is the encoding.
  if (keep < 53) return lf_bit_cast<double>(sign | significand);
  if (significand == uint64_t{1} << 53) {
    significand >>= 1;
    ++top;
  }
  if (top > 1023) return lf_bit_cast<double>(sign | 0x7ff0000000000000u);
  return lf_bit_cast<double>(sign | (uint64_t(top + 1023) << 52) | (significand & ((uint64_t{1} << 52) - 1)));
}

}  // namespace

double exact_fma(double a, double b, double c) {
  // A product that is infinite, NaN or zero is exact, and so the plain
  // expression rounds once; an infinite or NaN addend decides alone (a finite
  // product that would overflow must not meet it as an infinity).
  if (!std::isfinite(a) || !std::isfinite(b) || a == 0.0 || b == 0.0) return a * b + c;
  if (!std::isfinite(c)) return c + c;
  // The exact sum is the non-zero product, rounded once, with its own sign.
  if (c == 0.0) return a * b;

  uint64_t ma, mb, mc;
  int ea, eb, ec;
  split(a, &ma, &ea);
  split(b, &mb, &eb);
  split(c, &mc, &ec);
  Term x = normalised(multiply(ma, mb), ea + eb, std::signbit(a) != std::signbit(b));
  Term y = normalised(U128{0, mc}, ec, std::signbit(c));
  if (x.exponent < y.exponent || (x.exponent == y.exponent && x.x < y.x)) std::swap(x, y);
  // x is the larger. Two operands a bit apart lose no set bit here (their
  // lowest set bits lie at 20 and above); further apart, the sum stays above
  // 2^124 and y rounded to odd at bit 0 rounds like y itself at bit 72.
  const int gap = x.exponent - y.exponent;
  const U128 aligned = shift_right_sticky(y.x, gap > 128 ? 128 : gap);
  if (x.negative == y.negative) return rounded(add(x.x, aligned), x.exponent, x.negative);
  const U128 difference = subtract(x.x, aligned);
  if (difference == U128{0, 0}) return 0.0;  // exact cancellation is +0 when rounding to nearest
  return rounded(difference, x.exponent, x.negative);
}
