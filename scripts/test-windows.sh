#!/usr/bin/env bash
# Builds the Windows program and its test suite, and runs the suite under Wine through ctest:
# the portable suites, the Win32 platform tests, the import check and the end-to-end run; then
# scripts/test-packaging.sh (signing, the Windows Installer packages).
# Exits non-zero when any test fails. Set ZENTRO_SKIP_SETUP=1 to skip the package step; further
# arguments go to ctest (for example -R wine.win32 -V).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${ZENTRO_WIN_BUILD:-$here/build-win}"
if [ "${ZENTRO_SKIP_SETUP:-}" != 1 ]; then
  bash "$here/scripts/setup.sh" --windows-toolchain
fi
bash "$here/scripts/build-windows.sh" --all

. "$here/scripts/wine-env.sh"
# The window tests need a display: an Xvfb of our own, for the whole run.
display=""
for n in $(seq 71 79); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=":$n"; break; fi
done
xvfb=""
if [ -n "$display" ] && command -v Xvfb >/dev/null; then
  Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 1 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
  export DISPLAY="$display"
fi
cleanup() {
  wine_stop
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; fi
  true
}
trap cleanup EXIT
wine_start
# Tests use loopback only; keep proxies from the environment out of their way.
export no_proxy="127.0.0.1,localhost" NO_PROXY="127.0.0.1,localhost"
cd "$build"
status=0
ctest --output-on-failure -j2 --timeout 600 "$@" || status=$?
# What administrators deploy: signing and the Windows Installer packages (own prefix, display).
bash "$here/scripts/test-packaging.sh" || { code=$?; [ "$code" = 77 ] || status=1; }
exit "$status"
