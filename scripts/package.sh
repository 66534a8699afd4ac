#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Builds the Debian packages into ./dist: ruvuvuri_<version>-1_<arch>.deb (the
# program, its manual, completion, polkit action and examples) and
# ruvuvuri-qt_<version>-1_<arch>.deb (the Qt panel and the desktop entry),
# with Debian's hardening flags and the library dependencies computed by
# dpkg-shlibdeps. Build folder: ./build-deb (or $BUILD_DIR); extra arguments go
# to CMake.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh package
build_dir=${BUILD_DIR:-build-deb}

# Debian's flags: stack protector, fortified functions, full RELRO, PIE.
cxxflags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" \
  -DCMAKE_MODULE_LINKER_FLAGS="$ldflags" -DCMAKE_SHARED_LINKER_FLAGS="$ldflags" \
  -DRUVUVURI_DEB_LAYOUT=ON -DRUVUVURI_TESTS=OFF -DRUVUVURI_BENCH=OFF -DRUVUVURI_FUZZ=OFF "$@" >/dev/null
cmake --build "$build_dir" -j"$(nproc)"
rm -f "$build_dir"/*.deb
(cd "$build_dir" && cpack -G DEB >/dev/null)
mkdir -p dist
for deb in "$build_dir"/*.deb; do
  cp "$deb" dist/
  echo "dist/$(basename "$deb")"
done
