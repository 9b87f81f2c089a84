// The vector body of the per-plane entropy engine, written once over the thin
// vector type of plane_entropy_lanes.h and compiled by each instruction-set
// file inside its namespace, as templates over that file's traits struct
// `Isa`. A traits struct derives from LaneTraits: it provides narrow,
// truncate and pack_bins, and, for each capability of LaneTraits it turns on,
// the operations named there; the body reads the capabilities with
// `if constexpr`, so an operation a set lacks is never asked for.
//
// Reorganised against the definition, bits unchanged:
// - kLanes pixels of a column at once, one per byte lane; a sample's bin
//   comes from the same narrowing, truncation and half-away comparison as the
//   scalar rules; the range check tells from the narrowed value's bin
//   whether it lies between the excluded single-precision bounds, which
//   accepts exactly the doubles the scalar check accepts, and a sample
//   outside is binned somewhere and reported;
// - a pixel's C^2 bins are sorted by a fixed network, so equal bins form runs
//   in ascending bin order and a run's length is that bin's count; each lane
//   adds the summand of every run where it ends, in ascending order, and +0
//   elsewhere, which leaves the sum as it is (the sum starts at +0 and every
//   summand is +0 or negative, so it is never -0);
// - a chunk of rows is first binned column by column, reading the plane in
//   memory order, and only then sorted and summed group by group; with
//   prefetch_ahead the sorting networks ask for the next column meanwhile
//   (see Ahead).
#pragma once

// What every set provides, and the capabilities a set may turn on:
//   static Floats narrow(Doubles d0, Doubles d1): both in single precision,
//     end to end, for every double (out of range: an infinity; NaN: a NaN);
//   static Dwords truncate(Floats f): each toward zero, and for a NaN, an
//     infinity or a value beyond int32 a value outside 0 .. 255;
//   static Bytes pack_bins(Dwords d0, d1, d2, d3): the low bytes of the four
//     (dwords in 0 .. 255) in order, or see pack_by_blocks.
struct LaneTraits {
  // pack_bins puts block j of d0, d1, d2 and d3 in block j (two 16-byte blocks).
  static constexpr bool pack_by_blocks = false;
  // max_unsigned(a, b): the unsigned maximum of each pair of dwords.
  static constexpr bool unsigned_max = false;
  // When not 0, table_lookup(table, index, acc): the lanes whose index is
  // below table_bytes take table[index], the others keep acc.
  static constexpr int table_bytes = 0;
  // gather_terms(table, index): table[index] per dword.
  static constexpr bool gathers = false;
  // all_below(index, bound); short_lookup(table, index): table[index] from a
  // 16-byte table where index < 16, else 0; short_lookup_low(table, index):
  // the same for indexes below 16 or from 128.
  static constexpr bool short_tables = false;
  // When not 0, all_below, and direct_summands(index, direct, out): the
  // summands of counts below direct_terms, in widen order, from the table's
  // first direct_terms entries, which load_direct_terms(table, direct) puts
  // in registers of a DirectTerms (without them: empty, and nothing loaded).
  static constexpr int direct_terms = 0;
  struct DirectTerms {};
  static void load_direct_terms(const float*, DirectTerms&) {}
  // The sorting networks ask for the next column (Ahead).
  static constexpr bool prefetch_ahead = false;
  // prefetch_line(address): a hint to bring that line into the first-level
  // cache (never faults), for the next block column while one is binned.
  static constexpr bool prefetch_next = false;
};

// Binned samples of one chunk of rows of a column, kLanes bytes per angular
// sample and group, in the caller's scratch. A chunk that takes all rows reads
// the plane in one straight pass: all rows up to 1600 at C = 9, 576 at C = 15.
constexpr int64_t kChunkBytes = kEntropyScratchBytes;

// Per-call constants.
struct Plan {
  int64_t C;
  int samples;  // C^2
  int term_pieces;
  uint8_t float_of_pixel[kLanes];    // where widen puts pixel p (in lane p)
  const uint8_t (*term_bytes)[256];  // the terms' bytes
};

