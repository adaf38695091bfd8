#!/usr/bin/env bash
# End-to-end run of the Windows launcher: VMIZentro.exe under Wine and Xvfb logs in from its
# command line against the Linux reference service on loopback, installs a deployment into the
# Wine prefix's roaming profile and launches the cross-compiled demo application, which records
# its command line. The checks below fail the run when anything on that road is missing.
#   scripts/e2e-windows.sh            (after scripts/build-windows.sh --all and the Linux build)
# Exit codes: 0 passed, 1 failed, 77 skipped (a needed program is not built).
# Uses its own Wine prefix (build-win/e2e-prefix) and its own Xvfb display.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${ZENTRO_WIN_BUILD:-$here/build-win}"
linux_build="${ZENTRO_LINUX_BUILD:-$here/build}"
refservice="$linux_build/tools/zentro-refservice"
launcher="$build/platform/win32/VMIZentro.exe"
demo_app="$build/tests/win32/zentro-demo-app.exe"
for f in "$refservice" "$launcher" "$demo_app"; do
  [ -x "$f" ] || [ -f "$f" ] || { echo "e2e-windows: skipped, $f is not built" >&2; exit 77; }
done
command -v Xvfb >/dev/null || { echo "e2e-windows: skipped, Xvfb is missing" >&2; exit 77; }

out="$build/e2e"
rm -rf "$out/world" "$out/service" "$out/program"
mkdir -p "$out/world/files" "$out/service" "$out/program"
export WINEPREFIX="$build/e2e-prefix"
. "$here/scripts/wine-env.sh"
export no_proxy="127.0.0.1,localhost" NO_PROXY="127.0.0.1,localhost"

fail() { echo "e2e-windows: FAILED: $*" >&2; exit 1; }

# --- the world: one filer, one login, one broker deployment with Windows files ----------
cat >"$out/world/world.ini" <<'INI'
[filer WIN]
description = Windows end-to-end filer

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
description = Windows Broker
server = EAST
folder = WinBroker
installGroup = 12
customGroup = 15
checkForUpdates = Y

[group 12]
lastUpdate = 2026-11-30T08:15:00
list = group12.csv

[group 15]
lastUpdate = 2026-12-01T09:30:00
list = group15.csv
INI
cat >"$out/world/group12.csv" <<'CSV'
FileName,SequenceID,InstallType,FileVersion,AltCheck,AltCheckRegValue,InstallLocation,Description,IsCompressed,DownloadLocation,SHA256,Source
e2e-readme.txt,10,2,1.0.0.0,,,COMMONDIR,Read-me (replace),0,e2e-readme.txt,auto,
e2e-library.dll,20,5,2.1.0.0,,,COMMONDIR,Library (replace + version file),0,e2e-library.dll,auto,
e2e-data.dat,30,5,1.0.0.0,,,COMMONDIR,Data (compressed),1,e2e-data.cmp,auto,e2e-data.dat
DejaVuSans.ttf,40,2,2.37.0.0,,,FONTSDIR,Font,0,fonts/DejaVuSans.ttf,,/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
zentro-demo-app.exe,90,2,1.0.0.0,,,COMMONDIR,Demo application,0,zentro-demo-app.exe,auto,{demo-app}
CSV
cat >"$out/world/group15.csv" <<'CSV'
FileName,SequenceID,InstallType,FileVersion,AltCheck,AltCheckRegValue,InstallLocation,Description,IsCompressed,DownloadLocation
zentro-demo-app.exe,9999,0,,,,COMMONDIR,Demo application,0,
CSV
printf 'Read me first.\r\n' >"$out/world/files/e2e-readme.txt"
printf 'MZ not really a library' >"$out/world/files/e2e-library.dll"
head -c 20000 /dev/urandom | base64 >"$out/world/files/e2e-data.dat"

# --- display, Wine, service -----------------------------------------------------------------
display=""
for n in $(seq 91 99); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || fail "no free X display"
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
[ -s "$ready" ] || fail "the reference service did not start; see $out/service/stdout.txt"
base_url="$(head -n 1 "$ready")"

