// Argument checks shared by every module's entry. Each check raises an
// identified host error ("<module>:<kind>") naming the input, what was needed
// and what came; none returns after raising, and none writes a caller array.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "common/portable.h"
#include "common/remapped_light_field.h"
#include "mex.h"

// One input as the checks see it: its 1-based position and its role.
struct InputRef {
  const mxArray* array;
  int position;
  const char* role;
};

[[noreturn]] void raise_error(const char* module, const char* kind, const char* format, ...)
    LF_PRINTF_LIKE(3, 4);

// "complex sparse double", "single", "cell", ... for messages; returns out.
const char* describe_class(const mxArray* a, char* out, size_t size);

// A value as the host spells it (NaN, Inf, -Inf), otherwise with every digit
// a double needs; printf spells the first three otherwise.
void show_value(double value, char* out, size_t size);

bool is_real_full_double(const mxArray* a);

// Rejects, as `kind`, an input that is not a real full double array; `shape`
// ("array", "vector") says what was expected in the message.
void check_double(const char* module, InputRef input, const char* kind, const char* shape);

// Input count first, then output count, with the fixed messages.
void check_counts(const char* module, int nlhs, int nrhs, int required_inputs,
                  const char* input_count_message);

// The first element of a non-empty, real, full numeric or logical array, by value.
double scalar_value(const char* module, InputRef input);

// scalar_value of an input that must hold exactly one element (badScalar
// for more, emptyScalar for none).
double single_value(const char* module, InputRef input);

// Rejects the first NaN or infinite element of a real double array of
// `count` elements laid out with `rows` rows, naming its row and column.
void check_finite(const char* module, InputRef input, int64_t rows, int64_t count);

// The data of a real, full double array holding at least `needed` elements;
// `layout` describes what those elements are for the message.
double* double_array(const char* module, InputRef input, uint64_t needed, const char* layout);

// double_array for a remapped light field of the given sizes, and for a
// rows x cols map (planes = 1) or rows x cols x 3 image (planes = 3).
double* light_field_array(const char* module, InputRef input, int64_t rows, int64_t cols, int64_t angular_size);
double* grid_array(const char* module, InputRef input, int64_t rows, int64_t cols, int64_t planes);

// The value of a name-value option: `name` must spell `option` (ASCII case
// ignored; options are shorter than 16 characters) and `value` must be a
// whole number from `least` to `most` (both within 2^53), named in messages
// by its role.
int64_t whole_option(const char* module, InputRef name, InputRef value, const char* option, int64_t least,
                     int64_t most);

// Rejects any written array whose data overlaps another written array or any
// read array. Copies made by assignment share data until one of them changes,
// and in-place writes would then reach the caller's other variables.
void check_disjoint(const char* module, std::initializer_list<InputRef> written,
                    std::initializer_list<InputRef> read);

// Working memory for `count` doubles from the host's allocator (nullptr for
// none), for the caller to mxFree; the host frees it too if the call fails.
double* working_doubles(const char* module, int64_t count);

// Rejects the call over the sample at `index` of a remapped light-field input,
// giving its value and its place in 1-based terms; `expected` names the values
// that would have been accepted. An index of -1 (no such sample) is an
// internal fault, reported as such.
[[noreturn]] void reject_sample(const char* module, InputRef input, const RemappedLightField& field,
                                int64_t index, const char* expected);
