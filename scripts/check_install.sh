#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Installs a build (default ./build) with DESTDIR into a throw-away folder
# under a prefix other than the configured one, and checks that everything
# lands under that prefix and that the installed program finds its panel file
# and Qt module from there.
#   scripts/check_install.sh [BUILD_DIR]
set -euo pipefail
build_dir=$(cd "${1:-$(dirname "$0")/../build}" && pwd)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
fail() {
  echo "check_install: $*" >&2
  exit 1
}

prefix=/opt/elsewhere
DESTDIR=$root/dest cmake --install "$build_dir" --prefix "$prefix" >"$root/install.log" ||
  fail "cmake --install failed: $(tail -n 5 "$root/install.log")"
outside=$(cd "$root/dest" && find . ! -type d | grep -v "^\.$prefix/" || true)
[ -z "$outside" ] || fail "installed outside the prefix $prefix: $outside"
base=$root/dest$prefix
for file in bin/ruvuvuri share/ruvuvuri/Ruvuvuri.ui share/man/man1/ruvuvuri.1.gz \
  share/bash-completion/completions/ruvuvuri share/doc/ruvuvuri/README.md \
  share/doc/ruvuvuri/examples/geforce2-gts.json; do
  [ -f "$base/$file" ] || fail "$prefix/$file is not installed"
done

program=$base/bin/ruvuvuri
"$program" --version | grep -q "GPL version 2 or later" || fail "--version lacks the licence"
"$program" --sim --info | grep -q "GF2 GTS" || fail "--sim --info failed"
# The console panel needs the panel file: found relative to the program.
printf 'exit\n' | env -u DISPLAY -u WAYLAND_DISPLAY "$program" --sim --ui=console >"$root/panel.out" ||
  fail "the installed program does not find its panel file"
grep -q "200.452" "$root/panel.out" || fail "the console panel shows no clock"

module=$(find "$base/lib" -name libruvuvuri_qt.so 2>/dev/null | head -n 1)
if [ -n "$module" ]; then
  mkdir -m 700 "$root/xdg"
  # The Qt panel waits for the user until the timeout ends it (status 124);
  # ending by itself means it did not come up.
  status=0
  env QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$root/xdg" \
    timeout 5 "$program" --sim --ui=qt </dev/null >"$root/qt.out" 2>"$root/qt.err" || status=$?
  [ "$status" -eq 124 ] || fail "the Qt panel did not run (exit status $status): $(cat "$root/qt.err")"
  if grep -q "not available" "$root/qt.err"; then
    fail "the installed program does not load its Qt module: $(cat "$root/qt.err")"
  fi
fi
echo "check_install: installed under $prefix and runs from there"
