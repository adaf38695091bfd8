#!/usr/bin/env bash
# Sets up the machine (Debian packages), builds everything and runs the whole test suite.
# Exits non-zero when any test fails.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
bash "$here/scripts/setup.sh" --no-build
build="$here/build"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j2
# Tests use loopback only; keep proxies from the environment out of their way.
export no_proxy="127.0.0.1,localhost" NO_PROXY="127.0.0.1,localhost"
export QT_QPA_PLATFORM=offscreen
cd "$build"
ctest --output-on-failure -j2 --timeout 600
