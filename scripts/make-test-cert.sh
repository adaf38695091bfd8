#!/usr/bin/env bash
# Makes a self-signed certificate and key for the reference service's HTTPS listeners:
#   scripts/make-test-cert.sh FOLDER   ->  FOLDER/refservice-cert.pem, FOLDER/refservice-key.pem
# Subject CN=localhost; subjectAltName localhost and the loopback addresses the service
# binds (127.0.0.1 to 127.0.0.3). Valid 30 days; for tests and demos only.
set -euo pipefail
if [ "$#" -ne 1 ]; then
  echo "usage: $0 FOLDER" >&2
  exit 2
fi
folder="$1"
mkdir -p "$folder"
openssl req -x509 -newkey rsa:2048 -sha256 -nodes -days 30 \
  -keyout "$folder/refservice-key.pem" -out "$folder/refservice-cert.pem" \
  -subj "/CN=localhost" \
  -addext "subjectAltName=DNS:localhost,IP:127.0.0.1,IP:127.0.0.2,IP:127.0.0.3" \
  -addext "basicConstraints=critical,CA:TRUE" \
  -addext "keyUsage=critical,digitalSignature,keyEncipherment,keyCertSign" \
  -addext "extendedKeyUsage=serverAuth" 2>/dev/null
chmod 600 "$folder/refservice-key.pem"
echo "$folder/refservice-cert.pem"
