#!/usr/bin/env bash
# Installs every Debian package the Linux build, the tests and the demo need, then builds.
# Idempotent and non-interactive; run as root on Debian 12.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
export DEBIAN_FRONTEND=noninteractive

packages=(
  build-essential cmake ninja-build pkg-config git ca-certificates curl openssl
  qt6-base-dev libqt6opengl6-dev libgl-dev
  libcurl4-openssl-dev libpugixml-dev libzip-dev zipcmp zipmerge ziptool zip unzip
  libgtest-dev libgmock-dev libbenchmark-dev
  libcpp-httplib-dev libssl-dev
  fontconfig fonts-dejavu-core xvfb xauth x11-apps imagemagick
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

if [ "${1:-}" != "--no-build" ]; then
  cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build "$here/build"
fi
