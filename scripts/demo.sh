#!/usr/bin/env bash
# The demo: installs what is missing, builds the modules (Release), then runs
# the Octave depth demo; its pictures go to build/demo/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh cmake make g++ libgtest-dev octave liboctave-dev

# Errors still reach stderr; the usual configure chatter does not.
# A tree already configured for Release is configured again only when its
# CMake files change, which the build step notices itself; configuring anew
# takes seconds.
if ! grep -qx 'CMAKE_BUILD_TYPE:STRING=Release' build/CMakeCache.txt 2> /dev/null; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release > /dev/null
fi
cmake --build build -j "$(nproc)" --target lf_modules

# The folder travels through the environment, so no quoting can break it.
# Arrays as large as the light field go on transparent huge pages where
# glibc offers it (2.35 and later; older ones ignore the setting): their page
# faults otherwise take about a third of the demo's time on a virtual machine.
export GLIBC_TUNABLES="${GLIBC_TUNABLES:+$GLIBC_TUNABLES:}glibc.malloc.hugetlb=1"
LF_ROOT="$PWD" exec octave-cli --norc --no-history --quiet --eval \
  "root = getenv('LF_ROOT'); addpath(fullfile(root, 'build'), fullfile(root, 'matlab'), fullfile(root, 'demo')); lightfield_depth_demo('Output', fullfile(root, 'build', 'demo'));"
