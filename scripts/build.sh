#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Configures and builds into ./build (or $BUILD_DIR), with extra CMake arguments
# passed through (for example -DRUVUVURI_TESTS=ON).
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -DRUVUVURI_WERROR=ON "$@" >/dev/null
cmake --build "$build_dir" -j"$(nproc)"
