#!/usr/bin/env bash
# The demo: installs what is missing, builds the modules (Release), then runs
# the Octave depth demo; its pictures go to build/demo/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh cmake make g++ libgtest-dev octave liboctave-dev

# Errors still reach stderr; the usual configure chatter does not.
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build -j "$(nproc)" --target lf_modules

# The folder travels through the environment, so no quoting can break it.
LF_ROOT="$PWD" exec octave-cli --norc --no-history --quiet --eval \
  "root = getenv('LF_ROOT'); addpath(fullfile(root, 'build'), fullfile(root, 'matlab'), fullfile(root, 'demo')); lightfield_depth_demo('Output', fullfile(root, 'build', 'demo'));"
