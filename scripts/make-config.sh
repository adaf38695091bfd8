#!/usr/bin/env bash
# Writes a launcher configuration file (VMIZentroConfig.XML, an ADO persisted rowset with the
# fields PropName and PropValue) with one row per NAME=VALUE argument, in the order given.
#   scripts/make-config.sh FILE [NAME=VALUE]...
#   scripts/make-config.sh out/VMIZentroConfig.XML BaseURL=https://zentro.example/cvbo \
#     SharedEnvironment=TRUE UPDATEADMINLOGIN=ADMIN1 UPDATEADMINLOGIN=ADMIN2
# Values are escaped for XML; the file is written beside its final name and then moved there.
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: $0 FILE [NAME=VALUE]..." >&2; exit 2; }
file="$1"; shift

escape() {
  local s="$1"
  # Quoted replacements: bash 5.2 would put the matched text in place of a bare "&".
  s="${s//&/"&amp;"}"; s="${s//</"&lt;"}"; s="${s//>/"&gt;"}"
  s="${s//\'/"&apos;"}"; s="${s//\"/"&quot;"}"
  printf '%s' "$s"
}

tmp="$(mktemp "$(dirname "$file")/.config.XXXXXX")"
trap 'rm -f "$tmp"' EXIT
{
  echo "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882' xmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882' xmlns:rs='urn:schemas-microsoft-com:rowset' xmlns:z='#RowsetSchema'>"
  echo "<s:Schema id='RowsetSchema'><s:ElementType name='row' content='eltOnly'>"
  echo "<s:AttributeType name='PropName' rs:number='1'><s:datatype dt:type='string' dt:maxLength='255'/></s:AttributeType>"
  echo "<s:AttributeType name='PropValue' rs:number='2'><s:datatype dt:type='string' dt:maxLength='4000'/></s:AttributeType>"
  echo "</s:ElementType></s:Schema>"
  echo "<rs:data>"
  for row in "$@"; do
    case "$row" in
      *=*) ;;
      *) echo "make-config: not NAME=VALUE: $row" >&2; exit 2 ;;
    esac
    echo "<z:row PropName='$(escape "${row%%=*}")' PropValue='$(escape "${row#*=}")'/>"
  done
  echo "</rs:data></xml>"
} >"$tmp"
chmod 644 "$tmp"
mv -f "$tmp" "$file"
trap - EXIT
