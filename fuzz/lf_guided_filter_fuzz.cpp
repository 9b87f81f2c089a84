// Q = lf_guided_filter(P, G, radius, epsilon) under fuzzed calls. The bytes
// choose the counts, each argument's class and shape, the costs, the guide
// and the scalars; a call the model finds valid must return the literal
// filter's bits, an invalid one must raise the kind it violates; no input
// may change.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "fuzz/fuzz_bytes.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/mex_stub.h"
#include "tests/reference/guided_filter_reference.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

const double kRadii[] = {0, 1, 2, 3, 1, 2, 5, 12, 1e300, -1, 1.5, kNaN, kInf, -0.0};
const double kEpsilons[] = {1, 650, 1e-6, 0.01, 6.5, 1e-300, 5e-324, 0, -1, kNaN, kInf, -0.0};
const double kCosts[] = {kNaN, kInf, -kInf, 1e308, -0.0, -3, 1e-310};
const double kGuides[] = {kNaN, kInf, -kInf, 1e150, -255, 0.5};

using Input = FuzzInput;

// A scalar input: usually one double from the table, else empty, two
// elements, a cell, or another numeric class holding the same value.
void set_scalar(Input& x, uint8_t kind, double value) {
  if (kind % 13 == 1) x.set(mxDOUBLE_CLASS, {0, 0});
  else if (kind % 13 == 2) x.set(mxDOUBLE_CLASS, {1, 2});
  else if (kind % 13 == 3) x.set(mxCELL_CLASS, {1, 1});
  else if (kind % 13 == 4) x.set(mxSINGLE_CLASS, {1, 1});
  else x.set(mxDOUBLE_CLASS, {1, 1});
  if (x.a.class_id == mxSINGLE_CLASS) {
    const float f = static_cast<float>(value);
    std::memcpy(x.data.data(), &f, sizeof f);
  } else if (x.a.class_id == mxDOUBLE_CLASS) {
    for (size_t i = 0; i < x.a.numel; ++i) x.doubles()[i] = value;
  }
}

// The kind a scalar input violates before its value is looked at, or "".
std::string scalar_kind(const Input& x) {
  if (x.a.numel > 1 || x.a.class_id == mxCELL_CLASS) return "badScalar";
  if (x.a.numel == 0) return "emptyScalar";
  return "";
}

double scalar_of(const Input& x) {
  if (x.a.class_id == mxSINGLE_CLASS) {
    float f;
    std::memcpy(&f, x.data.data(), sizeof f);
    return f;
  }
  return reinterpret_cast<const double*>(x.data.data())[0];
}

// Outcomes over the run, printed when the fuzzer exits: evidence that the
// decoder reaches the kernel and every rejection.
struct Tally {
  uint64_t calls = 0, accepted = 0;
  std::map<std::string, uint64_t> rejected;
  ~Tally() {
    std::fprintf(stderr, "lf_guided_filter fuzz tally: %llu calls, %llu accepted, rejected:",
                 static_cast<unsigned long long>(calls), static_cast<unsigned long long>(accepted));
    for (const auto& [id, n] : rejected) std::fprintf(stderr, " %s %llu", id.c_str(), static_cast<unsigned long long>(n));
    std::fprintf(stderr, "\n");
  }
};
Tally tally;