template <class Isa> void make_plan(Plan& plan, int64_t C, const EntropyTerms& terms) {
  constexpr int table_bytes = Isa::table_bytes;
  plan.C = C;
  plan.samples = static_cast<int>(C * C);
  plan.term_pieces = table_bytes > 0 ? (plan.samples + table_bytes) / table_bytes : 0;
  for (int t = 0; t < kLanes; ++t) plan.float_of_pixel[lane_of(t)] = static_cast<uint8_t>(t);
  plan.term_bytes = terms.bytes;
}

// What the bins of a plane have shown so far. A sample lies inside the
// range exactly when its bin index is in 0 .. 255 and, for rounded bins, its
// rounded sum is not negative; with unsigned_max, exactly when the rounded
// sum's bits, read as unsigned, lie below those of 256.0f (a negative sum has
// its sign bit set, a NaN or an infinity every exponent bit). So `bins` holds
// every truncated bin index or-ed together, and `sums` every rounded sum's
// bits: their unsigned maximum, or else or-ed together, the rounded bins then
// or-ed into `bins`.
struct Seen {
  Dwords bins = Dwords{};
  Dwords sums = Dwords{};
};

template <class Isa> bool all_inside(const Seen& seen) {
  bool inside = true;
  for (int i = 0; i < kLanes / 4; ++i) {
    if constexpr (Isa::unsigned_max)
      inside &= static_cast<uint32_t>(seen.sums[i]) < 0x43800000u;
    else
      inside &= seen.sums[i] >= 0;
    inside &= (seen.bins[i] & ~0xFF) == 0;
  }
  return inside;
}

// The bins of kLanes samples from p (count of them present; the rest bin as
// 0), in pack_bins order, noted in `seen`. Narrowed to single precision, a
// sample lies inside the rounded range (-0.5, 255.5) exactly when f +
// kHalfAway is not negative (-0.5 sums to -2^-25, the next float up to +0) and
// truncates to at most 255; inside the truncated range (-1, 256) exactly when
// f truncates to 0 .. 255. A NaN, an infinity or anything beyond int32
// truncates to a value outside 0 .. 255 (truncate's contract), and a sample
// outside takes whatever bin pack_bins makes of it. With pack_by_blocks,
// pack_bins keeps each input's two 16-byte blocks in place, so the samples
// are narrowed in the order that leaves them in memory order.
template <class Isa, BinRule rule, bool all_present>
inline Bytes bin_samples(const double* p, int64_t count, Seen& seen) {
  static_assert(!Isa::pack_by_blocks || kDoubles == 4, "two blocks of 16 samples");
  Dwords bins[4];
  for (int v = 0; v < 4; ++v) {
    const int64_t at = Isa::pack_by_blocks ? 4 * v : 2 * v * kDoubles;
    const int64_t second = Isa::pack_by_blocks ? 16 + 4 * v : at + kDoubles;
    const Floats f = all_present ? Isa::narrow(load<Doubles>(p + at), load<Doubles>(p + second))
                                 : Isa::narrow(load_doubles(p + at, count - at),
                                               load_doubles(p + second, count - second));
    if (rule == BinRule::truncated) {
      bins[v] = Isa::truncate(f);
      seen.bins |= bins[v];
    } else {
      const Floats sum = f + kHalfAway;
      bins[v] = Isa::truncate(sum);
      if constexpr (Isa::unsigned_max) {
        seen.sums = Isa::max_unsigned(seen.sums, (Dwords)sum);
      } else {
        seen.sums |= (Dwords)sum;
        seen.bins |= bins[v];
      }
    }
  }
  return Isa::pack_bins(bins[0], bins[1], bins[2], bins[3]);
}

// Row i of every 16-byte block k: 16 bytes from first + (16k + i) * stride,
// where first points at row i of block 0.
inline Bytes load_rows(const uint8_t* first, int64_t stride) { return load_blocks<kBlocks>(first, 16 * stride); }

