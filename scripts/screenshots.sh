#!/usr/bin/env bash
# Pictures of the window's three panels for the documentation:
# docs/screenshots/login.png, versions.png and install.png.
# Builds the snapshot program when needed and runs it on a virtual display of its own, so the
# pictures show the real fonts and rendering of an X session.
# Usage: scripts/screenshots.sh [build folder]   (default: build)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"
out="$here/docs/screenshots"

if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" --target panel_snapshot

work="$(mktemp -d)"
xvfb_pid=""
cleanup() {
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display number itself and writes it to fd 3 once it accepts clients.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || { cat "$work/xvfb.log" >&2; exit 1; }
  sleep 0.1
done
[ -s "$work/display" ] || { echo "Xvfb did not start" >&2; exit 1; }
display=":$(tr -d '[:space:]' <"$work/display")"

mkdir -p "$out"
# A private home keeps the run away from the user's own settings and caches.
env -i PATH="$PATH" HOME="$work" XDG_RUNTIME_DIR="$work" DISPLAY="$display" QT_QPA_PLATFORM=xcb \
  "$build/tools/screenshots/panel_snapshot" "$out"
