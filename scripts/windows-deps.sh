#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Installs what the Windows cross build needs on Debian 12 and unpacks the
# sources that Debian ships for no Windows target: pugixml (fetched with
# `apt-get source` from Debian's own source archive) into third_party/.
# GoogleTest's sources come from the googletest package in /usr/src.
# Does nothing that is already done.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  cmake make dpkg-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  googletest nlohmann-json3-dev zip unzip icoutils
  wine64 xvfb xauth imagemagick
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

pugixml_dir=third_party/pugixml
need_source=0
[ -f "$pugixml_dir/src/pugixml.cpp" ] || need_source=1

if [ ${#missing[@]} -eq 0 ] && [ $need_source -eq 0 ]; then
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "windows-deps: missing: ${missing[*]} ${need_source:+pugixml source}; run this script as root (sudo)" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive

# Debian's source archive for bookworm, for `apt-get source`.
src_list=/etc/apt/sources.list.d/ruvuvuri-deb-src.sources
updated=0
if [ $need_source -eq 1 ] && ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ &&
  ! grep -qs '^deb-src' /etc/apt/sources.list; then
  cat >"$src_list" <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
fi
if [ ${#missing[@]} -gt 0 ] || [ $need_source -eq 1 ]; then
  apt-get update -qq
  updated=1
fi
if [ ${#missing[@]} -gt 0 ]; then
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
if [ $need_source -eq 1 ]; then
  work=$(mktemp -d)
  chmod 755 "$work"  # apt-get source downloads as the _apt user
  (cd "$work" && apt-get source -qq --download-only pugixml >/dev/null &&
    dpkg-source --no-check -x ./pugixml_*.dsc unpacked >/dev/null)
  mkdir -p "$pugixml_dir"
  rm -rf "$pugixml_dir/src"
  cp -r "$work/unpacked/src" "$pugixml_dir/src"
  cp "$work/unpacked/LICENSE.md" "$pugixml_dir/" 2>/dev/null || true
  rm -rf "$work"
fi
: "$updated"
