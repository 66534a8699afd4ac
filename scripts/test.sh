#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# The test suite from a fresh checkout: dependencies, build with the tests, every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh test
bash scripts/build.sh -DRUVUVURI_TESTS=ON "$@"
QT_QPA_PLATFORM=offscreen ctest --test-dir "${BUILD_DIR:-build}" --output-on-failure -j"$(nproc)"
