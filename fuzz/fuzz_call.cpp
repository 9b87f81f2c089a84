// Decoding of the fuzzer's bytes into a call, the model's verdict, and the
// checks after the entry returns or raises.
#include "fuzz/fuzz_call.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <memory>

#include "common/portable.h"
#include "fuzz/fuzz_bytes.h"
#include "fuzz/mex_stub.h"

namespace {

constexpr int kMaxExtraInputs = 3;

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

// Scalars worth trying: NaN and infinities, both conversion ranges' edges,
// values that wrap modulo 2^16, and the fractions that truncate.
const double kSpecialScalars[] = {
    kNaN, kInf, -kInf, 1e300, -1e300, 2147483648.0, -2147483648.0, 2147483647.0, -2147483649.0,
    2147483647.5, 4294967296.0 + 9.0, 9223372036854775808.0, -9223372036854775808.0, 18446744073709551616.0,
    9223372036854774784.0, 3e8, -3e8, 0.5, -0.5, -0.0, std::numeric_limits<double>::denorm_min(), DBL_MAX,
    7.9, 65535.0, 65536.0, 65537.5, -1.0, -1.9, -65537.0, 131075.0,
};

// Samples at and around the edges of the 8-bit bins of both binning rules,
// and values no bin holds.
const double kSpecialSamples[] = {
    -0.5, -0.4999999999, -0.49999997, -0.4, 0.0, -0.0, 0.5, 1.5, 2.5, 2.4999999999, 2.9999999999, 127.5,
    254.5, 255.0, 255.4999999999, 255.49999, 255.5, 255.9, 255.99999999, 256.0, -1.0, -0.9, -0.99999999,
    -1.0000001, kNaN, kInf, -kInf, 1e300, -1e300, 1e-300,
};

const mxClassID kOtherScalarClasses[] = {
    mxSINGLE_CLASS, mxINT8_CLASS,    mxUINT8_CLASS,   mxINT16_CLASS, mxUINT16_CLASS, mxINT32_CLASS,
    mxUINT32_CLASS, mxINT64_CLASS,   mxUINT64_CLASS,  mxLOGICAL_CLASS, mxCHAR_CLASS, mxCELL_CLASS,
    mxSTRUCT_CLASS, mxFUNCTION_CLASS, mxDOUBLE_CLASS, mxDOUBLE_CLASS,
};

template <class T, size_t N> const T& pick(const T (&table)[N], unsigned index) { return table[index % N]; }


uint64_t splitmix(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15u);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
  return z ^ (z >> 31);
}

bool has_data(mxClassID c) { return c != mxFUNCTION_CLASS && c != mxUNKNOWN_CLASS; }

// A double stored into another class as the hosts convert it: integers round
// half away from zero and saturate, NaN becomes 0; single overflows to Inf.
template <class T> T to_int(double v) {
  if (std::isnan(v)) return 0;
  const double r = std::round(v);
  if (r <= static_cast<double>(std::numeric_limits<T>::min())) return std::numeric_limits<T>::min();
  if (r >= static_cast<double>(std::numeric_limits<T>::max())) return std::numeric_limits<T>::max();
  return static_cast<T>(r);
}

