#!/usr/bin/env bash
# Copies the LZMA SDK's C 7z decoder out of Debian's source package `7zip`
# into <dir>, which both builds compile from. Once the files are there a second
# run does nothing, so only the first build of a tree needs the network.
#
#   scripts/lzma-sdk.sh <dir>
#
# Needs deb-src for the configured archive (scripts/setup-debian.sh enables it)
# and dpkg-dev.
set -euo pipefail

dir=$(mkdir -p "${1:?usage: lzma-sdk.sh <dir>}" && cd "$1" && pwd)
stamp="$dir/.complete"
[ -f "$stamp" ] && exit 0

# The decoder of 7z archives with LZMA, LZMA2 and the branch filters, and the
# headers those files include. PPMd, AES and the encoders stay out.
sources=(7zArcIn.c 7zDec.c 7zStream.c 7zBuf.c 7zCrc.c 7zCrcOpt.c 7zAlloc.c
  Lzma2Dec.c LzmaDec.c Bcj2.c Bra.c Bra86.c BraIA64.c CpuArch.c Delta.c)

echo "lzma-sdk: taking the 7z decoder from Debian source package 7zip into $dir"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && apt-get source -q -o APT::Sandbox::User=root 7zip >/dev/null) || {
  echo "lzma-sdk: 'apt-get source 7zip' failed (is deb-src enabled? run scripts/setup-debian.sh)" >&2
  exit 1
}
source_dir=$(find "$work" -mindepth 1 -maxdepth 1 -type d | head -n 1)
c_dir="$source_dir/C"
for f in "${sources[@]}"; do
  [ -f "$c_dir/$f" ] || { echo "lzma-sdk: $f is missing from this version of the 7zip sources" >&2; exit 1; }
done
find "$dir" -mindepth 1 -maxdepth 1 \( -name '*.c' -o -name '*.h' \) -delete
for f in "${sources[@]}"; do cp "$c_dir/$f" "$dir/"; done
# Every header of the folder: which ones a .c file pulls in changes between
# versions, and unused headers cost nothing.
cp "$c_dir"/*.h "$dir/"
basename "$source_dir" > "$dir/VERSION"
touch "$stamp"