// Bins the kLanes x C samples of one block column of a group (`valid` of them
// present; the rest, past the last row, are never read and bin as 0) and
// stores them as C vectors, one per angular row a, pixel p in lane p: each
// pixel's C bins padded to 16 bytes, then 16 x 16 byte transposes in every
// block by interleaving bytes, words, dwords and qwords.
// Inlined into each lanes_plane: called from more of them (the sweep's
// scratch variants), GCC made it a function, about 3 % more instructions.
template <class Isa, BinRule rule, int fixed_C>
LF_ALWAYS_INLINE void bin_block_column(const double* samples, int64_t valid, const Plan& plan, uint8_t* out,
                                       Seen& seen) {
  alignas(64) uint8_t packed[kLanes * (kLaneMaxBlock + 1)];
  const int64_t C = fixed_C > 0 ? fixed_C : plan.C;
  if (valid >= kLanes * C) {
    if constexpr (Isa::prefetch_next) {
      // In a chunk of all rows the next block column's samples follow these:
      // asked for now, they arrive while these are binned. An address past
      // the plane is only a hint.
      const uintptr_t next = reinterpret_cast<uintptr_t>(samples) + static_cast<uintptr_t>(kLanes * C * 8);
      for (int64_t line = 0; line < kLanes * C * 8; line += 64)
        Isa::prefetch_line(next + static_cast<uintptr_t>(line));
    }
    for (int64_t j = 0; j < C; ++j)
      store(packed + kLanes * j, bin_samples<Isa, rule, true>(samples + kLanes * j, kLanes, seen));
  } else {
    for (int64_t j = 0; j < C; ++j) {
      const int64_t at = kLanes * j;
      store(packed + at, at < valid ? bin_samples<Isa, rule, false>(samples + at, valid - at, seen) : Bytes{});
    }
  }
  store(packed + kLanes * C, Bytes{});  // the padding of the last pixels
  Bytes r[16];
  for (int i = 0; i < 16; ++i) r[i] = load_rows(packed + i * C, C);
  Words s[16];
  for (int i = 0; i < 8; ++i) {
    s[i] = (Words)interleave<false>(r[2 * i], r[2 * i + 1]);
    s[i + 8] = (Words)interleave<true>(r[2 * i], r[2 * i + 1]);
  }
  Dwords t[16];
  for (int h = 0; h < 16; h += 8)
    for (int i = 0; i < 4; ++i) {
      t[h + i] = (Dwords)interleave<false>(s[h + 2 * i], s[h + 2 * i + 1]);
      t[h + i + 4] = (Dwords)interleave<true>(s[h + 2 * i], s[h + 2 * i + 1]);
    }
  Qwords u[16];
  for (int g = 0; g < 16; g += 4)
    for (int i = 0; i < 2; ++i) {
      u[g + i] = (Qwords)interleave<false>(t[g + 2 * i], t[g + 2 * i + 1]);
      u[g + i + 2] = (Qwords)interleave<true>(t[g + 2 * i], t[g + 2 * i + 1]);
    }
  for (int g = 0; g < 16; g += 2) {
    if (g < C) store(out + kLanes * g, interleave<false>(u[g], u[g + 1]));
    if (g + 1 < C) store(out + kLanes * (g + 1), interleave<true>(u[g], u[g + 1]));
  }
}

inline void compare_exchange(Bytes* x, int low, int high) {
  const Bytes u = x[low], v = x[high];
  x[low] = min_bytes(u, v);
  x[high] = max_bytes(u, v);
}

// While the groups of a column read in one pass are sorted and summed, the
// memory would be idle: so the unrolled networks ask for every kAheadStride-th
// line of the next column, one line every kAheadEvery comparators, each group
// its share (`lines` lines from `at`). So sparse, the requests do not hold the
// sort up, and the hardware prefetcher, seeing them, fetches the lines
// between (docs/PERFORMANCE.md); asking for every line, or for a group's
// share at once before its sort, made the pass slower. Lines past the plane
// are only hints.
struct Ahead {
  uintptr_t at = 0;
  int lines = 0;
};
constexpr int kAheadStride = 512, kAheadEvery = 8;

