#!/usr/bin/env bash
# Checks what an administrator deploys: the signing of VMIZentro.exe and the package with a
# throw-away certificate, and the Windows Installer packages under Wine (silent install, the
# installed launcher end to end against the reference service, upgrade from an older build,
# a refused downgrade, silent uninstall that leaves nothing of the package).
#   scripts/test-packaging.sh      (after scripts/build-windows.sh --all and the Linux build)
# Exit codes: 0 passed, 1 failed, 77 skipped (a needed program is not built).
# Uses its own Wine prefix (build-win/packaging-test/prefix, made anew) and its own display.
set -uo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${ZENTRO_WIN_BUILD:-$here/build-win}"
linux_build="${ZENTRO_LINUX_BUILD:-$here/build}"
exe="$build/platform/win32/VMIZentro.exe"
demo_app="$build/tests/win32/zentro-demo-app.exe"
refservice="$linux_build/tools/zentro-refservice"
diag="$linux_build/tools/zentro-diag"
for f in "$exe" "$demo_app" "$refservice" "$diag"; do
  [ -f "$f" ] || { echo "test-packaging: skipped, $f is not built" >&2; exit 77; }
done
for tool in wixl osslsigncode openssl msiinfo Xvfb wine python3; do
  command -v "$tool" >/dev/null || { echo "test-packaging: skipped, $tool is missing" >&2; exit 77; }
done

out="$build/packaging-test"
rm -rf "$out"
mkdir -p "$out/sign" "$out/msi" "$out/world/files" "$out/service"
passed=0 failed=0
check() {
  local what="$1"; shift
  if "$@"; then passed=$((passed + 1)); echo "ok: $what"
  else failed=$((failed + 1)); echo "FAILED: $what"; fi
}
refused() { ! "$@"; }
same() { cmp -s "$1" "$2"; }
package() { bash "$here/scripts/package-msi.sh" "$@" 2>/dev/null; }

# --- the configuration file the packages carry ----------------------------------------------
echo "=== configuration"
mkdir -p "$out/config"
url="https://zentro.example/cvbo?a=1&b='2'<>\""
bash "$here/scripts/make-config.sh" "$out/config/VMIZentroConfig.XML" "BaseURL=$url" \
  UPDATEADMINLOGIN=A UPDATEADMINLOGIN=B
# zentro-diag prints each value in double quotes, a double quote inside as \".
printf '%s\n' "BaseURL = \"${url//\"/\\\"}\"" 'UPDATEADMINLOGIN = "A"' 'UPDATEADMINLOGIN = "B"' \
  >"$out/config/expected"
check "the launcher reads back what make-config.sh wrote, XML's special characters included" \
  eval '"$diag" config "$out/config" | tail -n +2 | cmp -s - "$out/config/expected"'

# --- signing --------------------------------------------------------------------------------
echo "=== signing"
cd "$out/sign"
(umask 077 && printf 'throw-away %s' "$RANDOM$RANDOM" >password)
openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
  -subj "/CN=VMI Zentro test signer" -addext "extendedKeyUsage=codeSigning" 2>/dev/null &&
  openssl pkcs12 -export -inkey key.pem -in cert.pem -out signer.p12 -passout file:password ||
  { echo "test-packaging: FAILED: no throw-away certificate" >&2; exit 1; }
