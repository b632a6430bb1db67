#!/usr/bin/env bash
# Signs a Windows executable with Authenticode (osslsigncode), in place.
#   sign-windows-exe.sh <exe> <folder for the test certificates>
# With TALVORIN_SIGN_PFX (a PKCS#12 file) and TALVORIN_SIGN_PASSWORD set, the
# release certificate signs. Without them a test code-signing certificate,
# issued by a test root made once in the given folder, signs: such a build
# verifies against "test-root.pem" there and nowhere else.
set -euo pipefail

exe=$1
certs=$2
name="Talvorin Installer"

if [ -n "${TALVORIN_SIGN_PFX:-}" ]; then
  pfx=$TALVORIN_SIGN_PFX
  password=${TALVORIN_SIGN_PASSWORD:-}
else
  mkdir -p "$certs"
  pfx="$certs/test-signer.pfx"
  password=talvorin-test
  # Two programs signed at once make the certificates once.
  exec 9>"$certs/.lock"
  flock 9
  if [ ! -s "$pfx" ]; then
    (
      cd "$certs"
      openssl req -x509 -newkey rsa:2048 -nodes -days 7300 -subj "/CN=Talvorin Test Root" \
        -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
        -keyout test-root-key.pem -out test-root.pem 2>/dev/null
      openssl req -newkey rsa:2048 -nodes -subj "/CN=Talvorin Test Publisher" \
        -keyout test-signer-key.pem -out test-signer.csr 2>/dev/null
      printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' \
        >test-signer.ext
      openssl x509 -req -in test-signer.csr -CA test-root.pem -CAkey test-root-key.pem -CAcreateserial \
        -days 7300 -extfile test-signer.ext -out test-signer.pem 2>/dev/null
      openssl pkcs12 -export -inkey test-signer-key.pem -in test-signer.pem -certfile test-root.pem \
        -passout "pass:$password" -out test-signer.pfx.tmp
      mv test-signer.pfx.tmp test-signer.pfx
    )
  fi
  flock -u 9
fi

# A second run on an already signed file replaces its signature.
osslsigncode remove-signature -in "$exe" -out "$exe.unsigned" >/dev/null 2>&1 || cp "$exe" "$exe.unsigned"
osslsigncode sign -pkcs12 "$pfx" -pass "$password" -n "$name" -h sha256 \
  -in "$exe.unsigned" -out "$exe.signed" >/dev/null
rm -f "$exe.unsigned"
mv "$exe.signed" "$exe"
