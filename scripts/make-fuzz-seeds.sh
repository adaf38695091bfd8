#!/usr/bin/env bash
# Writes the generated seed inputs of the fuzz targets into OUTDIR/<target>/: the binary ones
# (RDS bodies, PE images, ZIP archives) from the seed program of the fuzz build, and the ADO
# XML files of the test data (the writer's own output among them). The small text seeds are
# committed in fuzz/corpus/<target>/ and are not copied.
# Usage: scripts/make-fuzz-seeds.sh OUTDIR [BUILD_DIR]   (BUILD_DIR default: build-asan)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:?usage: make-fuzz-seeds.sh OUTDIR [BUILD_DIR]}"
build="${2:-$here/build-asan}"
seeds="$build/fuzz/zentro-fuzz-seeds"
if [ ! -x "$seeds" ]; then
  echo "make-fuzz-seeds: $seeds is missing; build the fuzz targets first (scripts/fuzz.sh)" >&2
  exit 2
fi
mkdir -p "$out"
"$seeds" "$out"
mkdir -p "$out/ado_xml"
cp "$here"/tests/data/*.xml "$out/ado_xml/"
# Criteria texts from the table tests: every quoted argument of setFilter/find.
mkdir -p "$out/table_criteria"
n=0
grep -ohE '(setFilter|find)\("([^"\\]|\\.)*"' "$here/tests/remote/table_test.cpp" 2>/dev/null |
  sed -E 's/^(setFilter|find)\("//; s/"$//' | sort -u |
  while IFS= read -r criteria; do
    n=$((n + 1))
    printf '%s' "$criteria" > "$out/table_criteria/from_table_test_$n.txt"
  done
echo "make-fuzz-seeds: seeds written to $out"
