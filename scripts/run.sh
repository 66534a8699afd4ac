#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Sets up, builds and runs the program: only what running needs (the program
# and its Qt panel module), with the build's progress on stderr. Once built, a
# second call starts the program at once. Without arguments it runs on the
# built-in simulated card; any arguments are passed to the program instead.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
bash scripts/deps.sh build
if [ ! -f "$build_dir/CMakeCache.txt" ]; then
  echo "run: configuring $build_dir (first run; the build takes a few minutes)" >&2
  cmake -S . -B "$build_dir" >&2
fi
# CMake re-configures by itself when a CMakeLists.txt changed.
cmake --build "$build_dir" -j"$(nproc)" --target ruvuvuri_run >&2
if [ $# -eq 0 ]; then set -- --sim; fi
exec "./$build_dir/ruvuvuri" "$@"