void store(mxClassID c, void* base, size_t i, double v) {
  switch (c) {
    case mxDOUBLE_CLASS: static_cast<double*>(base)[i] = v; break;
    case mxSINGLE_CLASS:
      static_cast<float*>(base)[i] = std::fabs(v) > FLT_MAX && std::isfinite(v) ? std::copysign(HUGE_VALF, v)
                                                                                 : static_cast<float>(v);
      break;
    case mxINT8_CLASS: static_cast<int8_t*>(base)[i] = to_int<int8_t>(v); break;
    case mxUINT8_CLASS: static_cast<uint8_t*>(base)[i] = to_int<uint8_t>(v); break;
    case mxINT16_CLASS: static_cast<int16_t*>(base)[i] = to_int<int16_t>(v); break;
    case mxUINT16_CLASS: static_cast<uint16_t*>(base)[i] = to_int<uint16_t>(v); break;
    case mxINT32_CLASS: static_cast<int32_t*>(base)[i] = to_int<int32_t>(v); break;
    case mxUINT32_CLASS: static_cast<uint32_t*>(base)[i] = to_int<uint32_t>(v); break;
    case mxINT64_CLASS: static_cast<int64_t*>(base)[i] = to_int<int64_t>(v); break;
    case mxUINT64_CLASS: static_cast<uint64_t*>(base)[i] = to_int<uint64_t>(v); break;
    case mxLOGICAL_CLASS: static_cast<mxLogical*>(base)[i] = v != 0.0; break;
    case mxCHAR_CLASS: static_cast<mxChar*>(base)[i] = to_int<uint16_t>(v); break;
    default: break;  // cells and structs hold null element pointers
  }
}

// The first element of a valid scalar, as the model reads it.
double first_value(const mxArray* a) {
  const void* p = a->real;
  switch (a->class_id) {
    case mxDOUBLE_CLASS: return *static_cast<const double*>(p);
    case mxSINGLE_CLASS: return *static_cast<const float*>(p);
    case mxINT8_CLASS: return *static_cast<const int8_t*>(p);
    case mxUINT8_CLASS: return *static_cast<const uint8_t*>(p);
    case mxINT16_CLASS: return *static_cast<const int16_t*>(p);
    case mxUINT16_CLASS: return *static_cast<const uint16_t*>(p);
    case mxINT32_CLASS: return *static_cast<const int32_t*>(p);
    case mxUINT32_CLASS: return *static_cast<const uint32_t*>(p);
    case mxINT64_CLASS: return static_cast<double>(*static_cast<const int64_t*>(p));
    case mxUINT64_CLASS: return static_cast<double>(*static_cast<const uint64_t*>(p));
    case mxLOGICAL_CLASS: return *static_cast<const mxLogical*>(p) ? 1.0 : 0.0;
    default: return 0.0;
  }
}

bool valid_scalar(const mxArray* a) {
  const bool numeric = (a->class_id >= mxDOUBLE_CLASS && a->class_id <= mxUINT64_CLASS) ||
                       a->class_id == mxLOGICAL_CLASS;
  return numeric && !a->complex && !a->sparse && a->numel > 0;
}

bool valid_array_class(const mxArray* a) { return a->class_id == mxDOUBLE_CLASS && !a->complex && !a->sparse; }

// Allocations of one call. Each holds exactly its elements; every header
// points into one of them (or nowhere, when empty).
struct Block {
  unsigned char* base;
  size_t bytes;
  std::vector<unsigned char> pristine, expected;
};

struct Input {
  mxArray* array;
  Role role;
  const char* made;  // how the decoder made it, for the report
};

class CallBuilder {
 public:
  ~CallBuilder() {
    for (Block& b : blocks_) std::free(b.base);
  }

  mxArray* create(mxClassID c, bool complex, bool sparse, std::vector<size_t> dims, size_t stored) {
    auto a = std::make_unique<mxArray>();
    a->class_id = c;
    a->complex = complex;
    a->sparse = sparse;
    a->dims = std::move(dims);
    a->numel = 1;
    for (size_t d : a->dims) a->numel *= d;
    a->stored = has_data(c) ? stored : 0;
    a->real = allocate(a->stored * class_element_size(c));
    if (complex) a->imag = allocate(a->stored * class_element_size(c));
    headers_.push_back(std::move(a));
    return headers_.back().get();
  }

  // A second header on the data of `a` from element `offset` on: a copy
  // made by assignment (offset 0), which the hosts share until one changes.
  mxArray* share(const mxArray* a, size_t offset, size_t count) {
    auto h = std::make_unique<mxArray>(*a);
    const size_t size = class_element_size(a->class_id);
    h->dims = {count, 1};
    h->numel = count;
    h->stored = count;
    h->real = count && a->real ? static_cast<unsigned char*>(a->real) + offset * size : nullptr;
    h->imag = count && a->imag ? static_cast<unsigned char*>(a->imag) + offset * size : nullptr;
    if (offset == 0 && count == a->numel) h->dims = a->dims;
    headers_.push_back(std::move(h));
    return headers_.back().get();
  }

