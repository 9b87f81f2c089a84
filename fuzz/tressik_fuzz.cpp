// tressik(cols, rows, C, ignored, source, ignored, map0, map1, map2) under fuzzed calls.
#include "common/scalar_arg.h"
#include "fuzz/fuzz_call.h"
#include "tests/reference/entropy_reference.h"

namespace {

uint16_t size_input(const Call& call, int i) { return scalar_arg<uint16_t>(call.value[i]); }

uint64_t needed(const Call& call, int input) {
  const int64_t cols = size_input(call, 0), rows = size_input(call, 1), C = size_input(call, 2);
  return input >= 6 ? elements({rows, cols}) : elements({rows, C, cols, C, 3});
}

void rules(const Call& call, bool arrays_ok, Verdict& verdict) {
  if (!arrays_ok) {
    verdict.possible.insert("sampleOutOfRange");
    return;
  }
  const uint64_t read = static_cast<uint64_t>(needed(call, 4));
  if (!samples_within(call.data[4], read, -1.0f, 256.0f)) verdict.violated.insert("sampleOutOfRange");
}

void reference(const Call& call, const std::vector<double*>& out) {
  angular_entropy_channels_reference(call.data[4], out[6], out[7], out[8], size_input(call, 0), size_input(call, 1),
                                     size_input(call, 2));
}

const ModuleSpec kTressik{"tressik",
                          {Role::Size, Role::Size, Role::Size, Role::Ignored, Role::Source, Role::Ignored,
                           Role::Written, Role::Written, Role::Written},
                          needed, rules, reference,
    // Every pixel costs two passes over three 256-bin histograms however
    // small C is: fewer elements keep calls as quick as olmarin's.
    uint64_t{1} << 11};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return run_fuzz_call(kTressik, data, size);
}
