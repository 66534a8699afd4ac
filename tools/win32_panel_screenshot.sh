#!/bin/sh
# SPDX-License-Identifier: GPL-2.0-or-later
# Takes a picture of the native Windows panel (the 64-bit test build's
# ruvuvuri.exe --sim under wine64) on a virtual X server.
#   tools/win32_panel_screenshot.sh OUT.png BUILD_DIR
# BUILD_DIR is a build made with cmake/mingw-x86_64.cmake.
set -eu
if [ $# -ne 2 ]; then
    echo "usage: $0 OUT.png BUILD_DIR" >&2
    exit 2
fi
out=$(realpath -m "$1")
build=$(realpath "$2")
if [ -z "${RUVUVURI_SCREENSHOT_INNER:-}" ]; then
    RUVUVURI_SCREENSHOT_INNER=1 exec xvfb-run -a -s "-screen 0 640x480x24" "$0" "$out" "$build"
fi
export WINEPREFIX="${WINEPREFIX:-$build/wineprefix}" WINEDEBUG=-all
mkdir -p "$WINEPREFIX"
/usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1
/usr/lib/wine/wine64 "$build/ruvuvuri.exe" --sim &
pid=$!
window=""
tries=0
while [ -z "$window" ] && [ $tries -lt 150 ]; do
    sleep 0.2
    tries=$((tries + 1))
    window=$(xwininfo -root -tree | awk '/"Ruvuvuri":/ { print $1; exit }')
done
if [ -n "$window" ]; then
    sleep 1  # let the controls paint
    import -window "$window" "$out"
fi
kill "$pid" 2>/dev/null || true
/usr/lib/wine/wineserver -k 2>/dev/null || true
if [ -z "$window" ]; then
    echo "$0: no Ruvuvuri window appeared" >&2
    exit 1
fi
echo "$out"