  std::vector<Block>& blocks() { return blocks_; }
  const std::vector<Block>& blocks() const { return blocks_; }

  // The block that `p` (not null) points into.
  size_t block_of(const void* p) const {
    const auto* q = static_cast<const unsigned char*>(p);
    for (size_t k = 0; k < blocks_.size(); ++k)
      if (q >= blocks_[k].base && q < blocks_[k].base + blocks_[k].bytes) return k;
    std::abort();
  }

  // Where `p` lies in the expected copy of its block.
  unsigned char* mirror(const void* p) {
    if (p == nullptr) return nullptr;
    Block& b = blocks_[block_of(p)];
    return b.expected.data() + (static_cast<const unsigned char*>(p) - b.base);
  }

 private:
  void* allocate(size_t bytes) {
    if (bytes == 0) return nullptr;
    auto* p = static_cast<unsigned char*>(std::malloc(bytes));
    if (p == nullptr) std::abort();
    blocks_.push_back({p, bytes, {}, {}});
    return p;
  }

  std::vector<std::unique_ptr<mxArray>> headers_;
  std::vector<Block> blocks_;
};

double decode_scalar(FuzzBytes& in) {
  const uint8_t kind = in.u8(), b = in.u8();
  switch (kind % 16) {
    case 9: return b % 16 + (in.u8() + 1) / 257.0;
    case 10: return -static_cast<double>(b % 8) - ((b & 0x80) ? 0.5 : 0.0);
    case 11: return 65536.0 * (1 + b % 3) + (b >> 4);
    case 12: case 13: return pick(kSpecialScalars, b);
    case 14: return in.f64();
    case 15: return static_cast<int8_t>(b) / 8.0;
    default: return b % 16;
  }
}

// Element 0 takes `first` when given: the value a scalar input stands for.
void fill(mxArray* a, FuzzBytes& in, const double* first) {
  if (a->stored == 0 || a->real == nullptr) return;
  uint64_t state = in.u32();
  const uint8_t mode = in.u8() % 8;
  double palette[4];
  for (double& p : palette) {
    const uint8_t b = in.u8();
    p = b < 96 ? pick(kSpecialSamples, b) : b < 224 ? static_cast<double>(in.u8()) : in.f64();
  }
  const bool exact_bits = a->class_id == mxDOUBLE_CLASS || a->class_id == mxSINGLE_CLASS ||
                          a->class_id == mxINT64_CLASS || a->class_id == mxUINT64_CLASS;
  for (size_t i = 0; i < a->stored; ++i) {
    const uint64_t r = splitmix(state);
    double v;
    switch (mode) {
      case 0: case 1: v = static_cast<double>(r % 256); break;
      case 2: v = static_cast<double>(r % 65536) / 256.0 - 0.5; break;
      case 6:
        if (exact_bits) {
          std::memcpy(&v, &r, sizeof v);
          break;
        }
        [[fallthrough]];
      case 7: v = palette[0]; break;
      default: v = palette[r % 4]; break;
    }
    store(a->class_id, a->real, i, i == 0 && first != nullptr ? *first : v);
    if (a->imag) store(a->class_id, a->imag, i, static_cast<double>(r >> 56));
  }
}

mxArray* decode_scalar_input(FuzzBytes& in, CallBuilder& b) {
  const uint8_t cls = in.u8(), count = in.u8();
  mxClassID c = mxDOUBLE_CLASS;
  bool complex = false, sparse = false;
  if (cls >= 192) {
    c = pick(kOtherScalarClasses, cls);
    complex = (cls % 16) == 14;
    sparse = (cls % 16) == 15;
  }
  size_t n = 1;
  if (count >= 240) n = 2 + (count & 3);
  else if (count >= 224) n = 0;
  std::vector<size_t> dims = count & 1 ? std::vector<size_t>{n, 1} : std::vector<size_t>{1, n};
  if (n == 0 && (count & 2)) dims = {0, 3};
  if (c == mxFUNCTION_CLASS) dims = {1, 1};
  mxArray* a = b.create(c, complex, sparse, dims, sparse ? (count >> 2) % 2 : n);
  const double value = decode_scalar(in);
  fill(a, in, &value);
  return a;
}

