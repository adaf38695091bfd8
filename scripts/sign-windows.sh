#!/usr/bin/env bash
# Signs Windows files (VMIZentro.exe, the .msi) in place with an Authenticode signature made
# by osslsigncode with SHA-256 digests, when a code-signing certificate is supplied:
#   ZENTRO_SIGN_PKCS12         the certificate and its private key, a PKCS#12 (.pfx/.p12) file
#   ZENTRO_SIGN_PASSWORD       its password (may be empty)
#   ZENTRO_SIGN_TIMESTAMP_URL  optional: an RFC 3161 time-stamping service
#   scripts/sign-windows.sh FILE...
# Without ZENTRO_SIGN_PKCS12 the files stay unsigned and one line says so. The password never
# appears on a command line: osslsigncode reads it from a private file that exists only while
# it runs.
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: $0 FILE..." >&2; exit 2; }
if [ -z "${ZENTRO_SIGN_PKCS12:-}" ]; then
  echo "sign-windows: not signed (no certificate: set ZENTRO_SIGN_PKCS12 and ZENTRO_SIGN_PASSWORD)"
  exit 0
fi
fail() { echo "sign-windows: $*" >&2; exit 1; }
command -v osslsigncode >/dev/null || fail "osslsigncode is missing: run scripts/setup.sh --windows-toolchain"
[ -f "$ZENTRO_SIGN_PKCS12" ] || fail "no certificate file at ZENTRO_SIGN_PKCS12"

work="$(mktemp -d)"   # mode 0700, a fresh name: nobody else can see or swap what is inside
trap 'rm -rf "$work"' EXIT
pass="$work/password"
(umask 077 && set -o noclobber && printf '%s' "${ZENTRO_SIGN_PASSWORD:-}" >"$pass")
timestamp=() stamped=""
if [ -n "${ZENTRO_SIGN_TIMESTAMP_URL:-}" ]; then
  timestamp=(-ts "$ZENTRO_SIGN_TIMESTAMP_URL") stamped=" and time-stamped"
fi

for file in "$@"; do
  [ -f "$file" ] || fail "no file $file"
  signed="$work/signed"
  rm -f "$signed"
  osslsigncode sign -pkcs12 "$ZENTRO_SIGN_PKCS12" -readpass "$pass" -h sha256 \
    -n "VMI Zentro" "${timestamp[@]}" -in "$file" -out "$signed" >"$work/log" 2>&1 ||
    { cat "$work/log" >&2; fail "signing $file failed"; }
  # Replace the file in one step: a reader sees the unsigned or the signed file, never half.
  replacement="$(mktemp "$(dirname "$file")/.signing.XXXXXX")"
  cat "$signed" >"$replacement" && chmod --reference="$file" "$replacement" &&
    mv -f "$replacement" "$file" || { rm -f "$replacement"; fail "could not replace $file"; }
  echo "sign-windows: signed$stamped $(basename "$file")"
done
