#!/usr/bin/env bash
# The demo package as the publisher check meets it: signed with the test
# code-signing certificate, signed then changed by one byte, and signed by
# another publisher under the same test root. They land beside the unsigned
# one, with the test root that issued the certificates.
#   signed_variants.sh <demo package exe> <folder for the test certificates>
set -euo pipefail
exe=$1
certs=$2
folder=$(dirname "$exe")
signed="$folder/talvorin-demo-package-signed.exe"
altered="$folder/talvorin-demo-package-altered.exe"
other="$folder/talvorin-demo-package-other-publisher.exe"

cp "$exe" "$signed.tmp"
# Always the test certificate, also in a release build: these files are
# test inputs, never shipped.
env -u TALVORIN_SIGN_PFX -u TALVORIN_SIGN_PASSWORD \
  bash "$(dirname "$0")/../../scripts/sign-windows-exe.sh" "$signed.tmp" "$certs"
mv "$signed.tmp" "$signed"

# One byte in the middle (the product's data resource, inside what the
# signature covers) inverted.
cp "$signed" "$altered.tmp"
size=$(stat -c %s "$altered.tmp")
at=$((size / 2))
byte=$(od -An -tu1 -j "$at" -N 1 "$altered.tmp" | tr -d ' ')
printf "\\$(printf '%03o' $((byte ^ 255)))" | dd of="$altered.tmp" bs=1 seek="$at" conv=notrunc status=none
mv "$altered.tmp" "$altered"
# Another publisher: a second code-signing certificate from the same root.
(
  cd "$certs"
  exec 9>.lock
  flock 9
  if [ ! -s other-signer.pem ]; then
    openssl req -newkey rsa:2048 -nodes -subj "/CN=Talvorin Other Publisher" \
      -keyout other-signer-key.pem -out other-signer.csr 2>/dev/null
    openssl x509 -req -in other-signer.csr -CA test-root.pem -CAkey test-root-key.pem -CAcreateserial \
      -days 7300 -extfile test-signer.ext -out other-signer.pem.tmp 2>/dev/null
    mv other-signer.pem.tmp other-signer.pem
  fi
)
osslsigncode sign -certs "$certs/other-signer.pem" -key "$certs/other-signer-key.pem" -n "Talvorin Installer" \
  -h sha256 -in "$exe" -out "$other.tmp" >/dev/null
mv "$other.tmp" "$other"
chmod +x "$signed" "$altered" "$other"
cp "$certs/test-root.pem" "$folder/talvorin-test-signing-root.pem"
