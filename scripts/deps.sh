#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and the panel need.
# Does nothing when they are all there already.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev libpugixml-dev
  qt6-base-dev qt6-tools-dev libqt6opengl6-dev libxkbcommon-dev
  clang libclang-rt-14-dev clang-format
  xvfb xauth
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "deps: missing packages: ${missing[*]}; run this script as root (sudo) to install them" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
