// [E, images] = lf_entropy_sweep(R, C, shifts, 'Threads', N) under fuzzed
// calls. The bytes choose the counts, each argument's class and shape, the
// samples and shifts; a call the model finds valid must return the chained
// literal implementations' bits (or name their first rejected sample), an
// invalid one must raise one of the kinds it violates; no input may change.
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/remapped_light_field.h"
#include "entropy/angular_bins.h"
#include "entropy/sample_range.h"
#include "fuzz/fuzz_bytes.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/mex_stub.h"
#include "tests/reference/entropy_reference.h"
#include "tests/reference/refocus_reference.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

const double kSizes[] = {3, 1, 5, 3, 1, 7, 2, 0, -1, 3.5, kNaN, kInf, 65537, 9};
const double kShifts[] = {0, -0.37, 1, -2, 0.5, 7.25, -1e3, 1e300, kNaN, kInf, -kInf, -0.0, 3e8, 1.0 / 3};
const double kSamples[] = {0, 255, 255.49, 255.5, -0.5, -0.49, 300, kNaN, kInf, -1e300, 127.5, 0.25};

using Input = FuzzInput;

// Outcomes over the run, printed when the fuzzer exits: evidence that the
// decoder reaches the kernel (with and without images) and every rejection.
struct Tally {
  uint64_t calls = 0, accepted = 0, with_images = 0;
  std::map<std::string, uint64_t> rejected;
  ~Tally() {
    std::fprintf(stderr, "lf_entropy_sweep fuzz tally: %llu calls, %llu accepted (%llu with images), rejected:",
                 static_cast<unsigned long long>(calls), static_cast<unsigned long long>(accepted),
                 static_cast<unsigned long long>(with_images));
    for (const auto& [id, n] : rejected) std::fprintf(stderr, " %s %llu", id.c_str(), static_cast<unsigned long long>(n));
    std::fprintf(stderr, "\n");
  }
};
Tally tally;

