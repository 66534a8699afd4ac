#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Checks the packages scripts/package.sh made (in ./dist): lintian without
# errors, the desktop entry and AppStream metainfo valid, and, unpacked into a
# fresh folder, the program runs on the simulated card from there, finds its
# panel file, and its manual renders. With --install (CI, as root on a
# throw-away machine) the packages are also installed with dpkg, run from
# /usr/bin and removed again.
set -euo pipefail
cd "$(dirname "$0")/.."
version=$(sed -n 's/^project(Ruvuvuri VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
arch=$(dpkg --print-architecture)
cli=dist/ruvuvuri_${version}-1_${arch}.deb
qt=dist/ruvuvuri-qt_${version}-1_${arch}.deb
fail() {
  echo "check_package: $*" >&2
  exit 1
}
[ -f "$cli" ] || fail "$cli is missing; run scripts/package.sh first"
debs=("$cli")
[ -f "$qt" ] && debs+=("$qt")

echo "check_package: lintian ${debs[*]}"
lintian --fail-on error --no-tag-display-limit "${debs[@]}"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
for deb in "${debs[@]}"; do
  dpkg-deb -x "$deb" "$root/fs"
done
if [ -f "$qt" ]; then
  desktop-file-validate "$root/fs/usr/share/applications/ruvuvuri.desktop"
  appstreamcli validate --no-net "$root/fs/usr/share/metainfo/"*.metainfo.xml
fi

# Unpacked elsewhere than /usr, the program still finds its files.
program=$root/fs/usr/bin/ruvuvuri
"$program" --sim --info | grep -q "GF2 GTS" || fail "ruvuvuri --sim --info from the unpacked package failed"
printf 'exit\n' | env -u DISPLAY -u WAYLAND_DISPLAY "$program" --sim --ui=console >/dev/null ||
  fail "the unpacked program cannot show its panel (panel file not found?)"
cp "$root/fs/usr/share/doc/ruvuvuri/examples/"* "$root/"
"$program" --sim="$root/geforce4-ti-13500.json" --info | grep -q 13500 ||
  fail "the GeForce4 Ti example does not run"
man -l "$root/fs/usr/share/man/man1/ruvuvuri.1.gz" >/dev/null 2>"$root/man.err" || fail "man -l failed"
[ ! -s "$root/man.err" ] || fail "the manual has warnings: $(cat "$root/man.err")"
echo "check_package: the unpacked packages run"

if [ "${1:-}" = --install ]; then
  dpkg -i "${debs[@]}"
  ruvuvuri --sim --info >/dev/null || fail "the installed ruvuvuri --sim --info failed"
  man -l /usr/share/man/man1/ruvuvuri.1.gz >/dev/null || fail "the installed manual does not render"
  dpkg -r ruvuvuri-qt ruvuvuri
  [ ! -e /usr/bin/ruvuvuri ] || fail "dpkg -r left /usr/bin/ruvuvuri behind"
  echo "check_package: installed, run and removed with dpkg"
fi