mxArray* decode_array_input(FuzzBytes& in, CallBuilder& b, uint64_t needed, uint64_t max_elements,
                            const std::vector<Input>& earlier) {
  const uint8_t alias = in.u8();
  if (alias >= 216 && !earlier.empty()) {
    const mxArray* other = earlier[in.u8() % earlier.size()].array;
    if (alias < 232) return const_cast<mxArray*>(other);  // the same variable twice
    if (alias < 248 || other->stored < 2 || other->sparse) return b.share(other, 0, other->numel);
    const size_t offset = 1 + in.u8() % (other->stored - 1);
    return b.share(other, offset, other->stored - offset - in.u8() % (other->stored - offset));
  }
  static const mxClassID kClasses[] = {mxSINGLE_CLASS, mxINT8_CLASS,  mxUINT8_CLASS,  mxUINT16_CLASS,
                                       mxINT32_CLASS,  mxLOGICAL_CLASS, mxCHAR_CLASS, mxCELL_CLASS,
                                       mxSTRUCT_CLASS, mxINT64_CLASS, mxUINT64_CLASS, mxFUNCTION_CLASS};
  const uint8_t cls = in.u8(), count = in.u8();
  mxClassID c = mxDOUBLE_CLASS;
  bool complex = false, sparse = false;
  if (cls >= 232) {
    c = pick(kClasses, cls);
  } else if (cls >= 216) {
    complex = cls & 1;
    sparse = !complex;
    if (sparse && (cls & 2)) c = mxLOGICAL_CLASS;
  }
  uint64_t n = needed;
  if (count >= 208) n = in.u8() % 64;
  else if (count >= 192) n = 0;
  else if (count >= 160) n = needed + 1 + count % 4;
  else if (count >= 128) n = needed ? needed - 1 : 0;
  if (n > max_elements) n = in.u8() % 64;
  std::vector<size_t> dims{n, 1};
  if (count & 1) dims = {1, n};
  if (n % 3 == 0 && (count & 2)) dims = {n / 3, 1, 3};
  size_t stored = n;
  if (sparse) {
    // Counts all m*n elements and stores only a few, as a host does.
    dims = {size_t{1} + in.u8() * 1000u, size_t{1} + in.u8() * 1000u};
    stored = in.u8() % 4;
  }
  if (c == mxFUNCTION_CLASS) dims = {1, 1};
  mxArray* a = b.create(c, complex, sparse, dims, stored);
  fill(a, in, nullptr);
  return a;
}

const char* role_name(Role r) {
  switch (r) {
    case Role::Size: return "size";
    case Role::Real: return "real";
    case Role::Ignored: return "ignored";
    case Role::Source: return "source";
    case Role::Written: return "written";
  }
  return "?";
}

bool overlap(const mxArray* x, const mxArray* y) {
  if (x->numel == 0 || y->numel == 0 || x->real == nullptr || y->real == nullptr) return false;
  const auto x0 = reinterpret_cast<uintptr_t>(x->real), y0 = reinterpret_cast<uintptr_t>(y->real);
  const uintptr_t x1 = x0 + x->numel * class_element_size(x->class_id);
  const uintptr_t y1 = y0 + y->numel * class_element_size(y->class_id);
  return x0 < y1 && y0 < x1;
}

struct Report {
  const ModuleSpec& module;
  int nlhs, nrhs;
  const std::vector<Input>& inputs;

