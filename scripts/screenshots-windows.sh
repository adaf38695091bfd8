#!/usr/bin/env bash
# Pictures of the Win32 window's three panels, taken under Wine and Xvfb (a display of its own)
# in a Wine virtual desktop, which draws the window frame and caption:
#   docs/screenshots/win32-login.png, win32-versions.png, win32-install.png   (100 %)
#   docs/screenshots/win32-login-150.png                                      (150 % scaling)
# Needs `scripts/build-windows.sh --all` first (or builds it), Xvfb and ImageMagick.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${ZENTRO_WIN_BUILD:-$here/build-win}"
snapshot="$build/tools/screenshots/win32_panel_snapshot.exe"
[ -f "$snapshot" ] || bash "$here/scripts/build-windows.sh" --all
shots="$here/docs/screenshots"
mkdir -p "$shots"
work="$build/screenshots"
rm -rf "$work"
mkdir -p "$work"

export WINEPREFIX="$build/e2e-prefix"
. "$here/scripts/wine-env.sh"

display=""
for n in $(seq 81 89); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || { echo "screenshots-windows: no free X display" >&2; exit 1; }
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
trap 'wine_stop; kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null; true' EXIT
for _ in $(seq 1 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
export DISPLAY="$display"
wine_start

set_dpi() {
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  # The DPI is read when the session starts.
  wine_stop
  wine_start
}

# shoot PANEL OUTPUT DESKTOP_SIZE
shoot() {
  local panel=$1 output=$2 size=$3 shown="$work/$1.shown"
  rm -f "$shown"
  wine explorer "/desktop=zentro,$size" "$(winepath -w "$snapshot")" "$panel" \
    "$(winepath -w "$shown")" >/dev/null 2>&1 &
  local pid=$!
  for _ in $(seq 1 200); do [ -e "$shown" ] && break; sleep 0.1; done
  [ -e "$shown" ] || { echo "screenshots-windows: the $panel panel did not show" >&2; exit 1; }
  sleep 0.5
  import -window root -crop "$size+0+0" +repage "$output"
  wait "$pid" 2>/dev/null || true
  echo "screenshots-windows: $output"
}

cp "$snapshot" "$work/"
snapshot="$work/win32_panel_snapshot.exe"
set_dpi 96
for panel in login versions install; do
  shoot "$panel" "$shots/win32-$panel.png" 500x340
done
set_dpi 144
shoot login "$shots/win32-login-150.png" 740x500
set_dpi 96
