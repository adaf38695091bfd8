#!/usr/bin/env bash
# Builds the Windows program and its test suite, and runs the suite under Wine through ctest:
# the suites of tests/remote, tests/installer and tests/app, the Win32 platform tests, the
# import check and the end-to-end run; then scripts/test-packaging.sh (signing, the Windows
# Installer packages). Tests that need the reference service reach the Linux
# one through zentro-refservice-control, built here in the Linux build (ZENTRO_LINUX_BUILD,
# default build/). Prints how many test cases of the three portable suites ran under Wine
# against the Linux count, and fails below 90 %.
# Exits non-zero when any test fails. Set ZENTRO_SKIP_SETUP=1 to skip the package step; further
# arguments go to ctest (for example -R wine.win32 -V).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${ZENTRO_WIN_BUILD:-$here/build-win}"
linux_build="${ZENTRO_LINUX_BUILD:-$here/build}"
portable_suites=(remote installer app)
min_share=90

# --- builds -----------------------------------------------------------------------------------
if [ "${ZENTRO_SKIP_SETUP:-}" != 1 ]; then
  bash "$here/scripts/setup.sh" --windows-toolchain
fi
bash "$here/scripts/build-windows.sh" --all
# The Linux side: the control program, and the Linux test programs the counts compare with.
if [ ! -f "$linux_build/build.ninja" ]; then
  cmake -S "$here" -B "$linux_build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$linux_build" -j2 --target zentro-refservice-control zentro-refservice \
  zentro-demo-app $(printf 'test_%s ' "${portable_suites[@]}")

# --- the world the tests run in: display, Wine, reference service -----------------------------
. "$here/scripts/wine-env.sh"
# The window tests need a display: an Xvfb of our own, for the whole run.
display=""
for n in $(seq 71 79); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=":$n"; break; fi
done
xvfb=""
control=""
cleanup() {
  wine_stop
  if [ -n "$control" ]; then kill "$control" 2>/dev/null; wait "$control" 2>/dev/null; fi
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; fi
  true
}
trap cleanup EXIT
if [ -n "$display" ] && command -v Xvfb >/dev/null; then
  Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 1 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
  export DISPLAY="$display"
fi

results="$build/test-results"
rm -rf "$results"
mkdir -p "$results"
"$linux_build/tests/zentro-refservice-control" --ready-file "$results/control-port" \
  >"$results/control.log" 2>&1 &
control=$!
for _ in $(seq 1 100); do [ -s "$results/control-port" ] && break; sleep 0.1; done
[ -s "$results/control-port" ] || {
  echo "test-windows: the reference service's control endpoint did not start; see $results/control.log" >&2
  exit 1
}
export ZENTRO_REFSERVICE_CONTROL="$(head -n 1 "$results/control-port")"

wine_start
# Tests use loopback only; keep proxies from the environment out of their way.
export no_proxy="127.0.0.1,localhost" NO_PROXY="127.0.0.1,localhost"

# --- the suite ----------------------------------------------------------------------------------
status=0
(cd "$build" && ctest --output-on-failure -j2 --timeout 600 "$@") || status=$?
# What administrators deploy: signing and the Windows Installer packages (own prefix, display).
bash "$here/scripts/test-packaging.sh" || { code=$?; [ "$code" = 77 ] || status=1; }

# --- how much of the portable suites ran under Wine ---------------------------------------------
# Linux: the cases the Linux programs list. Wine: the cases each Windows program's results
# (tests/windows.cmake writes them to $results) show as run and not skipped.
linux_total=0
wine_total=0
for suite in "${portable_suites[@]}"; do
  linux=$("$linux_build/tests/test_$suite" --gtest_list_tests | grep -c '^  ' || true)
  xml="$results/wine-$suite.xml"
  wine=0
  skipped=0
  if [ -f "$xml" ]; then
    wine=$(grep -c '<testcase .*result="completed"' "$xml" || true)
    skipped=$(grep -c '<testcase .*result="skipped"' "$xml" || true)
  fi
  printf 'test-windows: tests/%-9s %4d of %4d Linux test cases ran under Wine (%d skipped there)\n' \
    "$suite" "$wine" "$linux" "$skipped"
  linux_total=$((linux_total + linux))
  wine_total=$((wine_total + wine))
done
share=$(( linux_total > 0 ? wine_total * 100 / linux_total : 0 ))
echo "test-windows: together $wine_total of $linux_total ($share %) ran under Wine and on Linux"
# A run of part of the suite (ctest arguments) cannot reach the share.
if [ "$#" -eq 0 ] && [ "$share" -lt "$min_share" ]; then
  echo "test-windows: FAILED: fewer than $min_share % of the portable test cases ran under Wine" >&2
  status=1
fi
exit "$status"