  void dump() const {
    std::fprintf(stderr, "call: nlhs %d, nrhs %d\n", nlhs, nrhs);
    for (size_t i = 0; i < inputs.size(); ++i) {
      const mxArray* a = inputs[i].array;
      std::fprintf(stderr, "  input %zu (%s): %s%s%s numel %zu stored %zu data %p (%s)", i + 1,
                   role_name(inputs[i].role), a->complex ? "complex " : "", a->sparse ? "sparse " : "",
                   mxGetClassName(a), a->numel, a->stored, a->real, inputs[i].made);
      if (valid_scalar(a)) std::fprintf(stderr, " first %.17g", first_value(a));
      std::fprintf(stderr, "\n");
    }
  }
  [[noreturn]] void fail(const char* what, const std::string& detail) const {
    std::fprintf(stderr, "\n%s: %s %s\n", module.name, what, detail.c_str());
    dump();
    std::abort();
  }
};

std::string join(const std::set<std::string>& kinds) {
  std::string s;
  for (const std::string& k : kinds) s += (s.empty() ? "" : ", ") + k;
  return s.empty() ? "none" : s;
}

// Outcomes over the whole run, printed when the fuzzer exits: evidence that
// the decoder reaches the kernel and every rejection, not only the first check.
struct Tally {
  const char* module = nullptr;
  uint64_t calls = 0, accepted = 0;
  std::map<std::string, uint64_t> rejected;
  ~Tally() {
    if (module == nullptr) return;
    std::fprintf(stderr, "%s fuzz tally: %llu calls, %llu accepted, rejected:", module,
                 static_cast<unsigned long long>(calls), static_cast<unsigned long long>(accepted));
    for (const auto& [id, n] : rejected) std::fprintf(stderr, " %s %llu", id.c_str(), static_cast<unsigned long long>(n));
    std::fprintf(stderr, "\n");
  }
};
Tally tally;

// The kinds a call violates, judged from how it was built: counts first (in
// that order, as the binding fixes it), then every input on its own, sharing
// and the module's rules. A call whose scalars are wrong leaves its sizes, and
// every kind that depends on them, unjudged.
Verdict judge(const ModuleSpec& module, int nlhs, const std::vector<Input>& inputs, const Call& call,
              bool scalars_ok) {
  Verdict verdict;
  if (inputs.size() != module.roles.size()) {
    verdict.violated.insert("inputCount");
  } else if (nlhs > 1) {
    verdict.violated.insert("outputCount");
  } else {
    for (size_t i = 0; i < inputs.size(); ++i) {
      const mxArray* a = inputs[i].array;
      const Role role = inputs[i].role;
      if ((role == Role::Size || role == Role::Real) && !valid_scalar(a)) {
        const bool numeric = (a->class_id >= mxDOUBLE_CLASS && a->class_id <= mxUINT64_CLASS) ||
                             a->class_id == mxLOGICAL_CLASS;
        verdict.violated.insert(numeric && !a->complex && !a->sparse ? "emptyScalar" : "badScalar");
        if (a->numel == 0) verdict.possible.insert("emptyScalar");
      }
    }
    bool arrays_ok = scalars_ok;
    for (size_t i = 0; i < inputs.size(); ++i) {
      const mxArray* a = inputs[i].array;
      if (inputs[i].role != Role::Source && inputs[i].role != Role::Written) continue;
      if (!valid_array_class(a)) {
        verdict.violated.insert("badArray");
        arrays_ok = false;
      } else if (!scalars_ok) {
        verdict.possible.insert("arrayTooSmall");
      } else if (a->numel < module.needed(call, static_cast<int>(i))) {
        verdict.violated.insert("arrayTooSmall");
        arrays_ok = false;
      }
      if (inputs[i].role != Role::Written) continue;
      for (size_t j = 0; j < inputs.size(); ++j)
        if (j != i && (inputs[j].role == Role::Source || inputs[j].role == Role::Written) &&
            overlap(a, inputs[j].array))
          verdict.violated.insert("sharedData");
    }
    if (scalars_ok) module.rules(call, arrays_ok, verdict);
    else verdict.possible.insert("*");
  }
  return verdict;
}

