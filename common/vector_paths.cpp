// Which vector paths this build has and this CPU runs.
#include "common/vector_paths.h"

#include "common/portable.h"

bool path_compiled(VectorPath path) {
  switch (path) {
    case VectorPath::portable: return true;
    case VectorPath::sse2:
    case VectorPath::avx2:
    case VectorPath::avx512: return LF_X86_PATHS != 0;
    case VectorPath::neon: return LF_NEON_PATH != 0;
  }
  return false;
}

bool path_available(VectorPath path) {
  if (!path_compiled(path)) return false;
#if LF_X86_PATHS
  switch (path) {
    case VectorPath::avx2: return __builtin_cpu_supports("avx2");
    case VectorPath::avx512:
      return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
             __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq") &&
             __builtin_cpu_supports("avx512vbmi");
    default: break;
  }
#endif
  return true;
}

const char* path_name(VectorPath path) {
  switch (path) {
    case VectorPath::portable: return "portable";
    case VectorPath::sse2: return "sse2";
    case VectorPath::avx2: return "avx2";
    case VectorPath::avx512: return "avx512";
    case VectorPath::neon: return "neon";
  }
  return "?";
}

VectorPath best_path(std::initializer_list<VectorPath> implemented) {
  VectorPath best = VectorPath::portable;
  for (VectorPath path : implemented)
    if (path_available(path)) best = path;
  return best;
}