template <bool prefetch_ahead, int count> struct FixedNetwork {
  static constexpr SortingNetwork net = sorting_network(count);
  static void sort_unrolled(Bytes* x, Ahead ahead) {
    (void)ahead;
    LF_UNROLL_NETWORK
    for (int q = 0; q < net.size; ++q) {
      compare_exchange(x, net.comparators[q].low, net.comparators[q].high);
      if constexpr (prefetch_ahead)
        if (q % kAheadEvery == 0 && q / kAheadEvery < ahead.lines)
          LF_PREFETCH(ahead.at + static_cast<uintptr_t>(kAheadStride) * static_cast<uintptr_t>(q / kAheadEvery));
    }
  }
  static void sort_looped(Bytes* x) {
    for (int q = 0; q < net.size; ++q) compare_exchange(x, net.comparators[q].low, net.comparators[q].high);
  }
};

template <class Isa, int C> void sort_block(Bytes* x, Ahead ahead) {
  if constexpr (C <= kUnrolledBlock)
    FixedNetwork<Isa::prefetch_ahead, C * C>::sort_unrolled(x, ahead);
  else
    FixedNetwork<Isa::prefetch_ahead, C * C>::sort_looped(x);
}

template <class Isa, int... Cs>
void sort_fixed(int64_t C, Bytes* x, Ahead ahead, std::integer_sequence<int, Cs...>) {
  (void)((C == Cs + 1 ? (sort_block<Isa, Cs + 1>(x, ahead), true) : false) || ...);
}

// The summands of the counts in `index` (0 where no run ends), in the order
// of widen.
template <class Isa> inline void summands(Bytes index, const Plan& plan, const EntropyTerms& terms, Floats (&out)[4]) {
  if constexpr (Isa::gathers) {
    Dwords counts[4];
    widen({index, Bytes{}, Bytes{}, Bytes{}}, counts);
    for (int q = 0; q < 4; ++q) out[q] = Isa::gather_terms(terms.table, counts[q]);
  } else if constexpr (Isa::table_bytes > 0) {
    Bytes bytes[4];
    for (int k = 0; k < 4; ++k) {
      bytes[k] = Bytes{};
      for (int piece = 0; piece < plan.term_pieces; ++piece)
        bytes[k] = Isa::table_lookup(plan.term_bytes[k] + piece * Isa::table_bytes,
                                     index - static_cast<uint8_t>(piece * Isa::table_bytes), bytes[k]);
    }
    Dwords words[4];
    widen(bytes, words);
    for (int q = 0; q < 4; ++q) out[q] = (Floats)words[q];
  } else {
    alignas(64) float lanes[kLanes];
    for (int t = 0; t < kLanes; ++t) lanes[t] = terms.table[index[lane_of(t)]];
    for (int q = 0; q < 4; ++q) out[q] = load<Floats>(lanes + q * (kLanes / 4));
  }
}

// The same from the first `pieces` 16-entry pieces of the summand bytes, for
// counts below 16 * pieces: byte shuffles instead of gathers; with 0 pieces,
// from the registers of `direct`, for counts below direct_terms.
template <class Isa, int pieces>
inline void short_summands(Bytes index, const Plan& plan, const typename Isa::DirectTerms& direct, Floats (&out)[4]) {
  if constexpr (pieces == 0) {
    if constexpr (Isa::direct_terms > 0) Isa::direct_summands(index, direct, out);
  } else {
    Bytes bytes[4] = {};
    for (int piece = 0; piece < pieces; ++piece) {
      const Bytes local = index - static_cast<uint8_t>(16 * piece);
      // No count reaches the last piece's end, and those below its start wrap
      // to 128 or more (pieces stay within 8).
      for (int k = 0; k < 4; ++k)
        bytes[k] |= piece + 1 < pieces ? Isa::short_lookup(plan.term_bytes[k] + 16 * piece, local)
                                       : Isa::short_lookup_low(plan.term_bytes[k] + 16 * piece, local);
    }
    Dwords words[4];
    widen(bytes, words);
    for (int q = 0; q < 4; ++q) out[q] = (Floats)words[q];
  }
}

template <class Isa, int pieces>
inline void add_short_summands(const Bytes* index, int from, int to, const Plan& plan,
                               const typename Isa::DirectTerms& direct, Floats (&sums)[4]) {
  for (int j = from; j < to; ++j) {
    Floats added[4];
    short_summands<Isa, pieces>(index[j], plan, direct, added);
    for (int q = 0; q < 4; ++q) sums[q] = sums[q] + added[q];
  }
}

