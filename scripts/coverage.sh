#!/usr/bin/env bash
# Builds the Linux test suite with gcov instrumentation in build-cov, runs it with ctest, and
# prints line and branch coverage of the product code (app/, installer/, remote/, platform/,
# tools/) with gcovr. Tests, benchmarks, fuzz targets and the screenshot programs are not counted
# as product code.
# Writes build-cov/coverage-summary.txt. Extra arguments go to ctest (for example -E fault).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="$here/build-cov"

bash "$here/scripts/setup.sh" --no-build
if ! command -v gcovr >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends gcovr
fi

# -O0 keeps every line and branch where the source has it.
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O0 -g" \
  -DCMAKE_CXX_FLAGS="--coverage" -DCMAKE_EXE_LINKER_FLAGS="--coverage" \
  -DZENTRO_BUILD_TESTS=ON -DZENTRO_BUILD_BENCH=OFF -DZENTRO_BUILD_FUZZ=OFF >/dev/null
cmake --build "$build" -j2
find "$build" -name '*.gcda' -delete

export QT_QPA_PLATFORM=offscreen no_proxy="127.0.0.1,localhost" NO_PROXY="127.0.0.1,localhost"
status=0
(cd "$build" && ctest -j2 --timeout 900 "$@") >"$build/coverage-ctest.log" 2>&1 || status=$?
tail -n 3 "$build/coverage-ctest.log"

# Unreachable branches the compiler adds for exceptions would swamp the branch figure.
gcovr --root "$here" --object-directory "$build" \
  --filter "$here/app/" --filter "$here/installer/" --filter "$here/remote/" \
  --filter "$here/platform/" --filter "$here/tools/" \
  --exclude "$here/tools/screenshots/" \
  --exclude-directories "$build/CMakeFiles" --exclude-throw-branches --exclude-unreachable-branches \
  --print-summary --txt "$build/coverage-report.txt" | tee "$build/coverage-summary.txt"
exit "$status"
