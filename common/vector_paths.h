// The instruction-set paths of the kernels: one list, what each path needs,
// and which one a kernel runs. Host-free.
#pragma once

#include <initializer_list>

// portable: ISO C++ only, on every compiler;
// sse2:     x86-64 (every such CPU has SSE2);
// avx2:     x86-64 with AVX2, chosen at run time;
// avx512:   x86-64 with AVX-512 F, BW, VL, DQ and VBMI, chosen at run time;
// neon:     AArch64 (every such CPU has NEON).
enum class VectorPath { portable, sse2, avx2, avx512, neon };

constexpr VectorPath kVectorPaths[] = {VectorPath::portable, VectorPath::sse2, VectorPath::avx2,
                                       VectorPath::avx512, VectorPath::neon};

// Whether this build has code for the path (its architecture, and a compiler
// that builds it).
bool path_compiled(VectorPath path);
// Compiled, and this CPU runs it.
bool path_available(VectorPath path);
const char* path_name(VectorPath path);

// Of the paths a kernel implements, the widest that is available (the list
// runs from narrowest to widest and holds portable).
VectorPath best_path(std::initializer_list<VectorPath> implemented);
