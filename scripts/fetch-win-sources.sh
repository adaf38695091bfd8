#!/usr/bin/env bash
# Fetches the library sources the Windows build compiles itself (pugixml; minizip from zlib)
# from Debian's source packages into a build folder. Nothing third-party enters the repository.
#   scripts/fetch-win-sources.sh [DEST]     (default: build-win/third_party)
# Adds a deb-src entry mirroring the configured Debian suites when none exists. Run as root.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
dest="${1:-$here/build-win/third_party}"
packages=(pugixml zlib)

have_all() {
  compgen -G "$dest/pugixml-*/src/pugixml.cpp" >/dev/null &&
    compgen -G "$dest/zlib-*/contrib/minizip/unzip.c" >/dev/null
}
if have_all; then
  echo "fetch-win-sources: sources already in $dest"
  exit 0
fi

ensure_deb_src() {
  local list=/etc/apt/sources.list.d/zentro-deb-src.sources
  if grep -rqsE '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    return 0
  fi
  # The same archives and suites as the binary packages, as source entries.
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources >"$list"
  elif [ -f /etc/apt/sources.list ]; then
    grep -E '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' \
      >/etc/apt/sources.list.d/zentro-deb-src.list
  else
    echo "fetch-win-sources: no Debian package sources configured" >&2
    return 1
  fi
  apt-get update -q
}

command -v dpkg-source >/dev/null || {
  echo "fetch-win-sources: dpkg-dev is missing (scripts/setup.sh installs it)" >&2
  exit 1
}
ensure_deb_src
mkdir -p "$dest"
cd "$dest"
codename="$(. /etc/os-release && echo "${VERSION_CODENAME:-}")"
fetch() {
  # The release's own suite first: an update suite may list a source it does not serve.
  if [ -n "$codename" ] && apt-get source -q "$1/$codename"; then return 0; fi
  apt-get source -q "$1"
}
for p in "${packages[@]}"; do
  # Source lists older than the entry (or never read) need one update before they serve.
  fetch "$p" || { apt-get update -q && fetch "$p"; }
done
have_all || { echo "fetch-win-sources: sources missing after fetch" >&2; exit 1; }
echo "fetch-win-sources: sources in $dest"
