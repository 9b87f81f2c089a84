// varnel(cols, rows, C, ignored, ignored, source, map) under fuzzed calls.
#include "common/scalar_arg.h"
#include "fuzz/fuzz_call.h"
#include "tests/reference/entropy_reference.h"

namespace {

int32_t size_input(const Call& call, int i) { return scalar_arg<int32_t>(call.value[i]); }

uint64_t needed(const Call& call, int input) {
  const int64_t cols = size_input(call, 0), rows = size_input(call, 1), C = size_input(call, 2);
  return input == 6 ? elements({rows, cols}) : elements({rows, C, cols, C, 3});
}

void rules(const Call& call, bool arrays_ok, Verdict& verdict) {
  if (!arrays_ok) {
    verdict.possible.insert("sampleOutOfRange");
    return;
  }
  const uint64_t read = static_cast<uint64_t>(needed(call, 5));
  if (!samples_within(call.data[5], read, -0.5f, 255.5f)) verdict.violated.insert("sampleOutOfRange");
}

void reference(const Call& call, const std::vector<double*>& out) {
  const int32_t cols = size_input(call, 0), rows = size_input(call, 1), C = size_input(call, 2);
  // An empty grid writes nothing, and up to 2^31 - 1 empty rows take seconds
  // to walk here.
  if (rows <= 0 || cols <= 0) return;
  // C <= 0 leaves every histogram empty, whatever C^2 is, so every pixel
  // scores -0; C = 0 gives that without the 32-bit C^2 that a large negative
  // C would overflow.
  angular_entropy_mean_reference(call.data[5], out[6], cols, rows, C > 0 ? C : 0);
}

const ModuleSpec kVarnel{
    "varnel",
    {Role::Size, Role::Size, Role::Size, Role::Ignored, Role::Ignored, Role::Source, Role::Written},
    needed, rules, reference,
    // Every pixel costs two passes over three 256-bin histograms however
    // small C is: fewer elements keep calls as quick as olmarin's.
    uint64_t{1} << 11};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return run_fuzz_call(kVarnel, data, size);
}
