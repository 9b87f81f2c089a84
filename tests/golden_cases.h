// The outputs every platform must reproduce bit for bit, as lines of text:
// what tests/golden/ holds (written by make_golden, read by golden_test).
#pragma once

#include <string>
#include <vector>

// "C: t1 t2 ... " for C = 1 .. 64: the bits of log(p) * p, p = n / C^2, n = 1 .. C^2.
std::vector<std::string> golden_term_lines();

// "<case> <hash>": a 64-bit FNV-1a hash of each seeded kernel case's outputs.
std::vector<std::string> golden_kernel_lines();

// The files under tests/golden/ that hold them.
constexpr const char* kGoldenTermsFile = "entropy_terms.txt";
constexpr const char* kGoldenKernelsFile = "kernel_hashes.txt";