// Every allocation against what it must hold now: as before the call, plus
// what the literal implementation wrote when the call was accepted.
void check_blocks(const Report& report, const CallBuilder& builder, const std::vector<Input>& inputs,
                  bool accepted) {
  // Which NaN a sum or product of two NaNs keeps (payload, sign) is the
  // processor's choice of operand, which the compiler may swap: in what an
  // accepted call wrote, every NaN counts as the same value, every other
  // value to the bit.
  std::vector<bool> written_block(builder.blocks().size(), false);
  if (accepted)
    for (const Input& i : inputs)
      if (i.role == Role::Written && i.array->real != nullptr) written_block[builder.block_of(i.array->real)] = true;
  for (size_t k = 0; k < builder.blocks().size(); ++k) {
    const Block& b = builder.blocks()[k];
    size_t at = 0;
    while (at < b.bytes && b.base[at] == b.expected[at]) ++at;
    if (at == b.bytes) continue;
    char where[256];
    if (written_block[k]) {
      // Written arrays are double arrays, and so is every block they lie in.
      size_t i = 0;
      double got = 0.0, want = 0.0;
      for (; i < b.bytes / sizeof(double); ++i) {
        std::memcpy(&got, b.base + i * sizeof(double), sizeof got);
        std::memcpy(&want, b.expected.data() + i * sizeof(double), sizeof want);
        const bool same = std::isnan(got) ? std::isnan(want)
                                          : std::memcmp(&got, &want, sizeof got) == 0;
        if (!same) break;
      }
      if (i == b.bytes / sizeof(double)) continue;
      std::snprintf(where, sizeof where, "at element %zu of the allocation at %p: %a, the literal implementation %a", i,
                    static_cast<void*>(b.base), got, want);
    } else {
      std::snprintf(where, sizeof where, "at byte %zu of the allocation at %p (%s)", at, static_cast<void*>(b.base),
                    accepted ? "read only" : "the call was rejected");
    }
    report.fail("changed a caller array", where);
  }
}

}  // namespace

bool samples_within(const double* samples, uint64_t count, float low, float high) {
  for (uint64_t i = 0; i < count; ++i) {
    const double x = samples[i];
    // Narrowing a double beyond the single-precision range is undefined.
    if (!(std::fabs(x) <= FLT_MAX)) return false;
    const float f = static_cast<float>(x);
    if (!(f > low && f < high)) return false;
  }
  return true;
}

uint64_t elements(std::initializer_list<int64_t> sizes) {
  for (int64_t s : sizes)
    if (s <= 0) return 0;
  uint64_t n = 1;
  for (int64_t s : sizes)
    if (!lf_mul_u64(n, static_cast<uint64_t>(s), &n)) return UINT64_MAX;
  return n;
}