[[noreturn]] void fail(const char* what, const std::string& detail) {
  std::fprintf(stderr, "lf_guided_filter fuzz: %s: %s\n", what, detail.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  FuzzBytes in(bytes, size);
  const uint8_t shape = in.u8();
  int nrhs = 4;
  if ((shape & 0x0F) == 0x0F) nrhs = shape >> 5;  // 0 .. 7 now and then
  const int nlhs = (shape >> 4) % 8 == 7 ? 2 : (shape >> 4) & 1;

  // P: usually a real double rows x cols x S array (S = 1 as two dimensions,
  // as the hosts give it).
  const uint8_t p_kind = in.u8();
  const mwSize rows = in.u8() % 7, cols = in.u8() % 7, slices = in.u8() % 4;
  std::vector<mwSize> p_dims = {rows, cols};
  if (slices != 1) p_dims.push_back(slices);
  if (p_kind % 11 == 1) p_dims = {rows, cols, 2, 2};
  const mxClassID p_class = p_kind % 13 == 5 ? mxSINGLE_CLASS : p_kind % 13 == 6 ? mxCHAR_CLASS : mxDOUBLE_CLASS;
  Input P;
  P.set(p_class, p_dims, p_kind % 17 == 7);
  if (p_class == mxDOUBLE_CLASS) {
    const bool special = in.u8() < 60;
    for (size_t i = 0; i < P.a.numel; ++i)
      P.doubles()[i] = special && in.u8() < 24 ? pick(kCosts, in.u8()) : in.u8() / 50.0;
  }

  // G: usually a real double rows x cols array of grey levels.
  const uint8_t g_kind = in.u8();
  std::vector<mwSize> g_dims = {rows, cols};
  if (g_kind % 11 == 1) g_dims = {cols, rows};
  if (g_kind % 11 == 2) g_dims = {rows, cols, 2};
  if (g_kind % 11 == 3) g_dims = {rows + 1, cols};
  const mxClassID g_class = g_kind % 13 == 5 ? mxINT16_CLASS : mxDOUBLE_CLASS;
  Input G;
  G.set(g_class, g_dims, g_kind % 17 == 7);
  if (g_class == mxDOUBLE_CLASS) {
    const bool special = in.u8() < 40;
    for (size_t i = 0; i < G.a.numel; ++i)
      G.doubles()[i] = special && in.u8() < 16 ? pick(kGuides, in.u8()) : static_cast<double>(in.u8());
  }

  Input radius, epsilon;
  const uint8_t r_kind = in.u8(), e_kind = in.u8();
  set_scalar(radius, r_kind, pick(kRadii, in.u8()));
  set_scalar(epsilon, e_kind, pick(kEpsilons, in.u8()));

  Input extra;
  extra.set(mxDOUBLE_CLASS, {1, 1});
  std::vector<Input*> all = {&P, &G, &radius, &epsilon, &extra, &extra, &extra};
  std::vector<const mxArray*> prhs;
  for (int i = 0; i < nrhs; ++i) prhs.push_back(&all[static_cast<size_t>(i)]->a);
  std::vector<std::vector<uint8_t>> before;
  for (Input* x : all) before.push_back(x->data);

  // The model, in the entry's order of checks.
  std::string want;
  const bool g_finite =
      g_class != mxDOUBLE_CLASS || std::all_of(G.doubles(), G.doubles() + G.a.numel, [](double v) { return std::isfinite(v); });
  const double r = radius.a.numel == 1 && radius.a.class_id != mxCELL_CLASS ? scalar_of(radius) : 0.0;
  const double e = epsilon.a.numel == 1 && epsilon.a.class_id != mxCELL_CLASS ? scalar_of(epsilon) : 0.0;
  if (nrhs != 4) want = "inputCount";
  else if (nlhs > 1) want = "outputCount";
  else if (p_class != mxDOUBLE_CLASS || P.a.complex) want = "badArray";
  else if (p_dims.size() > 3) want = "badSize";
  else if (g_class != mxDOUBLE_CLASS || G.a.complex) want = "badArray";
  else if (g_dims.size() != 2 || g_dims[0] != rows || g_dims[1] != cols) want = "badSize";
  else if (!g_finite) want = "nonFinite";
  else if (!scalar_kind(radius).empty()) want = scalar_kind(radius);
  else if (!(r >= 0 && std::isfinite(r) && std::floor(r) == r)) want = "badRadius";
  else if (!scalar_kind(epsilon).empty()) want = scalar_kind(epsilon);
  else if (!(e > 0 && std::isfinite(e))) want = "badEpsilon";

  std::vector<double> Q(want.empty() ? P.a.numel : 0);
  if (want.empty())
    guided_filter_reference(P.doubles(), G.doubles(), static_cast<int64_t>(rows), static_cast<int64_t>(cols),
                            static_cast<int64_t>(slices), static_cast<int64_t>(std::min(r, 1e6)), e, Q.data());

  mxArray* plhs[2] = {nullptr, nullptr};
  std::string got, message;
  try {
    mexFunction(nlhs, plhs, nrhs, prhs.data());
  } catch (const MexError& error) {
    got = error.id;
    message = error.message;
  }
  for (size_t i = 0; i < all.size(); ++i)
    if (all[i]->data != before[i]) fail("an input changed", std::to_string(i + 1));
  if (!got.empty()) {
    if (got != "lf_guided_filter:" + want) fail("wrong outcome", "want '" + want + "', got " + got + ": " + message);
    if (plhs[0]) fail("output assigned on error", got);
  } else {
    if (!want.empty()) fail("no error", want);
    if (!plhs[0]) fail("missing output", "");
    if (plhs[0]->dims != p_dims) fail("output of another size", "");
    if (Q.size() && std::memcmp(plhs[0]->real, Q.data(), Q.size() * sizeof(double)) != 0)
      fail("result differs from the literal filter", "");
  }
  ++tally.calls;
  if (got.empty()) ++tally.accepted;
  else ++tally.rejected[want];
  release_created_arrays();
  return 0;
}
