# Sourced by scripts/sanitize.sh and scripts/fuzz.sh: the one build both use, in build-asan.
# clang with AddressSanitizer and UndefinedBehaviorSanitizer everywhere and libFuzzer's
# coverage feedback; -O1 keeps the stacks readable and the suite quick, assertions stay on.
# Both scripts configure it alike, so the second one rebuilds nothing the first one built:
# sanitize.sh builds the test suite (without the fault suite), fuzz.sh the fuzz targets.
sanitizer_build="$here/build-asan"

configure_sanitizer_build() {
  if ! command -v clang++ >/dev/null; then
    echo "$(basename "$0"): clang++ is missing; run scripts/setup.sh --no-build" >&2
    return 2
  fi
  # The compiler of a build folder is fixed when it is first configured; one made with another
  # compiler (an older form of these scripts used gcc here) is started afresh.
  local cache="$sanitizer_build/CMakeCache.txt"
  if [ -f "$cache" ] && ! grep -qE '^CMAKE_CXX_COMPILER:[A-Z]+=.*clang\+\+' "$cache"; then
    echo "$(basename "$0"): $sanitizer_build was made with another compiler; starting it afresh"
    rm -rf "$sanitizer_build"
  fi
  CXX=clang++ cmake -S "$here" -B "$sanitizer_build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" -DZENTRO_SANITIZE=ON -DZENTRO_BUILD_FUZZ=ON \
    -DZENTRO_BUILD_TESTS=ON -DZENTRO_BUILD_FAULT_TESTS=OFF -DZENTRO_BUILD_BENCH=OFF >/dev/null
}
