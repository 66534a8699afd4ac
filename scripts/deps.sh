#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Installs the Debian 12 packages that a task needs, and only those:
#   scripts/deps.sh [build|test|fuzz|package|tools|all]...   (default: build)
# build: compiler, CMake and the libraries the program and its Qt panel use;
# test: build + GoogleTest; fuzz: test + clang with the sanitizer runtimes;
# package: build + what makes and checks the .deb (lintian, the desktop and
# AppStream validators, man, systemd-analyze); tools: the formatter and what
# the screenshot tool needs.
# Does nothing when they are all there already.
set -euo pipefail

build=(cmake g++ make pkg-config nlohmann-json3-dev libpugixml-dev
       qt6-base-dev qt6-tools-dev libqt6opengl6-dev libxkbcommon-dev)
test=(libgtest-dev libgmock-dev)
fuzz=(clang libclang-rt-14-dev)
package=(dpkg-dev file fakeroot lintian desktop-file-utils appstream man-db systemd)
tools=(clang-format xvfb xauth x11-utils imagemagick)

packages=()
[ $# -eq 0 ] && set -- build
for task in "$@"; do
  case $task in
    build) packages+=("${build[@]}") ;;
    test) packages+=("${build[@]}" "${test[@]}") ;;
    fuzz) packages+=("${build[@]}" "${test[@]}" "${fuzz[@]}") ;;
    package) packages+=("${build[@]}" "${package[@]}") ;;
    tools) packages+=("${tools[@]}") ;;
    all) packages+=("${build[@]}" "${test[@]}" "${fuzz[@]}" "${package[@]}" "${tools[@]}") ;;
    *)
      echo "deps: unknown task '$task'; use build, test, fuzz, package, tools or all" >&2
      exit 2
      ;;
  esac
done

# One query for all of them keeps a second run of the scripts quick.
installed=$(dpkg-query -W -f='${Package} ${Status}\n' "${packages[@]}" 2>/dev/null |
  awk '/ install ok installed$/ { print $1 }' || true)
mapfile -t missing < <(printf '%s\n' "${packages[@]}" | awk -v have="$installed" '
  BEGIN { n = split(have, list, "\n"); for (i = 1; i <= n; i++) ok[list[i]] = 1 }
  !ok[$0] && !seen[$0]++')
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "deps: missing packages: ${missing[*]}; run this script as root (sudo) to install them" >&2
  exit 1
fi
echo "deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
