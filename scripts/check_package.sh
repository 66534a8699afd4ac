#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Checks the packages scripts/package.sh made (in ./dist): lintian without
# errors, the desktop entry and AppStream metainfo valid; then, installed with
# dpkg into a fresh root folder (the system is not touched), the program runs
# on the simulated card from there and finds its panel file, its manual
# renders, and dpkg purges every file again, the settings file too. With
# --install (CI, as root on a throw-away machine) the packages are also
# installed into the system, run from /usr/bin, their service unit verified
# by systemd-analyze, and purged.
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
lintian --fail-on error --tag-display-limit 0 "${debs[@]}"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
# A root of its own: only these packages are in its database, so their
# dependencies (met by the system's libraries) are not checked there.
mkdir -p "$root/fs/var/lib/dpkg/info" "$root/fs/var/lib/dpkg/updates"
touch "$root/fs/var/lib/dpkg/status"
dpkg --root="$root/fs" --force-depends --force-script-chrootless -i "${debs[@]}" >"$root/dpkg.log" 2>&1 ||
  fail "dpkg -i into a fresh root failed: $(tail -n 5 "$root/dpkg.log")"
if [ -f "$qt" ]; then
  desktop-file-validate "$root/fs/usr/share/applications/ruvuvuri.desktop"
  appstreamcli validate --no-net "$root/fs/usr/share/metainfo/"*.metainfo.xml
fi

# Unpacked elsewhere than /usr, the program still finds its files.
program=$root/fs/usr/bin/ruvuvuri
"$program" --sim --info | grep -q "GF2 GTS" || fail "ruvuvuri --sim --info from the package failed"
printf 'exit\n' | env -u DISPLAY -u WAYLAND_DISPLAY "$program" --sim --ui=console >/dev/null ||
  fail "the packaged program cannot show its panel (panel file not found?)"
cp "$root/fs/usr/share/doc/ruvuvuri/examples/"* "$root/"
"$program" --sim="$root/geforce4-ti-13500.json" --info | grep -q 13500 ||
  fail "the GeForce4 Ti example does not run"
man -l "$root/fs/usr/share/man/man1/ruvuvuri.1.gz" >/dev/null 2>"$root/man.err" || fail "man -l failed"
[ ! -s "$root/man.err" ] || fail "the manual has warnings: $(cat "$root/man.err")"
dpkg --root="$root/fs" --force-depends -P ruvuvuri-qt ruvuvuri >"$root/dpkg.log" 2>&1 ||
  fail "dpkg -P in the fresh root failed: $(tail -n 5 "$root/dpkg.log")"
left=$(find "$root/fs" ! -type d ! -path "$root/fs/var/lib/dpkg/*")
[ -z "$left" ] || fail "dpkg -P left files behind: $left"
echo "check_package: installed into a fresh root with dpkg, run from there and removed"

if [ "${1:-}" = --install ]; then
  dpkg -i "${debs[@]}"
  ruvuvuri --sim --info >/dev/null || fail "the installed ruvuvuri --sim --info failed"
  man -l /usr/share/man/man1/ruvuvuri.1.gz >/dev/null || fail "the installed manual does not render"
  # Installed, not enabled; its program and manual are in place to be checked.
  systemd-analyze verify /lib/systemd/system/ruvuvuri.service ||
    fail "systemd-analyze verify refuses the installed ruvuvuri.service"
  ! systemctl is-enabled ruvuvuri.service >/dev/null 2>&1 || fail "the package enabled ruvuvuri.service"
  grep -q '^RUVUVURI_ARGS=""$' /etc/default/ruvuvuri || fail "/etc/default/ruvuvuri is not installed empty"
  dpkg -P ruvuvuri-qt ruvuvuri
  [ ! -e /usr/bin/ruvuvuri ] || fail "dpkg -P left /usr/bin/ruvuvuri behind"
  [ ! -e /lib/systemd/system/ruvuvuri.service ] || fail "dpkg -P left ruvuvuri.service behind"
  echo "check_package: installed, run and removed with dpkg"
fi
