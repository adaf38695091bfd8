#!/usr/bin/env bash
# Builds the Windows program VMIZentro.exe (x86-64, mingw-w64, linked statically so it needs
# only system DLLs) in build-win/.
#   scripts/build-windows.sh           the program
#   scripts/build-windows.sh --all     the program and the Wine test suite
#   scripts/build-windows.sh --dist    the program, stripped and signed, as dist/VMIZentro.exe
#   scripts/build-windows.sh --msi [--per-user] [--config FILE]
#                                      also the Windows Installer package:
#                                      dist/VMIZentro-<version>.msi, per machine (shared machines),
#                                      or with --per-user dist/VMIZentro-<version>-peruser.msi
#                                      (single workstations), carrying FILE as the launcher's
#                                      VMIZentroConfig.XML (scripts/make-config.sh writes one)
# Signing: with ZENTRO_SIGN_PKCS12 and ZENTRO_SIGN_PASSWORD set (ZENTRO_SIGN_TIMESTAMP_URL
# optional) the program and the package are signed; see scripts/sign-windows.sh.
# The packages come from `scripts/setup.sh --windows-toolchain`; the pugixml and minizip
# sources are fetched from Debian's source packages on first use.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${ZENTRO_WIN_BUILD:-$here/build-win}"
target=VMIZentro
dist=0 msi=0
msi_args=()
usage() { echo "usage: $0 [--all] [--dist] [--msi [--per-user] [--config FILE]]" >&2; exit 2; }
while [ $# -gt 0 ]; do
  case "$1" in
    --all) target=all ;;
    --dist) dist=1 ;;
    --msi) dist=1 msi=1 ;;
    --per-user) msi_args+=(--per-user) ;;
    --config) [ $# -ge 2 ] || usage; msi_args+=(--config "$(realpath "$2")"); shift ;;
    *) usage ;;
  esac
  shift
done
[ "${#msi_args[@]}" = 0 ] || [ "$msi" = 1 ] || usage

command -v x86_64-w64-mingw32-g++-posix >/dev/null || {
  echo "build-windows: the mingw-w64 toolchain is missing: run scripts/setup.sh --windows-toolchain" >&2
  exit 1
}
bash "$here/scripts/fetch-win-sources.sh" "$build/third_party"
# ZENTRO_CCACHE=1 compiles through ccache (developers' machines); a fresh clone needs nothing.
launcher=()
if [ "${ZENTRO_CCACHE:-}" = 1 ]; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$here" -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release \
  -DZENTRO_WIN_SOURCES="$build/third_party" "${launcher[@]}"
cmake --build "$build" --target "$target" -j2

if [ "$dist" = 1 ]; then
  mkdir -p "$here/dist"
  x86_64-w64-mingw32-strip -o "$here/dist/VMIZentro.exe" "$build/platform/win32/VMIZentro.exe"
  bash "$here/scripts/sign-windows.sh" "$here/dist/VMIZentro.exe"
  echo "build-windows: $(du -h "$here/dist/VMIZentro.exe" | cut -f1) dist/VMIZentro.exe"
fi
if [ "$msi" = 1 ]; then
  # The package carries the program as signed above, and is signed itself.
  package="$(bash "$here/scripts/package-msi.sh" "$here/dist/VMIZentro.exe" "$here/dist" \
    "${msi_args[@]}")"
  [ -z "${ZENTRO_SIGN_PKCS12:-}" ] || bash "$here/scripts/sign-windows.sh" "$package"
  echo "build-windows: $(du -h "$package" | cut -f1) dist/$(basename "$package")"
fi