// The same for any number of pieces in Ps, or false for another.
template <class Isa, int... Ps>
inline bool add_pieces(int pieces, const Bytes* index, int from, int to, const Plan& plan,
                       const typename Isa::DirectTerms& direct, Floats (&sums)[4], std::integer_sequence<int, Ps...>) {
  return ((pieces == Ps ? (add_short_summands<Isa, Ps>(index, from, to, plan, direct, sums), true) : false) || ...);
}

template <class Isa>
inline void add_summands(const Bytes* index, int from, int to, const Plan& plan, const EntropyTerms& terms,
                         Floats (&sums)[4]) {
  for (int j = from; j < to; ++j) {
    Floats added[4];
    summands<Isa>(index[j], plan, terms, added);
    for (int q = 0; q < 4; ++q) sums[q] = sums[q] + added[q];
  }
}

// The count of the run that ends at step j in each lane, or 0 where none
// ends. A run ending at step j began after the previous ending, so its count
// is j + 1 less that ending's j + 1, which a running maximum carries: one max
// per step on the chain from step to step, where a running length needs three
// operations. The last step (j = n - 1) ends every run. `step` holds j in
// every lane before and j + 1 after, counted up rather than broadcast from j;
// a run goes on where the next bin is equal (an and-not of that, rather than
// a negated compare).
inline Bytes ending_count(const Bytes* sorted, int j, bool last, Bytes& step, Bytes& begun) {
  step += 1;
  const Bytes goes_on = last ? Bytes{} : (Bytes)(sorted[j] == sorted[j + 1]);
  const Bytes count = ~goes_on & (step - begun);
  begun = max_bytes(begun, ~goes_on & step);
  return count;
}

// The same for steps from .. to - 1, into index, and their largest count;
// the last step apart from the loop.
inline Bytes ending_counts(const Bytes* sorted, int from, int to, int n, Bytes& step, Bytes& begun, Bytes* index) {
  Bytes longest = Bytes{};
  int j = from;
  for (const int open = std::min(to, n - 1); j < open; ++j) {
    index[j] = ending_count(sorted, j, false, step, begun);
    longest = max_bytes(longest, index[j]);
  }
  if (j < to) {  // j = n - 1
    index[j] = ending_count(sorted, j, true, step, begun);
    longest = max_bytes(longest, index[j]);
  }
  return longest;
}

