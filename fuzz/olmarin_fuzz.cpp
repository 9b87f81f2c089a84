// olmarin(cols, rows, C, D, source, destination, image, alpha) under fuzzed calls.
#include "common/scalar_arg.h"
#include "fuzz/fuzz_call.h"
#include "tests/reference/refocus_reference.h"

namespace {

uint16_t size_input(const Call& call, int i) { return scalar_arg<uint16_t>(call.value[i]); }

uint64_t needed(const Call& call, int input) {
  const int64_t cols = size_input(call, 0), rows = size_input(call, 1), C = size_input(call, 2);
  return input == 6 ? elements({rows, cols, 3}) : elements({rows, C, cols, C, 3});
}

void rules(const Call& call, bool, Verdict& verdict) {
  if (size_input(call, 2) < 2 * size_input(call, 3) + 1) verdict.violated.insert("angularSizeTooSmall");
}

void reference(const Call& call, const std::vector<double*>& out) {
  refocus_reference(call.data[4], out[5], out[6], size_input(call, 0), size_input(call, 1), size_input(call, 2),
                    size_input(call, 3), call.value[7]);
}

const ModuleSpec kOlmarin{
    "olmarin",
    {Role::Size, Role::Size, Role::Size, Role::Size, Role::Source, Role::Written, Role::Written, Role::Real},
    needed, rules, reference};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return run_fuzz_call(kOlmarin, data, size);
}
