#!/usr/bin/env bash
# Benchmarks: builds the modules and the kernel benchmark in Release, times the
# kernels against their literal oracles and a memory floor (arguments go to
# lf_bench, e.g. --workloads=512x512/9/4 --samples=random), then times whole
# module calls in Octave; and the entropy sweep against the chained kernels it
# replaces, the default depth call against one sweep, and the depth scores on
# every synthetic scene. Not part of the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh cmake make g++ libgtest-dev libbenchmark-dev octave liboctave-dev

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DLF_BUILD_BENCH=ON
cmake --build build-bench -j 2
echo "CPU: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), $(nproc) cores"
build-bench/bench/lf_bench "$@"
# lf_entropy_sweep against the chained olmarin and varnel kernels: 512 x 512,
# C = 9, 41 shifts, one and two threads, on the best path (every path with
# --every-path).
sweep_args=(--grids=512x512 --shifts=41 --threads=1,2)
for arg in "$@"; do [ "$arg" = --every-path ] && sweep_args+=(--every-path); done
build-bench/bench/lf_bench_sweep "${sweep_args[@]}"
octave-cli --norc --no-history --quiet \
  --eval "addpath('$PWD/build-bench'); addpath('$PWD/bench'); addpath('$PWD/demo'); bench_modules"
# The default depth call against one sweep over its range, in plain Octave.
octave-cli --norc --no-history --quiet \
  --eval "addpath('$PWD/build-bench', '$PWD/bench', '$PWD/matlab', '$PWD/demo'); bench_depth"
# The depth estimate's scores on every synthetic scene (plain argmin against
# the defaults), the table a depth setting is tuned on.
octave-cli --norc --no-history --quiet \
  --eval "addpath('$PWD/build-bench', '$PWD/bench', '$PWD/matlab', '$PWD/demo'); bench_depth_scores"
