#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan) in build-asan, the build it shares with
# scripts/sanitize.sh (scripts/sanitizer-build.sh), and runs each one for a bounded time from
# its seeds: the committed ones in fuzz/corpus/<target>/, the generated ones
# (scripts/make-fuzz-seeds.sh) and the inputs earlier runs found (build-asan/corpus/<target>/).
#   scripts/fuzz.sh --smoke               about 20 s per target (CI)
#   scripts/fuzz.sh --long SECONDS        SECONDS per target
#   ... [TARGET...]                       only these (e.g. fuzz_rds_wire)
# Prints per target the executions and the crashes, writes build-asan/fuzz-summary.tsv
# (target, runs, seconds, crashes, result, reproducer), keeps crashing, leaking and hanging
# inputs in build-asan/crashes/<target>/, and exits non-zero when any target failed.
# Replay a reproducer with: build-asan/fuzz/<target> build-asan/crashes/<target>/<file>
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
. "$here/scripts/sanitizer-build.sh"
build="$sanitizer_build"

usage() { echo "usage: $0 --smoke | --long SECONDS [TARGET...]" >&2; exit 2; }
seconds=""
smoke=""
case "${1:-}" in
  --smoke) seconds=20; smoke=1; shift ;;
  --long) [[ "${2:-}" =~ ^[1-9][0-9]*$ ]] || usage; seconds="$2"; shift 2 ;;
  *) usage ;;
esac

all_targets=(fuzz_ado_xml fuzz_rds_wire fuzz_table_criteria fuzz_version_text fuzz_pe_version
             fuzz_archive_name fuzz_archive_expand)
targets=("$@")
[ "${#targets[@]}" -gt 0 ] || targets=("${all_targets[@]}")
for t in "${targets[@]}"; do
  [[ " ${all_targets[*]} " == *" $t "* ]] || { echo "fuzz.sh: unknown target $t" >&2; exit 2; }
done

configure_sanitizer_build || exit 2
cmake --build "$build" --target fuzz -j2
bash "$here/scripts/make-fuzz-seeds.sh" "$build/seeds" "$build" >/dev/null

# Leaks fail a run; undefined behaviour already aborts (-fno-sanitize-recover).
export ASAN_OPTIONS="detect_leaks=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"

# Targets that go through files (PE reader, archive expansion) keep them in memory when they
# can: create-and-delete on a disk mounted with `discard` slows them down several times.
scratch_base="${TMPDIR:-/tmp}"
[ -d /dev/shm ] && [ -w /dev/shm ] && scratch_base=/dev/shm
scratch="$(mktemp -d "$scratch_base/zentro-fuzz.XXXXXX")"
trap 'rm -rf "$scratch"' EXIT

summary="$build/fuzz-summary.tsv"
printf 'target\truns\tseconds\tcrashes\tresult\treproducer\n' > "$summary"
printf '%-22s %12s %8s %8s  %s\n' target runs seconds crashes result
failed=0
for t in "${targets[@]}"; do
  name="${t#fuzz_}"
  work="$build/corpus/$name"
  crashes="$build/crashes/$name"
  log="$build/logs/$t.log"
  mkdir -p "$work" "$crashes" "$(dirname "$log")"
  corpora=("$work")
  for d in "$here/fuzz/corpus/$name" "$build/seeds/$name"; do
    [ -d "$d" ] && corpora+=("$d")
  done
  options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
           -artifact_prefix="$crashes/")
  if [ -n "$smoke" ]; then
    # CI's smoke run is reproducible: a fixed seed and count from the committed and generated
    # seeds only, so the same tree gives the same inputs on every machine.
    rm -rf "$work" && mkdir -p "$work"
    options+=(-seed=1 -runs=30000)
  fi
  [ -f "$here/fuzz/dict/$name.dict" ] && options+=(-dict="$here/fuzz/dict/$name.dict")

  before=$(find "$crashes" -type f | wc -l)
  status=0
  started=$SECONDS
  TMPDIR="$scratch" "$build/fuzz/$t" "${options[@]}" "${corpora[@]}" >"$log" 2>&1 || status=$?
  after=$(find "$crashes" -type f | wc -l)
  found=$((after - before))

  # "Done N runs in S second(s)" ends a clean run; a stopped one has only its progress lines.
  runs=$(sed -nE 's/^Done ([0-9]+) runs in ([0-9]+) second.*/\1/p' "$log" | tail -1)
  took=$(sed -nE 's/^Done ([0-9]+) runs in ([0-9]+) second.*/\2/p' "$log" | tail -1)
  if [ -z "$runs" ]; then
    runs=$(sed -nE 's/^stat::number_of_executed_units: ([0-9]+)/\1/p' "$log" | tail -1)
    [ -n "$runs" ] || runs=$(sed -nE 's/^#([0-9]+)[[:space:]].*/\1/p' "$log" | tail -1)
    took=$((SECONDS - started))
  fi
  reproducer=$(sed -nE 's/.*Test unit written to (.*)$/\1/p' "$log" | tail -1)
  result=ok
  if [ "$status" -ne 0 ] || [ "$found" -gt 0 ]; then
    failed=1
    # The sanitizer's or libFuzzer's own one-line summary says what happened.
    result=$(grep -m1 -oE '^SUMMARY: [A-Za-z]+: .*' "$log" | sed -E 's/^SUMMARY: //; s/\t/ /g' | cut -c1-120 || true)
    [ -n "$result" ] || result="exit-$status"
    [ "$found" -gt 0 ] || found=1
  fi
  printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$t" "${runs:-0}" "${took:-0}" "$found" "$result" "$reproducer" >> "$summary"
  printf '%-22s %12s %8s %8s  %s\n' "$t" "${runs:-0}" "${took:-0}" "$found" "$result${reproducer:+ ($reproducer)}"
done
echo "summary: $summary; logs: $build/logs/"
exit "$failed"
