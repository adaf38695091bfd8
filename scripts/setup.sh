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
  zlib1g-dev e2fsprogs
  locales-all  # the German locale the thousands-separator tests run under
)

# The Windows build: mingw-w64 cross compilers (posix threads), zlib for them, Wine (64-bit,
# with GnuTLS for TLS, and its fonts) to run the tests, dpkg-dev for the library sources fetched
# at build time, Python for the icon the build draws, Xvfb and ImageMagick for the screenshots.
windows_packages=(
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  mingw-w64-x86-64-dev libz-mingw-w64-dev
  wine wine64 libgnutls30 fonts-wine dpkg-dev python3 xvfb xauth imagemagick libgtest-dev
)

install_missing() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ "${#missing[@]}" -gt 0 ]; then
    apt-get update -q
    apt-get install -y -q --no-install-recommends "${missing[@]}"
  fi
}

install_windows_toolchain() {
  install_missing "${windows_packages[@]}"
}

# scripts/setup.sh --windows-toolchain: only the Windows build's packages.
if [ "${1:-}" = "--windows-toolchain" ]; then
  install_windows_toolchain
  exit 0
fi

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
