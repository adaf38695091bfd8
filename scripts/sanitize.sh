#!/usr/bin/env bash
# Builds the test suite with AddressSanitizer and UndefinedBehaviorSanitizer (the build it
# shares with scripts/fuzz.sh, see scripts/sanitizer-build.sh) and runs it with ctest. Any
# sanitizer report ends the process that made it, so the test fails. Writes
# build-asan/sanitize-summary.txt (build, passed, failed, skipped, total, and the names of the
# failed tests) and exits non-zero when the build or any test failed.
# Every unit suite runs (remote, platform, installer, app, tools) and the Qt window's tests;
# the fault suite (tests/fault) does not: its cases drive the same product code as the unit
# suites, through whole launcher runs whose cost is the process faults themselves (kill -9,
# file size limits, full disks, stalls), which a sanitizer does not look at.
# Leaks inside third-party libraries (Qt, fontconfig, ...) are suppressed by scripts/lsan.supp;
# never project code.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
. "$here/scripts/sanitizer-build.sh"
build="$sanitizer_build"
configure_sanitizer_build

# Set before building too: test discovery runs the test programs.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1"
export LSAN_OPTIONS="suppressions=$here/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen
# Tests use loopback only; keep proxies from the environment out of their way.
export no_proxy="127.0.0.1,localhost" NO_PROXY="127.0.0.1,localhost"

summary="$build/sanitize-summary.txt"
if ! cmake --build "$build" -j2; then
  printf 'build=failed\npassed=0\nfailed=0\nskipped=0\ntotal=0\n' >"$summary"
  echo "sanitizer suite: the build failed ($summary)" >&2
  exit 1
fi

log="$build/sanitize-ctest.log"
status=0
(cd "$build" && ctest --output-on-failure -j2 --timeout 900) >"$log" 2>&1 || status=$?

# ctest ends with "NN% tests passed, F tests failed out of T".
line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1 || true)
total=$(sed -nE 's/.* out of ([0-9]+).*/\1/p' <<<"$line")
failed=$(sed -nE 's/.*passed, ([0-9]+) tests? failed.*/\1/p' <<<"$line")
if [ -z "$total" ]; then
  total=0
  failed=1  # ctest itself did not finish
fi
# ctest counts skipped tests (GTEST_SKIP) among the passed ones; report them apart.
skipped=$(sed -nE '/The following tests did not run:/,/^[^[:space:]]/ s/^[[:space:]]+[0-9]+ - .*\(Skipped\)$/x/p' "$log" | wc -l)
passed=$((total - failed - skipped))
{
  echo "build=ok"
  echo "passed=$passed"
  echo "failed=$failed"
  echo "skipped=$skipped"
  echo "total=$total"
  echo "sanitizers=address,undefined,leak"
  sed -nE '/The following tests FAILED:/,$ s/^[[:space:]]+[0-9]+ - (.*)$/failed_test=\1/p' "$log"
} >"$summary"
tail -n 30 "$log"
echo "sanitizer suite: $passed passed, $failed failed, $skipped skipped, $total total ($summary, log $log)"
[ "$status" -eq 0 ] && [ "$failed" -eq 0 ]
