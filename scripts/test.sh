#!/usr/bin/env bash
# Every test: installs what is missing, builds the modules and the tests, runs
# them; runs the kernel tests and the Octave tests again with the modules built
# with ASan and UBSan; runs the kernel tests built for 64-bit Arm under qemu;
# runs each module's fuzz target for a bounded time; the threaded sweep's
# kernel tests under ThreadSanitizer; then the kernel tests and seed-corpus
# replays of the strict ISO build, of the MinGW-w64 build under wine and of
# the clang build for 64-bit Arm under qemu. Each step prints its time.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh cmake make g++ python3 libgtest-dev octave liboctave-dev clang libclang-rt-14-dev \
  g++-aarch64-linux-gnu qemu-user g++-mingw-w64-x86-64-posix wine64
jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DLF_SANITIZE=ON -DLF_BUILD_MEX=ON
cmake --build build-sanitize -j "$jobs"
ctest --test-dir build-sanitize --output-on-failure -j "$jobs"

# The kernels' portable and NEON paths, on the architecture where the compiler
# fuses multiply-adds unless told not to.
cmake -S . -B build-aarch64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake -DCMAKE_BUILD_TYPE=Release \
  -DLF_BUILD_MEX=OFF
cmake --build build-aarch64 -j "$jobs"
ctest --test-dir build-aarch64 --output-on-failure -j "$jobs"

# Each fuzz target starts from its seed corpus in the repository (left as it
# is; what the fuzzer finds stays in build-fuzz/corpus). A crash, leak,
# out-of-bounds access, undefined behaviour or wrong outcome fails the run and
# leaves the input that caused it in build-fuzz/artifacts.
fuzz_seconds=${LF_FUZZ_SECONDS:-45}
CXX=clang++ cmake -S . -B build-fuzz -DLF_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-fuzz -j "$jobs"
mkdir -p build-fuzz/artifacts
for target in build-fuzz/fuzz/*_fuzz; do
  module=$(basename "$target" _fuzz)
  corpus=("build-fuzz/corpus/$module")
  mkdir -p "${corpus[0]}"
  [ -d "fuzz/corpus/$module" ] && corpus+=("fuzz/corpus/$module")
  log=build-fuzz/$module.log
  if ! "$target" -max_total_time="$fuzz_seconds" -timeout=10 -print_final_stats=1 \
      -artifact_prefix="build-fuzz/artifacts/$module-" "${corpus[@]}" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzz $module: failed, input kept in build-fuzz/artifacts/" >&2
    exit 1
  fi
  echo "fuzz $module: $(grep -o 'number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$') executions"
  grep 'fuzz tally' "$log"
done

# The threaded entropy sweep and guided filter under ThreadSanitizer: their
# kernel tests run one, two and three threads (the sweep's on every path).
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLF_TSAN=ON
cmake --build build-tsan -j "$jobs" --target kernel_tests guided_filter_test
TSAN_OPTIONS=halt_on_error=1 build-tsan/tests/kernel_tests --gtest_filter='Path/SweepPaths.*'
TSAN_OPTIONS=halt_on_error=1 build-tsan/tests/guided_filter_test

# Cross and strict builds: kernels, kernel tests and the fuzz targets' checks
# replayed on their seed corpora; no modules (no host to load them).
step() {
  local name=$1 started=$SECONDS
  shift
  cmake -S . -B "build-$name" -DCMAKE_BUILD_TYPE=Release -DLF_BUILD_MEX=OFF "$@" > /dev/null
  cmake --build "build-$name" -j "$jobs"
  ctest --test-dir "build-$name" --output-on-failure -j "$jobs"
  echo "step $name: $((SECONDS - started)) s"
}
# ISO C++17 with every extension off, standing in for Microsoft's compiler.
step strict -DLF_STRICT=ON
# 64-bit Windows: MinGW-w64 GCC, every x86 path this CPU has, under wine.
step mingw -DCMAKE_TOOLCHAIN_FILE=cmake/x86_64-w64-mingw32.cmake
# clang for 64-bit Arm, standing in for Apple's clang on arm64 Macs, under qemu.
# Its bin sweep takes every 17th value: the GCC build above ran every one.
step aarch64-clang -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu-clang.cmake -DLF_BIN_SWEEP_STRIDE=17
