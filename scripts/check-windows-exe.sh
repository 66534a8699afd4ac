#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Checks the Windows program the way the oldest targets' loaders will see it:
# a PE32 (i386) GUI program declaring subsystem version 4.0, carrying the
# application icon (32x32 and 16x16, 16 colours) and a version resource with
# the project's version, and importing nothing outside
# packaging/windows/import-allowlist.txt (functions that Windows 98 SE, ME,
# 2000 and XP all export; anything newer must be looked up at run time).
#   scripts/check-windows-exe.sh EXE
# Exits non-zero with one line per problem.
set -euo pipefail
cd "$(dirname "$0")/.."
exe=$1
allowlist=packaging/windows/import-allowlist.txt
version=$(sed -n 's/^project(Ruvuvuri VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
objdump=i686-w64-mingw32-objdump
problems=0
fail() {
  echo "check-windows-exe: $*" >&2
  problems=$((problems + 1))
}

headers=$($objdump -p "$exe")
$objdump -f "$exe" | grep -q 'file format pei-i386' || fail "$exe is not a PE32 (i386) program"
grep -Eq '^Subsystem[[:space:]]+00000002' <<<"$headers" || fail "not a GUI-subsystem program"
grep -Eq '^MajorSubsystemVersion[[:space:]]+4$' <<<"$headers" &&
  grep -Eq '^MinorSubsystemVersion[[:space:]]+0$' <<<"$headers" ||
  fail "subsystem version is not 4.0, so Windows 98 would refuse it"

# The icon: both sizes in 16 colours.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if wrestool -x --type=group_icon "$exe" -o "$work/icon.ico" 2>/dev/null; then
  icons=$(icotool -l "$work/icon.ico" 2>/dev/null)
  for size in 32 16; do
    grep -q -- "--width=$size --height=$size --bit-depth=4" <<<"$icons" ||
      fail "the icon has no ${size}x${size} image in 16 colours"
  done
else
  fail "no application icon"
fi

# The version resource: the fixed file version (after the signature
# 0xFEEF04BD: structure version, then the version's high and low words).
if wrestool -x --type=version --raw "$exe" >"$work/version.bin" 2>/dev/null && [ -s "$work/version.bin" ]; then
  hex=$(od -An -tx1 -v "$work/version.bin" | tr -d ' \n')
  fixed=${hex#*bd04effe}
  IFS=. read -r major minor patch build <<<"$version"
  le32() { printf '%02x%02x%02x%02x' $(($1 & 255)) $((($1 >> 8) & 255)) $((($1 >> 16) & 255)) $((($1 >> 24) & 255)); }
  want="$(le32 $(((major << 16) | minor)))$(le32 $(((patch << 16) | build)))"
  [ "$fixed" != "$hex" ] && [ "${fixed:8:16}" = "$want" ] ||
    fail "the version resource does not say file version $version"
else
  fail "no version resource"
fi

# Every import must be on the allowlist.
imports=$(awk '/DLL Name:/ { dll = tolower($3); next }
               /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ { print dll, $3 }' <<<"$headers" | sort -u)
allowed=$({ grep -v "^#" "$allowlist" || true; } | awk 'NF { print tolower($1), $2 }' | sort -u)
unlisted=$(comm -23 <(echo "$imports") <(echo "$allowed"))
if [ -n "$unlisted" ]; then
  while read -r dll function; do
    fail "imports $dll $function, which is not on $allowlist; look it up with GetProcAddress or check that Windows 98 SE and 2000 export it"
  done <<<"$unlisted"
fi
# Optionally also against a list of functions that some target lacks.
if [ -n "${RUVUVURI_DENYLIST:-}" ] && [ -f "$RUVUVURI_DENYLIST" ]; then
  denied=$({ grep -v "^#" "$RUVUVURI_DENYLIST" || true; } | awk 'NF { print tolower($1), $2 }' | sort -u)
  while read -r dll function; do
    [ -n "$dll" ] && fail "imports $dll $function, which some target lacks"
  done <<<"$(comm -12 <(echo "$imports") <(echo "$denied"))"
fi

if [ "$problems" -ne 0 ]; then
  exit 1
fi
echo "check-windows-exe: $exe is PE32 i386 GUI, subsystem 4.0, icon and version $version, $(wc -l <<<"$imports") imports all allowed"