# --- the per-user root in the prefix, with the configuration file ---------------------------
appdata_win="$(wine cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r')"
appdata="$(winepath -u "$appdata_win" 2>/dev/null)"
[ -d "$appdata" ] || fail "no roaming profile folder in the prefix ($appdata_win)"
root="$appdata/Velmora/Velmora Zentro"
rm -rf "$appdata/Velmora"
mkdir -p "$root"
cat >"$root/VMIZentroConfig.XML" <<XML
<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882' xmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882' xmlns:rs='urn:schemas-microsoft-com:rowset' xmlns:z='#RowsetSchema'>
<s:Schema id='RowsetSchema'><s:ElementType name='row' content='eltOnly'>
<s:AttributeType name='PropName' rs:number='1'><s:datatype dt:type='string' dt:maxLength='255'/></s:AttributeType>
<s:AttributeType name='PropValue' rs:number='2'><s:datatype dt:type='string' dt:maxLength='4000'/></s:AttributeType>
</s:ElementType></s:Schema>
<rs:data>
<z:row PropName='BaseURL' PropValue='$base_url'/>
</rs:data></xml>
XML
# A font once present is never replaced: take the last run's away so this one installs it.
fonts_key='HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Fonts'
wine reg delete "$fonts_key" /v "Corvale Font DejaVuSans.ttf" /f >/dev/null 2>&1 || true
fonts_dir="$(winepath -u "$(wine cmd /c echo %WINDIR% 2>/dev/null | tr -d '\r')")/Fonts"
rm -f "$fonts_dir/DejaVuSans.ttf"

# --- the run --------------------------------------------------------------------------------
cp "$launcher" "$out/program/VMIZentro.exe"
echo "e2e-windows: service $base_url, display $display, prefix $WINEPREFIX"
status=0
(cd "$out/program" && timeout 180 wine VMIZentro.exe "WIN|tester|Tester-Win1|USEPROFILE") \
  >"$out/launcher-output.txt" 2>&1 || status=$?
[ "$status" = 0 ] || fail "the launcher ended with status $status (124 = hung); see $root/Temp"

common="$root/BROKER/WinBroker"
received="$common/demo-app-received.txt"
for _ in $(seq 1 100); do [ -s "$received" ] && break; sleep 0.1; done
[ -s "$received" ] || fail "the demo application did not run (no $received)"
echo "--- the demo application received:"
cat "$received"
# One argument: the business-object URL with the token as user information, a blank, the token.
line="$(sed -n 2p "$received" | tr -d '\r')"
[ "$(head -n 1 "$received" | tr -d '\r')" = "argc=1" ] || fail "expected one argument"
[[ "$line" =~ ^\"http://([0-9A-Fa-f]{32})@127\.0\.0\.1:[0-9]+/cvbo\ ([0-9A-Fa-f]{32})\"$ ]] ||
  fail "unexpected command line: $line"
[ "${BASH_REMATCH[1]}" = "${BASH_REMATCH[2]}" ] || fail "the URL's token differs from the token"

cmp -s "$common/e2e-readme.txt" "$out/world/files/e2e-readme.txt" || fail "read-me not installed"
cmp -s "$common/e2e-data.dat" "$out/world/files/e2e-data.dat" || fail "compressed file not expanded"
[ "$(tr -d '\r\n' <"$common/e2e-library.dll.ver")" = "2.1.0.0" ] || fail "no version side file"
[ -f "$root/Temp/e2e-data.dat.cmp" ] && fail "the archive was left in the temp folder"
cmp -s "$fonts_dir/DejaVuSans.ttf" /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf ||
  fail "font not placed in the Windows fonts folder"
wine reg query "$fonts_key" /v "Corvale Font DejaVuSans.ttf" 2>/dev/null | grep -q "DejaVuSans.ttf" ||
  fail "font not registered under HKLM"
grep -q "INSTALL_12" <(ls "$common") || fail "no update stamp written"
grep -q "Has admin access = " "$out/service/refservice.log" || fail "no machine report reached the service"
settings="$(wine reg query 'HKCU\Software\VB and VBA Program Settings\VMIZentro\LoginInfo' 2>/dev/null | tr -d '\r')"
grep -q "Password.*REG_SZ *$" <<<"$settings" || fail "the settings store holds no empty Password"
echo "e2e-windows: 1 passed, 0 failed"
