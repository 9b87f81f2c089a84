#!/usr/bin/env bash
# Benchmarks: builds the modules and the kernel benchmark in Release, times the
# kernels against their literal oracles and a memory floor (arguments go to
# lf_bench, e.g. --workloads=512x512/9/4 --samples=random), then times whole
# module calls in Octave. Not part of the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh cmake make g++ libgtest-dev libbenchmark-dev octave liboctave-dev

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DLF_BUILD_BENCH=ON
cmake --build build-bench -j 2
echo "CPU: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), $(nproc) cores"
build-bench/bench/lf_bench "$@"
octave-cli --norc --no-history --quiet \
  --eval "addpath('$PWD/build-bench'); addpath('$PWD/bench'); bench_modules"