// Entropies of the pixels of a group from their sorted bins, into
// min(valid, kLanes) consecutive map elements.
template <class Isa, int fixed_C>
void group_entropies(const Bytes* sorted, const Plan& plan, const EntropyTerms& terms, double* map, int64_t valid,
                     MapUpdate update) {
  Floats sums[4] = {};
  Bytes begun = Bytes{}, step = Bytes{};
  const int n = fixed_C > 0 ? fixed_C * fixed_C : plan.samples;
  if constexpr (Isa::short_tables) {
    // First the count ending at every step, by segments of 16 steps (the
    // first 15); then each segment looks its summands up in as few 16-entry
    // pieces as its longest ending run needs, which is at most the segment's
    // number, as at step j no run is longer than j + 1: a few branches per
    // group instead of some per step. A segment whose counts all lie in the
    // table held in registers (0 pieces) looks them up there.
    alignas(64) Bytes index[kLaneMaxBlock * kLaneMaxBlock];
    int pieces[kLaneMaxBlock + 1];
    typename Isa::DirectTerms direct;
    Isa::load_direct_terms(terms.table, direct);
    for (int segment = 1, j = 0; j < n; ++segment) {
      const int to = std::min(n, 16 * segment - 1);
      const Bytes longest = ending_counts(sorted, j, to, n, step, begun, index);
      j = to;
      int needed = 1;
      while (needed < segment && !Isa::all_below(longest, 16 * needed)) ++needed;
      if constexpr (Isa::direct_terms > 0)
        if (Isa::all_below(longest, Isa::direct_terms)) needed = 0;
      pieces[segment] = needed;
    }
    for (int segment = 1, j = 0; j < n; ++segment) {
      const int to = std::min(n, 16 * segment - 1);
      if (!add_pieces<Isa>(pieces[segment], index, j, to, plan, direct, sums,
                           std::integer_sequence<int, 0, 1, 2, 3, 4, 5, 6>()))
        add_summands<Isa>(index, j, to, plan, terms, sums);
      j = to;
    }
  } else if constexpr (Isa::direct_terms > 0) {
    // First the count ending at every step, by segments of direct_terms
    // steps; then a segment whose counts all lie in the table held in
    // registers looks them up there, any other in the byte tables.
    alignas(64) Bytes index[kLaneMaxBlock * kLaneMaxBlock];
    typename Isa::DirectTerms direct;
    Isa::load_direct_terms(terms.table, direct);
    for (int first = 0; first < n;) {
      const int to = std::min(n, first + Isa::direct_terms);
      const Bytes longest = ending_counts(sorted, first, to, n, step, begun, index);
      const bool held = Isa::all_below(longest, Isa::direct_terms);
      for (int j = first; j < to; ++j) {
        Floats added[4];
        if (held)
          Isa::direct_summands(index[j], direct, added);
        else
          summands<Isa>(index[j], plan, terms, added);
        for (int q = 0; q < 4; ++q) sums[q] = sums[q] + added[q];
      }
      first = to;
    }
  } else {
    for (int j = 0; j < n; ++j) {
      Floats added[4];
      summands<Isa>(ending_count(sorted, j, j + 1 == n, step, begun), plan, terms, added);
      for (int q = 0; q < 4; ++q) sums[q] = sums[q] + added[q];
    }
  }
  alignas(64) float entropies[kLanes];
  for (int q = 0; q < 4; ++q) store(entropies + q * (kLanes / 4), sums[q]);
  for (int64_t p = 0; p < std::min<int64_t>(valid, kLanes); ++p)
    update_map(map + p, entropies[plan.float_of_pixel[p]] * -1.0f, update);
}

// One group's binned samples, sorted in place (asking for `ahead` meanwhile),
// then their entropies into min(valid, kLanes) consecutive map elements.
template <class Isa, int fixed_C>
void sort_and_sum(uint8_t* group, const Plan& plan, const EntropyTerms& terms, double* map, int64_t valid,
                  MapUpdate update, Ahead ahead) {
  Bytes* sorted = reinterpret_cast<Bytes*>(group);
  sort_fixed<Isa>(plan.C, sorted, ahead, std::make_integer_sequence<int, kLaneMaxBlock>());
  group_entropies<Isa, fixed_C>(sorted, plan, terms, map, valid, update);
}

// fixed_C: the angular size when compiled for one, else 0 (from the plan).
// The chunk's bins: this function's own array, which the compiler knows no
// other store can reach (in memory it is given, GCC reloads after stores:
// docs/PERFORMANCE.md), or, Given, the caller's scratch. Never inlined: clang
// would merge the frames of every copy into the caller's, and the 128 KB of
// an own chunk would then sit on the sweep's small worker stacks too.
template <class Isa, BinRule rule, int fixed_C, bool Given>
LF_NOINLINE bool lanes_plane(const RemappedLightField& field, const Plan& plan, const EntropyTerms& terms, double* map,
                 MapUpdate update, uint8_t* scratch) {
  alignas(64) uint8_t own[Given ? 64 : kChunkBytes];
  uint8_t* const bins = Given ? scratch : own;
  const int64_t rows = field.rows, C = fixed_C > 0 ? fixed_C : plan.C;
  const int64_t group_bytes = int64_t{kLanes} * plan.samples;
  const int64_t chunk_rows = kLanes * std::max<int64_t>(1, kChunkBytes / group_bytes);
  Seen seen;
  for (int64_t c = 0; c < field.cols; ++c) {
    for (int64_t first = 0; first < rows; first += chunk_rows) {
      const int64_t last = std::min(rows, first + chunk_rows);
      // Column by column in memory order: one pass over the chunk's samples.
      for (int64_t b = 0; b < C; ++b)
        for (int64_t r0 = first; r0 < last; r0 += kLanes) {
          uint8_t* out = bins + (r0 - first) / kLanes * group_bytes + kLanes * C * b;
          bin_block_column<Isa, rule, fixed_C>(field.data + rlf_index(field, r0, c, 0, b, 0), (last - r0) * C, plan, out, seen);
        }
      // A chunk of all rows is the whole column, and the next column follows
      // it in memory; each group asks for as many bytes as its own samples
      // took (a double per bin).
      Ahead ahead;
      if (first == 0 && last == rows && c + 1 < field.cols)
        ahead = {reinterpret_cast<uintptr_t>(field.data + rlf_index(field, 0, c + 1, 0, 0, 0)),
                 static_cast<int>((group_bytes * 8 + kAheadStride - 1) / kAheadStride)};
      for (int64_t r0 = first; r0 < last; r0 += kLanes, ahead.at += static_cast<uintptr_t>(kAheadStride * ahead.lines))
        sort_and_sum<Isa, fixed_C>(bins + (r0 - first) / kLanes * group_bytes, plan, terms,
                                   map + map_index(rows, r0, c), last - r0, update, ahead);
    }
  }
  return all_inside<Isa>(seen);
}