sign() {
  ZENTRO_SIGN_PKCS12="$out/sign/signer.p12" ZENTRO_SIGN_PASSWORD="$(cat "$out/sign/password")" \
    bash "$here/scripts/sign-windows.sh" "$@"
}
verified() { osslsigncode verify -in "$1" -CAfile "$out/sign/cert.pem" >"$1.verify" 2>&1; }
# Flips one byte at the given offset (decimal or 0x..).
tamper() { python3 -c 'import sys; p, at = sys.argv[1], int(sys.argv[2], 0)
d = bytearray(open(p, "rb").read()); d[at] ^= 0xFF; open(p, "wb").write(d)' "$1" "$2"; }

cp "$exe" unsigned.exe
cp "$exe" VMIZentro.exe
line="$(env -u ZENTRO_SIGN_PKCS12 bash "$here/scripts/sign-windows.sh" unsigned.exe)"
check "no certificate: one line says so, the file is untouched" \
  bash -c '[ "$(wc -l <<<"$1")" = 1 ] && grep -q "not signed" <<<"$1" && cmp -s "$2" "$3"' _ \
  "$line" unsigned.exe "$exe"

# A stand-in osslsigncode on PATH records its arguments and the password file's mode.
mkdir -p shim
cat >shim/osslsigncode <<SH
#!/usr/bin/env bash
printf '%s\n' "\$@" >"$out/sign/arguments"
prev=""
for a in "\$@"; do [ "\$prev" = -readpass ] && stat -c %a "\$a" >"$out/sign/password-mode"; prev="\$a"; done
exec "$(command -v osslsigncode)" "\$@"
SH
chmod +x shim/osslsigncode
PATH="$out/sign/shim:$PATH" sign VMIZentro.exe >/dev/null
check "the password is not on osslsigncode's command line" \
  refused grep -qF "$(cat password)" arguments
check "the password file is private to its owner" grep -qx 600 password-mode
check "SHA-256 digests are asked for" grep -qx sha256 arguments
check "the signed program verifies" verified VMIZentro.exe
check "the signature uses SHA-256" grep -q "Message digest algorithm *: SHA256" VMIZentro.exe.verify

msi="$(package VMIZentro.exe .)"
sign "$msi" >/dev/null
check "the signed package verifies" verified "$msi"
check "without --config the per-machine package's configuration says SharedEnvironment TRUE" \
  eval 'msiextract -C extracted "$msi" >/dev/null &&
    grep -q "PropName=.SharedEnvironment. PropValue=.TRUE." "$(find extracted -name VMIZentroConfig.XML)"'

cp VMIZentro.exe before.exe
check "a wrong password fails the signing" refused env ZENTRO_SIGN_PKCS12="$out/sign/signer.p12" \
  ZENTRO_SIGN_PASSWORD=wrong bash "$here/scripts/sign-windows.sh" unsigned.exe 2>wrong-password.txt
check "an unreachable time-stamping service fails the signing" refused env \
  ZENTRO_SIGN_TIMESTAMP_URL=http://127.0.0.1:9/ ZENTRO_SIGN_PKCS12="$out/sign/signer.p12" \
  ZENTRO_SIGN_PASSWORD="$(cat password)" bash "$here/scripts/sign-windows.sh" unsigned.exe \
  2>no-timestamp.txt
check "a failed signing leaves the file as it was" same unsigned.exe "$exe"

cp VMIZentro.exe tampered.exe
tamper tampered.exe 0x1000
check "one changed byte in the program fails verification" refused verified tampered.exe
cp "$msi" tampered.msi
# A byte of the embedded cabinet (the installed files), well past its header.
cab="$(grep -obUaP 'MSCF\x00\x00\x00\x00' tampered.msi | head -n 1 | cut -d: -f1)"
tamper tampered.msi $((cab + 4096))
check "one changed byte in the package fails verification" refused verified tampered.msi
signed_exe="$out/sign/VMIZentro.exe"

# --- the packages under Wine ----------------------------------------------------------------
echo "=== Windows Installer packages under Wine"
cd "$out/msi"
export WINEPREFIX="$out/prefix"
. "$here/scripts/wine-env.sh"
# No menu entries on the Linux desktop for the shortcuts the packages make.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"
export no_proxy="127.0.0.1,localhost" NO_PROXY="127.0.0.1,localhost"

# A world with one filer, one login and one broker deployment: the demo application and its
# launch record.
cat >"$out/world/world.ini" <<'INI'
[filer WIN]
description = Package test filer
[login WIN/TESTER]
password = Tester-Win1
deployments = 1
[base]
address = 127.0.0.1
path = /cvbo
[server EAST]
address = 127.0.0.1
path = /cvbo
[deployment 1]
type = BROKER
description = Packaged Broker
server = EAST
folder = PackagedBroker
installGroup = 12
checkForUpdates = Y
[group 12]
lastUpdate = 2026-11-30T08:15:00
list = group12.csv
INI
cat >"$out/world/group12.csv" <<'CSV'
FileName,SequenceID,InstallType,FileVersion,AltCheck,AltCheckRegValue,InstallLocation,Description,IsCompressed,DownloadLocation,SHA256,Source
zentro-demo-app.exe,90,2,1.0.0.0,,,COMMONDIR,Demo application,0,zentro-demo-app.exe,auto,{demo-app}
zentro-demo-app.exe,9999,0,,,,COMMONDIR,Demo application,0,,,
CSV

display=""
for n in $(seq 81 89); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || { echo "test-packaging: FAILED: no free X display" >&2; exit 1; }
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >"$out/xvfb.log" 2>&1 &
xvfb=$!
service=""
cleanup() {
  wine_stop
  [ -n "$service" ] && kill "$service" 2>/dev/null && wait "$service" 2>/dev/null
  kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  true
}
trap cleanup EXIT
for _ in $(seq 1 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
export DISPLAY="$display"
wine_start

ready="$out/service/ready"
"$refservice" --world "$out/world" --log "$out/service" --demo-app "$demo_app" \
  --ready-file "$ready" >"$out/service/stdout.txt" 2>&1 &
service=$!
for _ in $(seq 1 100); do [ -s "$ready" ] && break; sleep 0.1; done
[ -s "$ready" ] || { echo "test-packaging: FAILED: the reference service did not start" >&2; exit 1; }
base_url="$(head -n 1 "$ready")"

# The packages: the signed program of today, an older build (revision one less, the same
# program with its version resource changed) and the per-machine package. Its configuration
# names no shared machine: an update administrator's run on a shared machine ends its
# installation with a summary message box that only a person can close.
python3 - "$signed_exe" older.exe <<'PY'
import struct, sys
data = bytearray(open(sys.argv[1], "rb").read())
at = data.find(struct.pack("<I", 0xFEEF04BD), data.find("VS_VERSION_INFO".encode("utf-16-le")))
for field in (12, 20):  # the file and product versions' low double words: 0.revision
    struct.pack_into("<H", data, at + field, struct.unpack_from("<H", data, at + field)[0] - 1)
open(sys.argv[2], "wb").write(data)
PY
bash "$here/scripts/make-config.sh" user.XML "BaseURL=$base_url"
bash "$here/scripts/make-config.sh" machine.XML "BaseURL=$base_url"
mkdir -p older
user_msi="$(package "$signed_exe" . --per-user --config user.XML)"
older_msi="$(package older.exe older --per-user --config user.XML)"
machine_msi="$(package "$signed_exe" . --config machine.XML)"
sign "$user_msi" "$machine_msi" >/dev/null

msiexec() { wine msiexec "$@" </dev/null >/dev/null 2>&1; }
winpath() { winepath -u "$(wine cmd /c echo "$1" 2>/dev/null | tr -d '\r')" 2>/dev/null; }
appdata="$(winpath %APPDATA%)"
programs="$(winpath %ProgramW6432%)"
user_menu="$appdata/Microsoft/Windows/Start Menu/Programs"
common_menu="$(winpath %ProgramData%)/Microsoft/Windows/Start Menu/Programs"
registered() { wine uninstaller --list 2>/dev/null | grep -c "|||VMI Zentro" || true; }
shortcut_args() { msiinfo export "$1" Shortcut | awk -F'\t' '$1 == "StartMenuShortcut" { print $6 }'; }
# Wine's exit codes reach the shell modulo 256: 1603 (installation failed) arrives as 67.
exit_code() { local s=0; "$@" || s=$?; echo "$s"; }

# Runs the installed launcher as its shortcut does, with the login on its command line, and
# checks that it logged in, installed the deployment into its root and launched it.
runs_end_to_end() {
  local folder="$1" args="$2" root="$3" cmdline="WIN|tester|Tester-Win1"
  [ -n "$args" ] && cmdline="$cmdline|$args"
  (cd "$folder" && timeout 180 wine VMIZentro.exe "$cmdline") >"$out/launcher.txt" 2>&1 || return 1
  local received="$root/BROKER/PackagedBroker/demo-app-received.txt"
  for _ in $(seq 1 100); do [ -s "$received" ] && break; sleep 0.1; done
  grep -Eq '^"http://[0-9A-Fa-f]{32}@127\.0\.0\.1:[0-9]+/cvbo [0-9A-Fa-f]{32}"' "$received"
}

in_menu() { [ -f "$user_menu/VMI Zentro.lnk" ] || [ -f "$common_menu/VMI Zentro.lnk" ]; }
# The package's own registry key (the components' key paths) is gone after uninstall.
package_key_gone() { ! wine reg query "$1\Software\Velmora\VMI Zentro Package" >/dev/null 2>&1; }
package_files_gone() { [ ! -e "$root/VMIZentro.exe" ] && [ ! -e "$root/VMIZentroConfig.XML" ] && ! in_menu; }

# Single workstation: the per-user package in the user's own root folder.
root="$appdata/Velmora/Velmora Zentro"
user_in_place() {
  cmp -s "$root/VMIZentro.exe" "$1" && cmp -s "$root/VMIZentroConfig.XML" user.XML &&
    [ -f "$user_menu/VMI Zentro.lnk" ] && [ "$(registered)" = 1 ]
}
shortcut_has_profile_switch() {
  [ "$(shortcut_args "$user_msi")" = USEPROFILE ] &&
    grep -qaP 'U\x00S\x00E\x00P\x00R\x00O\x00F\x00I\x00L\x00E\x00' "$user_menu/VMI Zentro.lnk"
}
# Wine's installer neither shows nor logs the refusal's text under /qn: check the package has it.
downgrade_refused() {
  [ "$(exit_code msiexec /i "$older_msi" /qn)" = 67 ] && user_in_place "$signed_exe" &&
    msiinfo export "$older_msi" LaunchCondition |
    grep -q "WIX_DOWNGRADE_DETECTED.A newer version of VMI Zentro is already installed"
}
check "per user: the older build installs silently" msiexec /i "$older_msi" /qn
check "per user: program, configuration and shortcut in place" user_in_place older.exe
check "per user: the shortcut starts the launcher with USEPROFILE" shortcut_has_profile_switch
check "per user: the newer build upgrades it in place" msiexec /i "$user_msi" /qn
check "per user: one product, the newer program" user_in_place "$signed_exe"
check "per user: the older build is refused (1603) and changes nothing" downgrade_refused
check "per user: the installed launcher runs end to end" \
  runs_end_to_end "$root" "$(shortcut_args "$user_msi")" "$root"
check "per user: silent uninstall" msiexec /x "$user_msi" /qn
check "per user: nothing of the package is left" \
  eval 'package_files_gone && [ "$(registered)" = 0 ] && package_key_gone HKCU'
check "per user: the launcher's deployment is left" test -d "$root/BROKER/PackagedBroker"

# Shared machine: the per-machine package in Program Files; the shortcut has no arguments.
root="$programs/Velmora/Velmora Zentro"
machine_in_place() {
  cmp -s "$root/VMIZentro.exe" "$signed_exe" && cmp -s "$root/VMIZentroConfig.XML" machine.XML &&
    in_menu && [ "$(registered)" = 1 ] && [ -z "$(shortcut_args "$machine_msi")" ]
}
check "per machine: installs silently" msiexec /i "$machine_msi" /qn
check "per machine: program and configuration in Program Files, shortcut without arguments" \
  machine_in_place
check "per machine: silent uninstall" msiexec /x "$machine_msi" /qn
check "per machine: no folder, shortcut, registration or key is left" \
  eval '[ ! -e "$programs/Velmora" ] && ! in_menu && [ "$(registered)" = 0 ] && package_key_gone HKLM'
msiexec /i "$machine_msi" /qn
check "per machine: the installed launcher runs end to end" \
  runs_end_to_end "$root" "$(shortcut_args "$machine_msi")" "$root"
check "per machine: uninstall removes the package's files and keeps the deployment" \
  eval 'msiexec /x "$machine_msi" /qn && package_files_gone && [ -d "$root/BROKER/PackagedBroker" ]'

echo "test-packaging: $passed passed, $failed failed"
[ "$failed" = 0 ]
