#!/bin/sh
# SPDX-License-Identifier: GPL-2.0-or-later
# Takes a picture of the "Ruvuvuri" window on a virtual X server.
#   tools/panel_screenshot.sh OUT.png COMMAND [ARGS...]
# COMMAND must open the window, e.g. build/ruvuvuri_panel_preview or
# "build/ruvuvuri --sim --ui=qt". It is ended once the picture is taken.
set -eu
if [ $# -lt 2 ]; then
    echo "usage: $0 OUT.png COMMAND [ARGS...]" >&2
    exit 2
fi
out=$(realpath -m "$1")
shift

if [ -z "${RUVUVURI_SCREENSHOT_INNER:-}" ]; then
    RUVUVURI_SCREENSHOT_INNER=1 exec xvfb-run -a -s "-screen 0 800x600x24" "$0" "$out" "$@"
fi

"$@" &
pid=$!
window=""
tries=0
while [ -z "$window" ] && [ $tries -lt 100 ]; do
    sleep 0.1
    tries=$((tries + 1))
    # Qt also names a 1x1 helper window "Ruvuvuri"; the panel has a class.
    window=$(xwininfo -root -tree | awk '/"Ruvuvuri": \("Ruvuvuri"/ { print $1; exit }')
done
if [ -z "$window" ]; then
    kill "$pid" 2>/dev/null || true
    echo "$0: no Ruvuvuri window appeared" >&2
    exit 1
fi
sleep 1  # let the window paint
geometry=$(xwininfo -id "$window" |
    awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
         /Width:/ { w = $NF } /Height:/ { h = $NF } END { printf "%dx%d+%d+%d", w, h, x, y }')
import -window root -crop "$geometry" +repage "$out"
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
echo "$out: $geometry"
