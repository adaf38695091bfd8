#!/usr/bin/env bash
# End-to-end run of the Windows launcher: VMIZentro.exe under Wine and Xvfb logs in from its
# command line against the Linux reference service on loopback, installs a deployment beside
# itself and launches the cross-compiled demo application from a temporary copy, which records
# its command line. The checks below fail the run when anything on that road is missing.
# Everything a user's machine may spell differently is non-ASCII here: the program folder, the
# login and the password. One entry is checked through a file in the system folder (the 32-bit
# one, SysWOW64), one through a registry value a 32-bit installer wrote (under WOW6432Node).
# A second run, its stamps removed, must check every file, find each current and launch again.
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
# The launcher's folder is its root folder (no USEPROFILE): configuration, Temp, deployments.
root="$out/Zentro Prüfung ß"
rm -rf "$out/world" "$out/service" "$out/program" "$root"
mkdir -p "$out/world/files" "$out/service" "$root"
export WINEPREFIX="$build/e2e-prefix"
. "$here/scripts/wine-env.sh"
export no_proxy="127.0.0.1,localhost" NO_PROXY="127.0.0.1,localhost"
# The command line and the folder names reach Wine as UTF-8 text.
export LC_ALL=C.UTF-8

fail() { echo "e2e-windows: FAILED: $*" >&2; exit 1; }

# --- the world: one filer, one login, one broker deployment with Windows files ----------
cat >"$out/world/world.ini" <<'INI'
[filer WIN]
description = Windows end-to-end filer

[login WIN/MÜLLER]
password = Pässwort-ß-Ж1
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
e2e-readme.txt,10,5,1.0.0.0,,,COMMONDIR,Read-me (replace + version file),0,e2e-readme.txt,auto,
e2e-library.dll,20,5,2.1.0.0,,,COMMONDIR,Library (replace + version file),0,e2e-library.dll,auto,
e2e-data.dat,30,5,1.0.0.0,,,COMMONDIR,Data (compressed),1,e2e-data.cmp,auto,e2e-data.dat
DejaVuSans.ttf,40,2,2.37.0.0,,,FONTSDIR,Font,0,fonts/DejaVuSans.ttf,,/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
e2e-system.dll,50,5,1.2.0.0,<SYSTEMDIR>\e2e-system.dll,,SYSTEMDIR,System library (AltCheck in the system folder),0,e2e-system.dll,auto,
e2e-runtime.txt,60,2,7.1.0.0,SOFTWARE\Velmora E2E Runtime,Version,COMMONDIR,Runtime (AltCheck registry value),0,e2e-runtime.txt,auto,
zentro-demo-app.exe,90,2,1.0.0.0,,,COMMONDIR,Demo application,0,zentro-demo-app.exe,auto,{demo-app}
CSV
cat >"$out/world/group15.csv" <<'CSV'
FileName,SequenceID,InstallType,FileVersion,AltCheck,AltCheckRegValue,InstallLocation,Description,IsCompressed,DownloadLocation
zentro-demo-app.exe,9999,0,,,,COMMONDIR,Demo application,0,
CSV
printf 'Read me first.\r\n' >"$out/world/files/e2e-readme.txt"
printf 'MZ not really a library' >"$out/world/files/e2e-library.dll"
head -c 20000 /dev/urandom | base64 >"$out/world/files/e2e-data.dat"
printf 'MZ not really a system library' >"$out/world/files/e2e-system.dll"
printf 'Delivered only when the runtime is missing.\r\n' >"$out/world/files/e2e-runtime.txt"

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

# --- the root folder with the configuration file; the machine's state -----------------------
cat >"$root/VMIZentroConfig.XML" <<XML
<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882' xmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882' xmlns:rs='urn:schemas-microsoft-com:rowset' xmlns:z='#RowsetSchema'>
<s:Schema id='RowsetSchema'><s:ElementType name='row' content='eltOnly'>
<s:AttributeType name='PropName' rs:number='1'><s:datatype dt:type='string' dt:maxLength='255'/></s:AttributeType>
<s:AttributeType name='PropValue' rs:number='2'><s:datatype dt:type='string' dt:maxLength='4000'/></s:AttributeType>
</s:ElementType></s:Schema>
<rs:data>
<z:row PropName='BaseURL' PropValue='$base_url'/>
<z:row PropName='RunFromTemp' PropValue='True'/>
</rs:data></xml>
XML
win_dir() { winepath -u "$(wine cmd /c echo "%$1%" 2>/dev/null | tr -d '\r')" 2>/dev/null; }
windir="$(win_dir WINDIR)"
tempdir="$(win_dir TEMP)"
[ -d "$windir/syswow64" ] || fail "the prefix has no syswow64 folder ($windir)"
[ -d "$tempdir" ] || fail "no temp folder in the prefix"
# A font once present is never replaced: take the last run's away so this one installs it.
fonts_key='HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Fonts'
for view in 32 64; do
  wine reg delete "$fonts_key" /v "Corvale Font DejaVuSans.ttf" /f /reg:$view >/dev/null 2>&1 || true
