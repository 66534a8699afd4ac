#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# The test suite on Windows: cross-built for 64-bit Windows and run under
# wine64 (ctest runs each test program through CMAKE_CROSSCOMPILING_EMULATOR),
# on a virtual display for the native panel's tests. Installs what it needs
# when run as root.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/windows-deps.sh

build=${BUILD_DIR:-build-win64}
# Without debug information: the static test programs link much faster.
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release -DRUVUVURI_TESTS=ON \
  -DRUVUVURI_WERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc)"

# A wine prefix of the build's own, made once.
export WINEPREFIX=${WINEPREFIX:-$(realpath -m "$build")/wineprefix}
export WINEDEBUG=-all
mkdir -p "$WINEPREFIX"
/usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1
# The wine processes that outlive wineboot have no display; the tests' own
# must be started on the virtual one.
/usr/lib/wine/wineserver -k 2>/dev/null || true
status=0
xvfb-run -a -s "-screen 0 800x600x24" \
  ctest --test-dir "$build" --output-on-failure -j"$(nproc)" || status=$?
/usr/lib/wine/wineserver -k 2>/dev/null || true
exit $status
