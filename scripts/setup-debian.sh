#!/usr/bin/env bash
# Installs the Debian packages both builds and their tests need. Skips the
# apt work entirely when everything is already there, so a second run is quick.
set -euo pipefail

packages=(
  # native build and tests
  g++ cmake ninja-build pkg-config libgtest-dev libgmock-dev libbenchmark-dev
  libssl-dev libjsoncpp-dev libcurl4-openssl-dev zlib1g-dev
  # the window: layouts, images, text, the Linux host window and its tests
  libpugixml-dev libstb-dev libfreetype-dev libfontconfig-dev fonts-wqy-microhei
  fonts-noto-cjk  # Japanese, Korean and both Chinese forms for the fourteen interface languages
  libsdl2-dev xvfb xauth libx11-dev libxtst-dev
  # Windows build: cross compiler, Wine to run its tests, sources of its libraries
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  mingw-w64-x86-64-dev wine wine64 dpkg-dev libz-mingw-w64-dev
  # benchmarks and tools the scripts use
  coreutils 7zip
  python3-pil fonts-inter  # skin image generator
  nginx curl aria2 time  # download and installer benchmarks
  libcairo2-dev  # the renderer benchmark's peer
  libcpp-httplib-dev  # the package server the download tests run against
  # real parts the field tests run against: a proxy, Authenticode, the system
  # proxy library, fuzzing, a screen-reader client
  tinyproxy osslsigncode libproxy-dev clang libclang-rt-14-dev at-spi2-core python3-pyatspi dbus-daemon
  libatk-bridge2.0-dev libatk1.0-dev  # the window offered to screen readers (AT-SPI through ATK)
  libproxy1-plugin-webkit  # libproxy's PAC runner: without it PAC files are not evaluated
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup-debian: installing ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -q
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The Windows libraries are built from Debian's source packages: make sure the
# configured archive is also a source archive.
if ! apt-get source --print-uris googletest >/dev/null 2>&1; then
  echo "setup-debian: enabling deb-src for the configured Debian archive"
  tmp=$(mktemp)
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && grep -q '^URIs:.*debian' "$f" && { sed 's/^Types: deb$/Types: deb-src/' "$f"; echo; } >> "$tmp"
  done
  if [ -f /etc/apt/sources.list ]; then
    grep -E '^deb .*debian' /etc/apt/sources.list | sed 's/^deb /deb-src /' > "${tmp}.list" || true
    [ -s "${tmp}.list" ] && "${sudo_cmd[@]}" cp "${tmp}.list" /etc/apt/sources.list.d/talvorin-deb-src.list
  fi
  [ -s "$tmp" ] && "${sudo_cmd[@]}" cp "$tmp" /etc/apt/sources.list.d/talvorin-deb-src.sources
  rm -f "$tmp" "${tmp}.list"
  "${sudo_cmd[@]}" apt-get update -q
fi
