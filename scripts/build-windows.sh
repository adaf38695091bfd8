#!/usr/bin/env bash
# Builds the Windows program VMIZentro.exe (x86-64, mingw-w64, linked statically so it needs
# only system DLLs) in build-win/.
#   scripts/build-windows.sh           the program
#   scripts/build-windows.sh --all     the program and the Wine test suite
#   scripts/build-windows.sh --dist    the program, stripped, copied to dist/VMIZentro.exe
# The packages come from `scripts/setup.sh --windows-toolchain`; the pugixml and minizip
# sources are fetched from Debian's source packages on first use.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${ZENTRO_WIN_BUILD:-$here/build-win}"
target=VMIZentro
dist=0
for arg in "$@"; do
  case "$arg" in
    --all) target=all ;;
    --dist) dist=1 ;;
    *) echo "usage: $0 [--all] [--dist]" >&2; exit 2 ;;
  esac
done

command -v x86_64-w64-mingw32-g++-posix >/dev/null || {
  echo "build-windows: the mingw-w64 toolchain is missing: run scripts/setup.sh --windows-toolchain" >&2
  exit 1
}
bash "$here/scripts/fetch-win-sources.sh" "$build/third_party"
cmake -S "$here" -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release \
  -DZENTRO_WIN_SOURCES="$build/third_party"
cmake --build "$build" --target "$target" -j2

if [ "$dist" = 1 ]; then
  mkdir -p "$here/dist"
  x86_64-w64-mingw32-strip -o "$here/dist/VMIZentro.exe" "$build/platform/win32/VMIZentro.exe"
  echo "build-windows: $(du -h "$here/dist/VMIZentro.exe" | cut -f1) dist/VMIZentro.exe"
fi
