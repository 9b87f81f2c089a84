// One fuzzed call of a module's entry: the bytes become a whole call (counts,
// every argument's class, shape, sharing and values), the entry runs on the
// stand-in host, and the outcome is checked against the module's model: a
// valid call completes with the literal implementation's bits in the written
// arrays and nothing else changed; an invalid one raises "<module>:<kind>"
// with one of the kinds it violates and leaves every caller array as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <set>
#include <string>
#include <vector>

enum class Role {
  Size,     // integer scalar: the module converts the first element
  Real,     // real scalar, taken as the double itself
  Ignored,  // anything at all, never checked
  Source,   // double array that the entry reads
  Written,  // double array that the entry writes in place
};

// The call as the model and the literal implementation see it, inputs by
// 0-based position.
struct Call {
  std::vector<double> value;        // first element of a valid scalar, as a double
  std::vector<const double*> data;  // data of array inputs (pristine contents)
  std::vector<uint64_t> numel;
};

struct Verdict {
  std::set<std::string> violated;  // kinds the call certainly violates
  std::set<std::string> possible;  // kinds that could not be judged, also acceptable
};

struct ModuleSpec {
  const char* name;
  std::vector<Role> roles;
  // Elements that array input `input` needs for the call's scalars: exact,
  // or UINT64_MAX for a need beyond 64 bits, which no array could hold.
  uint64_t (*needed)(const Call& call, int input);
  // Module rules beyond classes, counts and sharing. `arrays_ok` says every
  // array input is a real full double array holding what it needs, so that
  // rules on the data may look at it; otherwise they go into `possible`.
  void (*rules)(const Call& call, bool arrays_ok, Verdict& verdict);
  // The literal implementation: writes into out[i] (copies of the written
  // arrays, null for every other input) what the module must write.
  void (*reference)(const Call& call, const std::vector<double*>& out);
  // Largest array the decoder makes: calls stay quick (a larger need gets a
  // small array, which must be rejected).
  uint64_t max_elements = uint64_t{1} << 15;
};

int run_fuzz_call(const ModuleSpec& module, const uint8_t* data, size_t size);

// Whether the single-precision value of each of the `count` samples lies
// strictly between `low` and `high` (NaN never does).
bool samples_within(const double* samples, uint64_t count, float low, float high);

// The product of sizes as an element count: none when any size is not
// positive, UINT64_MAX when the product does not fit 64 bits.
uint64_t elements(std::initializer_list<int64_t> sizes);
