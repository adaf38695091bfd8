#!/usr/bin/env bash
# Installs the Debian packages the project needs (idempotent, non-interactive; run as root on
# Debian 12):
#   scripts/setup.sh                      the Linux build's and tests' packages, then builds all
#   scripts/setup.sh --no-build           the same packages, no build
#   scripts/setup.sh --demo               only what the demo builds and runs
#   scripts/setup.sh --windows-toolchain  the Windows build's, packaging's and Wine tests' packages
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
export DEBIAN_FRONTEND=noninteractive

# The demo: the launcher (Qt 6, libcurl, pugixml, libzip), the reference service (cpp-httplib,
# OpenSSL) and the demo application, and the font the demo world delivers.
demo_packages=(
  build-essential cmake ninja-build pkg-config ca-certificates
  qt6-base-dev libqt6opengl6-dev libgl-dev
  libcurl4-openssl-dev libpugixml-dev libzip-dev
  libcpp-httplib-dev libssl-dev
  fontconfig libfontconfig-dev fonts-dejavu-core
)

# Everything else the Linux tests, benchmarks, sanitizer and fuzz builds and screenshots use.
packages=(
  "${demo_packages[@]}"
  git curl openssl zipcmp zipmerge ziptool zip unzip
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth x11-apps imagemagick
  clang libclang-rt-14-dev
  zlib1g-dev e2fsprogs
  locales-all  # the German locale the thousands-separator tests run under
)

# The Windows build: mingw-w64 cross compilers (posix threads), zlib for them, Wine (64-bit,
# with GnuTLS for TLS, and its fonts) to run the tests, dpkg-dev for the library sources fetched
# at build time, Python for the icon the build draws, Xvfb and ImageMagick for the screenshots,
# wixl for the Windows Installer package and msitools to look inside it, osslsigncode for
# signing and checking signatures.
windows_packages=(
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  mingw-w64-x86-64-dev libz-mingw-w64-dev
  wine wine64 libgnutls30 fonts-wine dpkg-dev python3 xvfb xauth imagemagick libgtest-dev
  wixl msitools osslsigncode openssl
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

case "${1:-}" in
  --windows-toolchain) install_missing "${windows_packages[@]}"; exit 0 ;;
  --demo) install_missing "${demo_packages[@]}"; exit 0 ;;
esac

install_missing "${packages[@]}"

if [ "${1:-}" != "--no-build" ]; then
  # The demo may have configured build/ without the tests and benchmarks: switch them on.
  cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DZENTRO_BUILD_TESTS=ON -DZENTRO_BUILD_BENCH=ON
  cmake --build "$here/build"
fi