done
fonts_dir="$windir/Fonts"
rm -f "$fonts_dir/DejaVuSans.ttf" "$windir"/syswow64/e2e-system.dll* "$windir"/system32/e2e-system.dll*
rm -rf "$tempdir"/CVTEMP_*
# The runtime's 32-bit installer has run before: its version value is in the 32-bit view.
runtime_key='HKLM\SOFTWARE\Velmora E2E Runtime'
wine reg delete "$runtime_key" /f /reg:64 >/dev/null 2>&1 || true
wine reg add "$runtime_key" /v Version /d 7.1.0.0 /f /reg:32 >/dev/null 2>&1 ||
  fail "could not write the 32-bit runtime value"

# --- the runs -------------------------------------------------------------------------------
cp "$launcher" "$root/VMIZentro.exe"
echo "e2e-windows: service $base_url, display $display, prefix $WINEPREFIX"
common="$root/BROKER/WinBroker"
log="$out/service/refservice.log"

# One run from the command line (the login as typed, upper-cased by the launcher); checks the
# launch from a fresh temporary copy of the deployment's folder.
run_launcher() {
  local status=0 received
  (cd "$root" && timeout 180 wine VMIZentro.exe "WIN|Müller|Pässwort-ß-Ж1") \
    >"$out/launcher-output.txt" 2>&1 || status=$?
  if [ "$status" != 0 ]; then
    # A launcher that found no rights shows its message and waits for the user.
    grep -q "Has admin access = No" "$log" &&
      fail "the launcher found no rights to install (its write probe in $common failed)"
    fail "the launcher ended with status $status (124 = hung); see $root/Temp"
  fi
  for _ in $(seq 1 100); do
    received="$(ls -t "$tempdir"/CVTEMP_*/demo-app-received.txt 2>/dev/null | head -n 1)"
    [ -s "$received" ] && break
    sleep 0.1
  done
  [ -s "$received" ] || fail "the demo application did not run from a temporary copy ($tempdir)"
  [ -f "$common/demo-app-received.txt" ] && fail "the demo application ran in place, not from the copy"
  echo "--- the demo application received:"
  cat "$received"
  # One argument: the business-object URL with the token as user information, a blank, the token.
  line="$(sed -n 2p "$received" | tr -d '\r')"
  [ "$(head -n 1 "$received" | tr -d '\r')" = "argc=1" ] || fail "expected one argument"
  [[ "$line" =~ ^\"http://([0-9A-Fa-f]{32})@127\.0\.0\.1:[0-9]+/cvbo\ ([0-9A-Fa-f]{32})\"$ ]] ||
    fail "unexpected command line: $line"
  [ "${BASH_REMATCH[1]}" = "${BASH_REMATCH[2]}" ] || fail "the URL's token differs from the token"
  rm -rf "$(dirname "$received")"
}

run_launcher
cmp -s "$common/e2e-readme.txt" "$out/world/files/e2e-readme.txt" || fail "read-me not installed"
cmp -s "$common/e2e-data.dat" "$out/world/files/e2e-data.dat" || fail "compressed file not expanded"
[ "$(tr -d '\r\n' <"$common/e2e-library.dll.ver")" = "2.1.0.0" ] || fail "no version side file"
[ -f "$root/Temp/e2e-data.dat.cmp" ] && fail "the archive was left in the temp folder"
cmp -s "$windir/syswow64/e2e-system.dll" "$out/world/files/e2e-system.dll" ||
  fail "the system library is not in the 32-bit system folder (syswow64)"
[ "$(tr -d '\r\n' <"$windir/syswow64/e2e-system.dll.ver")" = "1.2.0.0" ] ||
  fail "no version side file beside the system library"
[ -e "$windir/system32/e2e-system.dll" ] && fail "the system library went to system32"
[ -e "$common/e2e-runtime.txt" ] &&
  fail "the runtime was delivered although its 32-bit version value is current"
grep -q "GET .*e2e-runtime.txt" "$log" && fail "the runtime was downloaded"
cmp -s "$fonts_dir/DejaVuSans.ttf" /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf ||
  fail "font not placed in the Windows fonts folder"
wine reg query "$fonts_key" /v "Corvale Font DejaVuSans.ttf" /reg:32 2>/dev/null | grep -q "DejaVuSans.ttf" ||
  fail "font not registered under HKLM"
ls "$common"/INSTALL_12* >/dev/null 2>&1 || fail "no update stamp written"
grep -q "Has admin access = Yes" "$log" || fail "no machine report (with rights) reached the service"
settings="$(wine reg query 'HKCU\Software\VB and VBA Program Settings\VMIZentro\LoginInfo' 2>/dev/null | tr -d '\r')"
grep -q "Password.*REG_SZ *$" <<<"$settings" || fail "the settings store holds no empty Password"
downloads="$(grep -c " GET " "$log" || true)"
echo "e2e-windows: first run installed, $downloads downloads"

# The second run checks every entry again (its stamps are gone) and finds each one current.
rm -f "$common"/INSTALL_*
before="$(wc -l <"$log")"
run_launcher
tail -n +"$((before + 1))" "$log" | grep " GET " && fail "the second run downloaded files again"
ls "$common"/INSTALL_12* >/dev/null 2>&1 || fail "the second run wrote no update stamp"
echo "e2e-windows: 1 passed, 0 failed"
