# Sourced by the Windows scripts: the Wine environment the tests and screenshots run in.
#   - a 64-bit prefix owned by the calling user (root here), by default inside the Windows
#     build folder, made on first use without the Mono/Gecko installers (no network);
#   - WINEDEBUG=-all, so Wine's own diagnostics do not drown the tests' output;
#   - one persistent wineserver for the whole run (wine_stop ends it).
# Expects $here (the repository) to be set; honours WINEPREFIX when already set.

export WINEPREFIX="${WINEPREFIX:-${ZENTRO_WIN_BUILD:-$here/build-win}/wine-prefix}"
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="

wine_start() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    # A GUI-less first start: wineboot needs no display for this.
    DISPLAY= wineboot --init >/dev/null 2>&1 || true
    wineserver -w
  fi
  # One already running for this prefix (another script's) serves as well.
  wineserver -p 2>/dev/null || true
  # Start the prefix's services (services.exe, winedevice, ...) now, detached from every pipe:
  # started by the first test they would inherit ctest's output pipes and keep it waiting.
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}

wine_stop() {
  wineserver -k 2>/dev/null || true
}
