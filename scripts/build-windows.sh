#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds the Windows program (PE32, for Windows 98 SE, ME, 2000 and XP) with
# Debian's mingw-w64 and packs dist/ruvuvuri-VERSION-win32.zip: ruvuvuri.exe,
# Ruvuvuri.ui and README.txt. Installs what it needs when run as root.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/windows-deps.sh

version=$(sed -n 's/^project(Ruvuvuri VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
build=${BUILD_DIR:-build-win32}
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=MinSizeRel \
  -DRUVUVURI_TESTS=OFF -DRUVUVURI_WERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
i686-w64-mingw32-strip "$build/ruvuvuri.exe"
bash scripts/check-windows-exe.sh "$build/ruvuvuri.exe"

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$build/ruvuvuri.exe" "$stage/"
cp ui/Ruvuvuri.ui "$stage/"
cp packaging/windows/README.txt "$stage/"
mkdir -p dist
zip_file="dist/ruvuvuri-$version-win32.zip"
rm -f "$zip_file"
(cd "$stage" && zip -q -X "$OLDPWD/$zip_file" ruvuvuri.exe Ruvuvuri.ui README.txt)
echo "$zip_file"
