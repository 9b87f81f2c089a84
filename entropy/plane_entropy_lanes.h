// The thin vector type of the entropy engine's vector paths: GNU vectors of
// kLanes bytes, one pixel per byte lane, and the same register seen as
// doubles, words, dwords and floats. Included once by each instruction-set
// file inside its own namespace, after it defines kLanes there and opens its
// target region, so that each file keeps its own copy compiled for its set.
#pragma once

typedef uint8_t Bytes __attribute__((vector_size(kLanes)));
typedef uint16_t Words __attribute__((vector_size(kLanes)));
typedef int32_t Dwords __attribute__((vector_size(kLanes)));
typedef float Floats __attribute__((vector_size(kLanes)));
typedef double Doubles __attribute__((vector_size(kLanes)));
typedef int64_t Qwords __attribute__((vector_size(kLanes)));

constexpr int kDoubles = kLanes / 8;  // per vector
constexpr int kBlocks = kLanes / 16;  // 16-byte blocks, within which x86 packs and unpacks work

template <class V> inline V load(const void* p) {
  V x;
  std::memcpy(&x, p, sizeof x);
  return x;
}
template <class V> inline void store(void* p, V x) { std::memcpy(p, &x, sizeof x); }

// The first `count` doubles from p (none read beyond them), the rest 0.
inline Doubles load_doubles(const double* p, int64_t count) {
  if (count >= kDoubles) return load<Doubles>(p);
  Doubles x = {};
  if (count > 0) std::memcpy(&x, p, static_cast<size_t>(count) * sizeof(double));
  return x;
}

// A vector of n 16-byte blocks, block k loaded from p + k * step: built by
// shuffles, which compilers turn into inserts (a vector assembled through
// memory would stall on store forwarding).
template <int n> struct BlockVector {
  typedef uint8_t type __attribute__((vector_size(16 * n)));
};
template <int n, class H, size_t... R>
inline typename BlockVector<n>::type join(H low, H high, std::index_sequence<R...>) {
  return __builtin_shufflevector(low, high, R...);
}
template <int n> inline typename BlockVector<n>::type load_blocks(const uint8_t* p, int64_t step) {
  if constexpr (n == 1) {
    return load<typename BlockVector<1>::type>(p);
  } else {
    return join<n>(load_blocks<n / 2>(p, step), load_blocks<n / 2>(p + n / 2 * step, step),
                   std::make_index_sequence<16 * n>());
  }
}

inline Bytes min_bytes(Bytes a, Bytes b) { return a < b ? a : b; }
inline Bytes max_bytes(Bytes a, Bytes b) { return a < b ? b : a; }

// Interleaves the low (or high) halves of a and b within every 16-byte block,
// as x86 unpacks and NEON zips do.
template <bool high, class V, size_t... R> inline V interleave(V a, V b, std::index_sequence<R...>) {
  constexpr int n = sizeof...(R), block = n / kBlocks;
  return __builtin_shufflevector(a, b, ((R % block) % 2 ? n : 0) + (R / block) * block + (R % block) / 2 +
                                           (high ? block / 2 : 0)...);
}
template <bool high, class V> inline V interleave(V a, V b) {
  return interleave<high>(a, b, std::make_index_sequence<sizeof(V) / sizeof(a[0])>());
}

// Element e of dword vector q of `widen` comes from byte lane lane_of(4 * kBlocks * q + e).
constexpr int lane_of(int t) { return 16 * ((t / 4) % kBlocks) + 4 * (t / (4 * kBlocks)) + t % 4; }

// For looking up one dword per pixel in widen's order with a byte permute
// (across the register) or a byte shuffle (within each 16-byte block): byte
// 4e of vector q names the byte lane of dword e of widen's vector q (its
// place within the block), and the other three bytes of the dword the same.
struct Spread {
  alignas(64) uint8_t bytes[4][kLanes];
};
constexpr Spread make_spread(bool within_block) {
  Spread s{};
  for (int q = 0; q < 4; ++q)
    for (int e = 0; e < kLanes; ++e) {
      const int lane = lane_of(kLanes / 4 * q + e / 4);
      s.bytes[q][e] = static_cast<uint8_t>(within_block ? lane % 16 : lane);
    }
  return s;
}

// Four byte planes, byte k of every lane, assembled into the dwords of four
// vectors in lane_of order.
inline void widen(const Bytes (&b)[4], Dwords (&out)[4]) {
  const Words low01 = (Words)interleave<false>(b[0], b[1]), high01 = (Words)interleave<true>(b[0], b[1]);
  const Words low23 = (Words)interleave<false>(b[2], b[3]), high23 = (Words)interleave<true>(b[2], b[3]);
  out[0] = (Dwords)interleave<false>(low01, low23);
  out[1] = (Dwords)interleave<true>(low01, low23);
  out[2] = (Dwords)interleave<false>(high01, high23);
  out[3] = (Dwords)interleave<true>(high01, high23);
}