template <class Isa>
bool lanes_plane_entropy(BinRule rule, const double* plane, int64_t rows, int64_t cols, int64_t angular_size,
                         const EntropyTerms& terms, double* map, MapUpdate update, uint8_t* scratch) {
  static_assert(kLaneMaxBlock * kLaneMaxBlock < 256, "run lengths must fit a byte");
  static_assert(kLaneMaxBlock * kLaneMaxBlock < EntropyTerms::kTabulated, "every run length has its summand");
  Plan plan;
  make_plan<Isa>(plan, angular_size, terms);
  // Plane 0 of a view that starts at this plane.
  const RemappedLightField field{plane, rows, cols, angular_size};
  // The common 9 x 9 views get the binning and sums compiled for their size:
  // the transposes then keep only the rows they store, at fixed offsets
  // (about a tenth fewer instructions at C = 9).
  // Only the rounded rule takes scratch (the sweep's, on its threads).
  constexpr BinRule rounded = BinRule::rounded, truncated = BinRule::truncated;
  if (rule == rounded && scratch)
    return angular_size == 9 ? lanes_plane<Isa, rounded, 9, true>(field, plan, terms, map, update, scratch)
                             : lanes_plane<Isa, rounded, 0, true>(field, plan, terms, map, update, scratch);
  if (rule == rounded)
    return angular_size == 9 ? lanes_plane<Isa, rounded, 9, false>(field, plan, terms, map, update, nullptr)
                             : lanes_plane<Isa, rounded, 0, false>(field, plan, terms, map, update, nullptr);
  return angular_size == 9 ? lanes_plane<Isa, truncated, 9, false>(field, plan, terms, map, update, nullptr)
                           : lanes_plane<Isa, truncated, 0, false>(field, plan, terms, map, update, nullptr);
}

// Bins made elsewhere (the sweep bins its refocused values as it makes
// them): the groups of every column in turn, each C^2 vectors of kLanes
// bytes, pixel p of the group in lane p, its samples in any order, since they
// are sorted. Sorted in place.
template <class Isa>
void lanes_binned_entropy(uint8_t* bins, int64_t rows, int64_t cols, int64_t angular_size, const EntropyTerms& terms,
                          double* map, MapUpdate update) {
  Plan plan;
  make_plan<Isa>(plan, angular_size, terms);
  const BinnedLayout layout = binned_layout(kLanes, rows, angular_size);
  for (int64_t c = 0; c < cols; ++c)
    for (int64_t r0 = 0; r0 < rows; r0 += kLanes)
      sort_and_sum<Isa, 0>(bins + layout.pixel(r0, c), plan, terms, map + map_index(rows, r0, c), rows - r0, update,
                           Ahead{});
}

// The set's table (kLanes pixels per group of bins).
template <class Isa> constexpr EntropyKernels kernels_of() {
  return {kLanes, lanes_plane_entropy<Isa>, lanes_binned_entropy<Isa>};
}
