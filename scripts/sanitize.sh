#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds everything, the Qt module included, with AddressSanitizer and
# UndefinedBehaviorSanitizer into ./build-asan (or $BUILD_DIR) and runs every
# test there. Any report (memory error, leak, undefined behaviour) fails the
# run. Extra arguments go to CMake.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh test
build_dir=${BUILD_DIR:-build-asan}
# Benchmarks are not tests and mean nothing under the sanitizers.
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Debug -DRUVUVURI_SANITIZE=ON -DRUVUVURI_WERROR=ON \
  -DRUVUVURI_TESTS=ON -DRUVUVURI_BENCH=OFF -DRUVUVURI_FUZZ=OFF "$@" >/dev/null
cmake --build "$build_dir" -j"$(nproc)"

# Reports abort the process, so that a test whose child program hits one
# sees it fail as well.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build_dir" --output-on-failure -j"$(nproc)"
