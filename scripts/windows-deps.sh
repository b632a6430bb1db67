#!/usr/bin/env bash
# Cross-builds, from Debian's source packages, the libraries the Windows build
# links statically, and installs them into one prefix inside the build tree.
# Each library is built once: a stamp file per library makes a second run skip it.
#
#   scripts/windows-deps.sh <deps-dir>      (prints nothing but progress)
#
# Adding a library is one `build_cmake_package` line at the bottom.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
deps_dir=$(mkdir -p "${1:?usage: windows-deps.sh <deps-dir>}" && cd "$1" && pwd)
prefix="$deps_dir/prefix"
toolchain="$here/cmake/mingw-w64-x86_64.cmake"
jobs=$(nproc)
mkdir -p "$prefix" "$deps_dir/src" "$deps_dir/stamps"

# fetch_source_package <debian source package> <folder>: unpacks the package's
# source, with Debian's patches applied, into the folder.
fetch_source_package() {
  (cd "$2" && apt-get source -q -o APT::Sandbox::User=root "$1" >/dev/null)
}

# build_cmake_package <debian source package> <stamp name> [cmake options...]
# Fetches the source package (Debian's patches applied), configures it with the
# mingw toolchain, builds it statically and installs it into the prefix.
build_cmake_package() {
  local package=$1 name=$2; shift 2
  local stamp="$deps_dir/stamps/$name"
  [ -f "$stamp" ] && return 0
  echo "windows-deps: building $name from Debian source package $package"
  local work="$deps_dir/src/$name"
  rm -rf "$work" && mkdir -p "$work"
  fetch_source_package "$package" "$work"
  local source_dir
  source_dir=$(find "$work" -mindepth 1 -maxdepth 1 -type d | head -n 1)
  cmake -S "$source_dir" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_PREFIX_PATH="$prefix" \
    -DBUILD_SHARED_LIBS=OFF \
    "$@" >"$work/configure.log" 2>&1 || { cat "$work/configure.log"; return 1; }
  cmake --build "$work/build" -j "$jobs" >"$work/build.log" 2>&1 || { tail -n 60 "$work/build.log"; return 1; }
  cmake --install "$work/build" >/dev/null
  rm -rf "$work"
  touch "$stamp"
}

# One line per library. zlib comes prebuilt from Debian's libz-mingw-w64-dev.
build_cmake_package googletest googletest -DBUILD_GMOCK=ON -Dgtest_force_shared_crt=OFF
build_cmake_package libjsoncpp jsoncpp -DJSONCPP_WITH_TESTS=OFF -DJSONCPP_WITH_POST_BUILD_UNITTEST=OFF \
  -DJSONCPP_WITH_PKGCONFIG_SUPPORT=OFF -DBUILD_STATIC_LIBS=ON -DBUILD_OBJECT_LIBS=OFF
# HTTP(S) and file:// only, TLS from the system (Schannel); nothing else to import.
build_cmake_package curl curl -DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF -DCURL_ZLIB=OFF \
  -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF -DUSE_NGHTTP2=OFF -DUSE_LIBIDN2=OFF -DCURL_USE_LIBSSH2=OFF \
  -DCURL_USE_LIBPSL=OFF -DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF -DENABLE_MANUAL=OFF \
  -DCURL_DISABLE_FTP=ON -DCURL_DISABLE_LDAP=ON -DCURL_DISABLE_LDAPS=ON -DCURL_DISABLE_TELNET=ON \
  -DCURL_DISABLE_DICT=ON -DCURL_DISABLE_TFTP=ON -DCURL_DISABLE_RTSP=ON -DCURL_DISABLE_POP3=ON \
  -DCURL_DISABLE_IMAP=ON -DCURL_DISABLE_SMTP=ON -DCURL_DISABLE_GOPHER=ON -DCURL_DISABLE_MQTT=ON \
  -DCURL_DISABLE_SMB=ON
build_cmake_package pugixml pugixml -DPUGIXML_BUILD_TESTS=OFF
# zlib from libz-mingw-w64-dev; its own copy would clash with libz.a.
build_cmake_package freetype freetype -DFT_REQUIRE_ZLIB=ON -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON \
  -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON
