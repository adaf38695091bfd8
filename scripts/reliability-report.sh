#!/usr/bin/env bash
# Prints one table of the reliability figures an administrator asks for:
#   - the fault-injection suite (tests/fault): cases tried and passed, per kind of fault;
#   - the fuzz targets: executions and crashes, from build-asan/fuzz-summary.tsv
#     (written by scripts/fuzz.sh);
#   - the sanitizer suite: its result, from build-asan/sanitize-summary.txt
#     (written by scripts/sanitize.sh).
# The fault suite is run here with ctest in build/ (configured and built first when needed);
# the fuzz and sanitizer figures are read as their scripts last left them ("not run" if never).
#   scripts/reliability-report.sh            run the fault suite, then print the table
#   scripts/reliability-report.sh --no-run   print the table from the last fault-suite run
# Exits non-zero when a fault case failed (or the suite could not be run).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="$here/build"
fault_log="$build/fault-suite.log"
fuzz_summary="$here/build-asan/fuzz-summary.tsv"
sanitize_summary="$here/build-asan/sanitize-summary.txt"
# The ctest names of the suite: every fault suite's name starts with "Fault"; the secrets
# checks are reported beside them.
fault_tests='(^|/)(Fault[A-Za-z]*Test|KilledHoldTest|SecretsTest)\.'

run=1
case "${1:-}" in
  --no-run) run=0 ;;
  "") ;;
  *) echo "usage: $0 [--no-run]" >&2; exit 2 ;;
esac

if [ "$run" -eq 1 ]; then
  if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  fi
  cmake --build "$build" --target test_fault VMIZentro zentro-demo-app -j2 >/dev/null
  # Tests use loopback only; keep proxies from the environment out of their way.
  export no_proxy="127.0.0.1,localhost" NO_PROXY="127.0.0.1,localhost"
  export QT_QPA_PLATFORM=offscreen
  (cd "$build" && ctest -R "$fault_tests" -j2 --timeout 300 --output-on-failure) \
    >"$fault_log" 2>&1 || true
fi
if [ ! -f "$fault_log" ]; then
  echo "reliability-report: no fault-suite run to report ($fault_log); run without --no-run" >&2
  exit 1
fi

# One row per kind of fault: "tried passed" counted from ctest's result lines, which read
# "  12/46 Test  #101: Downloads/FaultDownloadTest.Name/Case ...   Passed    3.1 sec".
count() {
  local pattern="$1" tried passed
  tried=$(grep -E 'Test +#[0-9]+: ' "$fault_log" | grep -cE "$pattern" || true)
  passed=$(grep -E 'Test +#[0-9]+: ' "$fault_log" | grep -E "$pattern" | grep -cE ' Passed +[0-9.]+ sec' || true)
  echo "$tried $passed"
}

row() {  # check, tried, passed, failed, note
  printf '| %-46s | %14s | %8s | %14s | %-40s |\n' "$1" "$2" "$3" "$4" "$5"
}
rule() {
  printf '|%s|%s|%s|%s|%s|\n' "$(printf -- '-%.0s' {1..48})" "$(printf -- '-%.0s' {1..16})" \
    "$(printf -- '-%.0s' {1..10})" "$(printf -- '-%.0s' {1..16})" "$(printf -- '-%.0s' {1..42})"
}

echo "Reliability report ($(date -u '+%Y-%m-%d %H:%M UTC'))"
echo
row "check" "tried" "passed" "failed/crashes" "note"
rule
fault_failed=0
total_tried=0
total_passed=0
while IFS='|' read -r label pattern note; do
  read -r tried passed < <(count "$pattern")
  failed=$((tried - passed))
  total_tried=$((total_tried + tried))
  total_passed=$((total_passed + passed))
  fault_failed=$((fault_failed + failed))
  row "$label" "$tried" "$passed" "$failed" "$note"
done <<'EOF'
fault: disk, stalls, huge answer, lost report|FaultRunTest\.|RLIMIT_FSIZE, full tmpfs, chattr, stall, 200 MB
fault: broken downloads through the launcher|FaultDownloadTest\.|cut, zip bomb, lying size, zip slip
fault: kill -9 during a run, then a normal run|(FaultKillTest|KilledHoldTest)\.|23 kill points: by time, by download
secrets: password, token, TLS verification|SecretsTest\.|files, logs, self-signed cert
EOF
took=$(sed -nE 's/^Total Test time \(real\) = +([0-9.]+) sec.*/\1/p' "$fault_log" | tail -1)
rule
row "fault suite, all cases" "$total_tried" "$total_passed" "$fault_failed" "${took:-?} s wall time"
rule

if [ -f "$fuzz_summary" ]; then
  # target, runs, seconds, crashes, result, reproducer
  while IFS=$'\t' read -r target runs seconds crashes result _; do
    [ "$target" = "target" ] && continue
    row "fuzz: $target" "$runs execs" "-" "$crashes" "${result:0:22}, ${seconds} s"
  done <"$fuzz_summary"
else
  row "fuzz targets" "not run" "-" "-" "scripts/fuzz.sh --smoke"
fi
rule

if [ -f "$sanitize_summary" ]; then
  value() { sed -nE "s/^$1=(.*)$/\1/p" "$sanitize_summary" | head -1; }
  if [ "$(value build)" = "failed" ]; then
    row "sanitizer suite (ASan + UBSan)" "-" "-" "-" "the sanitizer build failed"
  else
    row "sanitizer suite ($(value sanitizers))" "$(value total) tests" "$(value passed)" \
      "$(value failed)" "scripts/sanitize.sh"
  fi
else
  row "sanitizer suite (ASan + UBSan)" "not run" "-" "-" "scripts/sanitize.sh"
fi

[ "$total_tried" -gt 0 ] && [ "$fault_failed" -eq 0 ]