[[noreturn]] void fail(const char* what, const std::string& detail) {
  std::fprintf(stderr, "lf_entropy_sweep fuzz: %s: %s\n", what, detail.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  FuzzBytes in(bytes, size);
  const uint8_t shape = in.u8();
  int nrhs = (shape & 1) ? 5 : 3;
  if ((shape & 0x1E) == 0x1E) nrhs = shape >> 5;  // 0 .. 7 now and then
  const int nlhs = (shape >> 1) & 3;

  // R: usually a double (rows*C) x (cols*C) x 3 array of the C drawn below.
  const uint8_t r_kind = in.u8();
  const double c_value = pick(kSizes, in.u8());
  const int64_t rows = in.u8() % 5, cols = in.u8() % 5;
  const int64_t c_dim = std::isfinite(c_value) && c_value >= 1 && c_value <= 9 ? static_cast<int64_t>(c_value) : 3;
  Input R;
  std::vector<mwSize> r_dims = {static_cast<mwSize>(rows * c_dim), static_cast<mwSize>(cols * c_dim), 3};
  if (r_kind % 11 == 1) r_dims[2] = 2;
  if (r_kind % 11 == 2) r_dims.push_back(2);
  if (r_kind % 11 == 3) r_dims[0] += 1;
  if (r_kind % 11 == 4) r_dims.pop_back();
  const mxClassID r_class = r_kind % 13 == 5 ? mxSINGLE_CLASS : r_kind % 13 == 6 ? mxCHAR_CLASS : mxDOUBLE_CLASS;
  R.set(r_class, r_dims, r_kind % 17 == 7);
  if (r_class == mxDOUBLE_CLASS) {
    const bool special = in.u8() < 40;
    for (size_t i = 0; i < R.a.numel; ++i)
      R.doubles()[i] = special && in.u8() < 16 ? pick(kSamples, in.u8()) : in.u8() % 256 + 0.25 * (i % 4);
  }

  Input C;
  const uint8_t c_kind = in.u8();
  if (c_kind % 19 == 1) C.set(mxDOUBLE_CLASS, {0, 0});
  else if (c_kind % 19 == 2) C.set(mxDOUBLE_CLASS, {1, 2});
  else if (c_kind % 19 == 3) C.set(mxCELL_CLASS, {1, 1});
  else C.set(mxDOUBLE_CLASS, {1, 1});
  if (C.a.class_id == mxDOUBLE_CLASS)
    for (size_t i = 0; i < C.a.numel; ++i) C.doubles()[i] = c_value;

  Input shifts;
  const uint8_t s_kind = in.u8();
  const int64_t n = s_kind % 5;
  if (s_kind / 5 % 13 == 1) shifts.set(mxDOUBLE_CLASS, {2, 2});
  else if (s_kind / 5 % 13 == 2) shifts.set(mxSINGLE_CLASS, {1, static_cast<mwSize>(n)});
  else shifts.set(mxDOUBLE_CLASS, s_kind & 0x80 ? std::vector<mwSize>{static_cast<mwSize>(n), 1}
                                                 : std::vector<mwSize>{1, static_cast<mwSize>(n)});
  if (shifts.a.class_id == mxDOUBLE_CLASS)
    for (size_t i = 0; i < shifts.a.numel; ++i) shifts.doubles()[i] = in.u8() < 200 ? pick(kShifts, in.u8()) : in.f64();

  Input name, value;
  const uint8_t o_kind = in.u8();
  const char* names[] = {"Threads", "threads", "THREADS", "Thread", "Threadz"};
  const char* text = names[o_kind % 5];
  if (o_kind % 7 == 6) {
    name.set(mxDOUBLE_CLASS, {1, 1});
  } else {
    name.set(mxCHAR_CLASS, {1, std::strlen(text)});
    for (size_t i = 0; i < std::strlen(text); ++i) reinterpret_cast<mxChar*>(name.data.data())[i] = text[i];
  }
  const double thread_values[] = {1, 2, 3, 0, 1.5, -1, kNaN, 2000, 1024};
  value.set(o_kind % 11 == 10 ? mxDOUBLE_CLASS : mxDOUBLE_CLASS, {1, o_kind % 11 == 10 ? 2u : 1u});
  for (size_t i = 0; i < value.a.numel; ++i) value.doubles()[i] = pick(thread_values, in.u8());

  Input extra;
  extra.set(mxDOUBLE_CLASS, {1, 1});
  std::vector<Input*> all = {&R, &C, &shifts, &name, &value, &extra, &extra};
  std::vector<const mxArray*> prhs;
  for (int i = 0; i < nrhs; ++i) prhs.push_back(&all[static_cast<size_t>(i)]->a);
  std::vector<std::vector<uint8_t>> before;
  for (Input* x : all) before.push_back(x->data);

  // The model, in the entry's order of checks.
  std::string want;
  const bool r_ok = r_class == mxDOUBLE_CLASS && !R.a.complex;
  const bool dims_ok = r_dims.size() == 3 && r_dims[2] == 3;
  const bool c_ok = std::isfinite(c_value) && c_value >= 1 && c_value <= 65535 && std::floor(c_value) == c_value &&
                    std::fmod(c_value, 2.0) == 1.0;
  const bool shifts_ok = shifts.a.class_id == mxDOUBLE_CLASS && shifts.a.dims[0] * shifts.a.dims[1] > 0
                             ? (shifts.a.dims[0] == 1 || shifts.a.dims[1] == 1)
                             : shifts.a.class_id == mxDOUBLE_CLASS;
  const double threads = value.doubles()[0];
  const bool option_ok = name.a.class_id == mxCHAR_CLASS && o_kind % 5 < 3 && value.a.numel == 1 && threads >= 1 &&
                          threads <= 1024 && std::floor(threads) == threads;
  if (nrhs != 3 && nrhs != 5) want = "inputCount";
  else if (nlhs > 2) want = "outputCount";
  else if (!r_ok) want = "badArray";
  else if (!dims_ok) want = "sourceSize";
  else if (C.a.numel > 1 || C.a.class_id == mxCELL_CLASS) want = "badScalar";
  else if (C.a.numel == 0) want = "emptyScalar";
  else if (!c_ok) want = "angularSize";
  else if (r_dims[0] % static_cast<mwSize>(c_value) || r_dims[1] % static_cast<mwSize>(c_value)) want = "sourceSize";
  else if (!shifts_ok) want = "badShifts";
  else if (nrhs == 5 && !option_ok) want = "badOption";

  // Valid so far: the chained literal implementations, shift by shift.
  const int64_t Cv = c_ok ? static_cast<int64_t>(c_value) : 0;
  const int64_t rr = want.empty() ? static_cast<int64_t>(r_dims[0]) / Cv : 0,
                cc = want.empty() ? static_cast<int64_t>(r_dims[1]) / Cv : 0;
  const int64_t pixels = rr * cc;
  std::vector<double> E(static_cast<size_t>(pixels * n)), I(static_cast<size_t>(pixels * 3 * n));
  int64_t fault_shift = -1;
  if (want.empty()) {
    std::vector<double> T(R.a.numel);
    for (int64_t s = 0; s < n && fault_shift < 0; ++s) {
      refocus_reference(R.doubles(), T.data(), I.data() + s * 3 * pixels, static_cast<uint16_t>(cc),
                        static_cast<uint16_t>(rr), static_cast<uint16_t>(Cv), static_cast<uint16_t>((Cv - 1) / 2),
                        shifts.doubles()[s]);
      if (first_sample_out_of_range(T.data(), rr, cc, Cv, kRoundedBinRange) >= 0) fault_shift = s;
      else
        angular_entropy_mean_reference(T.data(), E.data() + s * pixels, static_cast<int32_t>(cc),
                                       static_cast<int32_t>(rr), static_cast<int32_t>(Cv));
    }
    if (fault_shift >= 0) want = "sampleOutOfRange";
  }

  mxArray* plhs[4] = {nullptr, nullptr, nullptr, nullptr};
  std::string got, message;
  try {
    mexFunction(nlhs, plhs, nrhs, prhs.data());
  } catch (const MexError& e) {
    got = e.id;
    message = e.message;
  }
  for (size_t i = 0; i < all.size(); ++i)
    if (all[i]->data != before[i]) fail("an input changed", std::to_string(i + 1));
  if (!got.empty()) {
    if (got != "lf_entropy_sweep:" + want) fail("wrong outcome", "want '" + want + "', got " + got + ": " + message);
    if (want == "sampleOutOfRange" && message.find("shift " + std::to_string(fault_shift + 1) + " (") == std::string::npos)
      fail("wrong shift named", message);
    if (plhs[0] || plhs[1]) fail("outputs assigned on error", got);
  } else {
    if (!want.empty()) fail("no error", want);
    if (!plhs[0] || (nlhs >= 2 && !plhs[1])) fail("missing output", "");
    if (plhs[0]->numel != E.size() || (E.size() && std::memcmp(plhs[0]->real, E.data(), E.size() * 8) != 0))
      fail("maps differ", "");
    if (nlhs >= 2 && (plhs[1]->numel != I.size() || (I.size() && std::memcmp(plhs[1]->real, I.data(), I.size() * 8) != 0)))
      fail("images differ", "");
  }
  ++tally.calls;
  if (got.empty()) {
    ++tally.accepted;
    tally.with_images += nlhs >= 2;
  } else {
    ++tally.rejected[want];
  }
  release_created_arrays();
  return 0;
}
