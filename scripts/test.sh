#!/usr/bin/env bash
# Sets up the machine (Debian packages), builds everything and runs the whole test suite:
#   1. the Linux build and its tests (unit, end-to-end, fault injection, widget tests);
#   2. the Windows build and its tests under Wine (portable suites, Win32 services, imports,
#      an end-to-end run, signing and the Windows Installer packages);
#   3. the test suite built with AddressSanitizer and UndefinedBehaviorSanitizer;
#   4. a short run of every fuzz target.
# Every step runs; the script exits non-zero when any of them failed.
set -uo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
export no_proxy="127.0.0.1,localhost" NO_PROXY="127.0.0.1,localhost"

bash "$here/scripts/setup.sh" --no-build || exit 1

results=()
failed=0
step() {
  local name="$1"; shift
  local start=$SECONDS
  echo "=== $name"
  if "$@"; then
    results+=("$name: passed ($((SECONDS - start)) s)")
  else
    results+=("$name: FAILED ($((SECONDS - start)) s)")
    failed=1
  fi
}

linux_suite() {
  local build="$here/build"
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DZENTRO_BUILD_TESTS=ON -DZENTRO_BUILD_BENCH=ON &&
    cmake --build "$build" -j2 &&
    (cd "$build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 --timeout 600)
}

step "Linux suite" linux_suite
step "Windows suite (Wine)" bash "$here/scripts/test-windows.sh"
step "Sanitizer suite" bash "$here/scripts/sanitize.sh"
step "Fuzz smoke runs" bash "$here/scripts/fuzz.sh" --smoke

echo
echo "=== Summary"
printf '%s\n' "${results[@]}"
exit "$failed"