int run_fuzz_call(const ModuleSpec& module, const uint8_t* data, size_t size) {
  FuzzBytes in(data, size);
  CallBuilder builder;
  const int required = static_cast<int>(module.roles.size());

  const uint8_t lhs = in.u8(), rhs = in.u8();
  const int nlhs = lhs < 160 ? 0 : lhs < 224 ? 1 : 2 + lhs % 2;
  const int nrhs = rhs < 224 ? required : rhs % (required + kMaxExtraInputs + 1);

  // Scalars first: the array sizes the model expects depend on them.
  std::vector<Input> inputs(nrhs, Input{nullptr, Role::Ignored, ""});
  Call call;
  call.value.assign(nrhs, 0.0);
  call.data.assign(nrhs, nullptr);
  call.numel.assign(nrhs, 0);
  bool scalars_ok = true;
  for (int i = 0; i < nrhs; ++i) {
    const Role role = i < required ? module.roles[i] : Role::Ignored;
    if (role != Role::Size && role != Role::Real) continue;
    inputs[i] = {decode_scalar_input(in, builder), role, "scalar"};
    if (valid_scalar(inputs[i].array)) call.value[i] = first_value(inputs[i].array);
    else scalars_ok = false;
  }
  std::vector<Input> arrays_so_far;
  for (int i = 0; i < nrhs; ++i) {
    const Role role = i < required ? module.roles[i] : Role::Ignored;
    if (role == Role::Size || role == Role::Real) continue;
    uint64_t needed = in.u8() % 64;
    if ((role == Role::Source || role == Role::Written) && scalars_ok && nrhs == required) {
      const uint64_t n = module.needed(call, i);
      needed = n > module.max_elements ? module.max_elements + 1 : n;
    }
    if (role == Role::Ignored && (in.u8() & 1)) {
      inputs[i] = {decode_scalar_input(in, builder), role, "scalar"};
    } else {
      const mxArray* a = decode_array_input(in, builder, needed, module.max_elements, arrays_so_far);
      inputs[i] = {const_cast<mxArray*>(a), role, "array"};
      for (const Input& e : arrays_so_far)
        if (e.array == a) inputs[i].made = "same array as an earlier input";
        else if (e.array->real != nullptr && a->real == e.array->real) inputs[i].made = "shares data";
        else if (overlap(a, e.array)) inputs[i].made = "overlaps data";
    }
    arrays_so_far.push_back(inputs[i]);
  }

  for (Block& b : builder.blocks()) {
    b.pristine.assign(b.base, b.base + b.bytes);
    b.expected = b.pristine;
  }
  for (int i = 0; i < nrhs; ++i) {
    call.data[i] = reinterpret_cast<const double*>(builder.mirror(inputs[i].array->real));
    call.numel[i] = inputs[i].array->numel;
  }

  const Verdict verdict = judge(module, nlhs, inputs, call, scalars_ok);
  // LF_FUZZ_PRINT_CALLS=1 shows what inputs decode to (seeds, artifacts).
  static const bool print_calls = std::getenv("LF_FUZZ_PRINT_CALLS") != nullptr;
  if (print_calls) Report{module, nlhs, nrhs, inputs}.dump();

  mxArray* plhs[4] = {nullptr, nullptr, nullptr, nullptr};
  std::vector<const mxArray*> prhs(nrhs + 1, nullptr);
  for (int i = 0; i < nrhs; ++i) prhs[i] = inputs[i].array;
  bool accepted = true;
  MexError error;
  try {
    mexFunction(nlhs, plhs, nrhs, prhs.data());
  } catch (const MexError& e) {
    accepted = false;
    error = e;
  }

  tally.module = module.name;
  ++tally.calls;
  if (accepted) ++tally.accepted;
  else ++tally.rejected[error.id];
  const Report report{module, nlhs, nrhs, inputs};
  for (const mxArray* p : plhs)
    if (p != nullptr) report.fail("assigned an output", "");
  if (accepted) {
    if (!verdict.violated.empty()) report.fail("accepted a call that violates", join(verdict.violated));
    std::vector<double*> out(nrhs, nullptr);
    for (int i = 0; i < nrhs; ++i)
      if (inputs[i].role == Role::Written) out[i] = const_cast<double*>(call.data[i]);
    module.reference(call, out);
  } else {
    const std::string prefix = std::string(module.name) + ":";
    if (error.id.compare(0, prefix.size(), prefix) != 0)
      report.fail("raised an error without the module's identifier:", error.id + " " + error.message);
    const std::string kind = error.id.substr(prefix.size());
    if (verdict.violated.empty()) report.fail("rejected a valid call:", error.id + " " + error.message);
    if (!verdict.violated.count(kind) && !verdict.possible.count(kind) && !verdict.possible.count("*"))
      report.fail("rejected with a kind the call does not violate:",
                  error.id + " (violates " + join(verdict.violated) + ") " + error.message);
    if (error.message.empty()) report.fail("raised an empty message", error.id);
    for (Block& b : builder.blocks()) b.expected = b.pristine;
  }
  check_blocks(report, builder, inputs, accepted);
  return 0;
}
