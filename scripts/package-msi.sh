#!/usr/bin/env bash
# Packs VMIZentro.exe into a Windows Installer package with wixl (platform/win32/msi/).
#   scripts/package-msi.sh EXE OUTDIR [--per-user] [--config FILE]
# Writes OUTDIR/VMIZentro-<version>.msi (per machine: Program Files, for shared machines) or,
# with --per-user, OUTDIR/VMIZentro-<version>-peruser.msi (the user's own root folder, for
# single workstations), and prints its path; what it did goes to standard error. <version> is
# the program's file version as its version resource states it. Without --config the package carries a
# configuration with no service address (the launcher's built-in one applies); the per-machine
# package's default also sets SharedEnvironment to TRUE.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
usage() { echo "usage: $0 EXE OUTDIR [--per-user] [--config FILE]" >&2; exit 2; }
[ $# -ge 2 ] || usage
exe="$1" outdir="$2"; shift 2
scope=perMachine config=""
while [ $# -gt 0 ]; do
  case "$1" in
    --per-user) scope=perUser ;;
    --config) [ $# -ge 2 ] || usage; config="$2"; shift ;;
    *) usage ;;
  esac
  shift
done
fail() { echo "package-msi: $*" >&2; exit 1; }
command -v wixl >/dev/null || fail "wixl is missing: run scripts/setup.sh --windows-toolchain"
[ -f "$exe" ] || fail "no program at $exe"
if [ -n "$config" ]; then
  [ -f "$config" ] || fail "no configuration file at $config"
  grep -q "PropName" "$config" || fail "$config is not a launcher configuration (no PropName field)"
fi

# The fixed part of the version resource: the UTF-16 key "VS_VERSION_INFO", then the signature
# 0xFEEF04BD, the structure version and the file version's high and low double words.
fields="$(python3 - "$exe" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
key = data.find("VS_VERSION_INFO".encode("utf-16-le"))
at = data.find(struct.pack("<I", 0xFEEF04BD), key) if key >= 0 else -1
if at < 0:
    sys.exit("package-msi: the program has no version resource")
ms, ls = struct.unpack_from("<II", data, at + 8)
print(ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
PY
)"
read -r major minor build revision <<<"$fields"
version="$major.$minor.$build.$revision"

# Windows Installer compares only three fields of at most 8, 8 and 16 bits, and not the
# revision; the program's versions (300.1100.0.11) do not fit as they are. The package version
# packs major - 256 (8 bits), minor (12 bits) and revision (12 bits) in that order, so every
# newer program version is a newer package version.
[ "$build" = 0 ] || fail "version $version: the third field must be 0"
if [ "$major" -lt 256 ] || [ "$major" -gt 511 ] || [ "$minor" -gt 4095 ] || [ "$revision" -gt 4095 ]; then
  fail "version $version does not fit the package version (major 256-511, minor and revision up to 4095)"
fi
msi_version="$((major - 256)).$((minor >> 4)).$(((minor & 15) << 12 | revision))"

mkdir -p "$outdir"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
if [ -z "$config" ]; then
  config="$work/VMIZentroConfig.XML"
  if [ "$scope" = perMachine ]; then
    bash "$here/scripts/make-config.sh" "$config" SharedEnvironment=TRUE
  else
    bash "$here/scripts/make-config.sh" "$config"
  fi
fi
suffix=""
[ "$scope" = perUser ] && suffix="-peruser"
out="$(cd "$outdir" && pwd)/VMIZentro-$version$suffix.msi"
# wixl takes sources relative to the current folder only: hand it copies in the work folder.
cp "$exe" "$work/VMIZentro.exe"
[ "$config" = "$work/VMIZentroConfig.XML" ] || cp "$config" "$work/VMIZentroConfig.XML"
(cd "$work" && wixl -a x64 -o "$out" \
  -D Scope="$scope" -D MsiVersion="$msi_version" -D ProgramVersion="$version" \
  -D Exe=VMIZentro.exe -D Config=VMIZentroConfig.XML "$here/platform/win32/msi/vmizentro.wxs")
echo "package-msi: $scope package of version $version (Windows Installer version $msi_version)" >&2
echo "$out"
