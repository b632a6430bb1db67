#!/usr/bin/env bash
# Cross-builds, from Debian's source packages, the libraries the Windows build
# links statically, and installs them into one prefix inside the build tree.
# Each library is built once: a stamp file per library records the recipe it
# was built with (source version, options, flags, compiler), so a second run
# skips it and a changed recipe rebuilds it.
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

# Everything here ends up inside one installer exe that people download, so
# it is built for size: -Os, and every function and datum in a section of its
# own so that the program's link (--gc-sections) drops what it never calls.
size_flags="-Os -DNDEBUG -ffunction-sections -fdata-sections"

# fetch_source_package <debian source package> <folder>: unpacks the package's
# source, with Debian's patches applied, into the folder.
fetch_source_package() {
  (cd "$2" && apt-get source -q -o APT::Sandbox::User=root "$1" >/dev/null)
}

# build_cmake_package <debian source package> <stamp name> [cmake options...]
# Fetches the source package (Debian's patches applied), runs prepare_<stamp
# name> in its folder when such a function exists, configures it with the
# mingw toolchain, builds it statically and installs it into the prefix.
build_cmake_package() {
  local package=$1 name=$2; shift 2
  local stamp="$deps_dir/stamps/$name"
  local prepare="prepare_$name"
  declare -F "$prepare" >/dev/null || prepare=""
  # Everything that shapes the result: a change to any of it rebuilds.
  local recipe
  recipe=$(
    echo "source $(apt-get source --print-uris "$package" 2>/dev/null | grep -o '[^ ]*\.dsc ' || true)"
    echo "compiler $(x86_64-w64-mingw32-gcc-posix -dumpfullversion) $(x86_64-w64-mingw32-ld --version | head -n 1)"
    echo "flags $size_flags"
    printf 'option %s\n' "$@"
    [ -n "$prepare" ] && declare -f "$prepare"
    cat "$toolchain"
    declare -f build_cmake_package fetch_source_package
  )
  recipe=$(printf '%s\n' "$recipe" | sha256sum | cut -d' ' -f1)
  [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$recipe" ] && return 0
  echo "windows-deps: building $name from Debian source package $package"
  # A rebuild first takes out what the previous build installed, so that no
  # header or library of an older recipe stays behind in the prefix.
  if [ -f "$stamp.files" ]; then
    while IFS= read -r file; do rm -f "$file"; done <"$stamp.files"
  fi
  rm -f "$stamp" "$stamp.files"
  local work="$deps_dir/src/$name"
  rm -rf "$work" && mkdir -p "$work"
  fetch_source_package "$package" "$work"
  local source_dir
  source_dir=$(find "$work" -mindepth 1 -maxdepth 1 -type d | head -n 1)
  [ -n "$prepare" ] && (cd "$source_dir" && "$prepare")
  cmake -S "$source_dir" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_C_FLAGS_RELEASE="$size_flags" \
    -DCMAKE_CXX_FLAGS_RELEASE="$size_flags" \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_PREFIX_PATH="$prefix" \
    -DBUILD_SHARED_LIBS=OFF \
    "$@" >"$work/configure.log" 2>&1 || { cat "$work/configure.log"; return 1; }
  cmake --build "$work/build" -j "$jobs" >"$work/build.log" 2>&1 || { tail -n 60 "$work/build.log"; return 1; }
  cmake --install "$work/build" >/dev/null
  cp "$work/build/install_manifest.txt" "$stamp.files"
  rm -rf "$work"
  echo "$recipe" >"$stamp"
}

# FreeType's CMake build compiles every font driver, and its module list
# (ftmodule.h) links them all in. The installer only ever opens sfnt fonts
# (.ttf, .ttc, .otf, or the bytes GDI hands out): TrueType and CFF outlines,
# drawn anti-aliased. The auto-hinter stays: it is what light hinting uses for
# TrueType fonts. Of the options, off go those for other kinds of font files:
# Mac resource forks, LZW-compressed PCF, the X11 BDF table, and the Adobe
# Glyph List that makes Unicode charmaps for bare CFF and Type 1 fonts (an
# sfnt font brings its own cmap).
prepare_freetype() {
  local option
  for option in FT_CONFIG_OPTION_ADOBE_GLYPH_LIST FT_CONFIG_OPTION_MAC_FONTS \
                FT_CONFIG_OPTION_GUESSING_EMBEDDED_RFORK FT_CONFIG_OPTION_USE_LZW TT_CONFIG_OPTION_BDF; do
    grep -q "^#define $option\$" include/freetype/config/ftoption.h ||
      { echo "windows-deps: FreeType's ftoption.h no longer defines $option" >&2; return 1; }
    sed -i "s|^#define $option\$|/* #define $option */|" include/freetype/config/ftoption.h
  done
  cat >include/freetype/config/ftmodule.h <<'MODULES'
/* Font modules of the Windows installer build: sfnt fonts only. */
FT_USE_MODULE( FT_Module_Class, autofit_module_class )
FT_USE_MODULE( FT_Driver_ClassRec, tt_driver_class )
FT_USE_MODULE( FT_Driver_ClassRec, cff_driver_class )
FT_USE_MODULE( FT_Module_Class, psaux_module_class )
FT_USE_MODULE( FT_Module_Class, psnames_module_class )
FT_USE_MODULE( FT_Module_Class, pshinter_module_class )
FT_USE_MODULE( FT_Module_Class, sfnt_module_class )
FT_USE_MODULE( FT_Renderer_Class, ft_smooth_renderer_class )
MODULES
}

# One line per library. zlib comes prebuilt from Debian's libz-mingw-w64-dev.
build_cmake_package googletest googletest -DBUILD_GMOCK=ON -Dgtest_force_shared_crt=OFF
build_cmake_package libjsoncpp jsoncpp -DJSONCPP_WITH_TESTS=OFF -DJSONCPP_WITH_POST_BUILD_UNITTEST=OFF \
  -DJSONCPP_WITH_PKGCONFIG_SUPPORT=OFF -DBUILD_STATIC_LIBS=ON -DBUILD_OBJECT_LIBS=OFF
# HTTP(S) and file:// only, TLS from the system (Schannel); nothing else to
# import. Also left out: what only an option the installer never sets would
# switch on (cookies, HSTS, alt-svc, DNS over HTTPS, netrc, MIME posts, date
# parsing for those, address shuffling, Unix sockets), the option-listing API
# and the curl tool's progress meter (progress callbacks stay). Proxies, their
# authentication and the error texts stay.
build_cmake_package curl curl -DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF -DCURL_ZLIB=OFF \
  -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF -DUSE_NGHTTP2=OFF -DUSE_LIBIDN2=OFF -DCURL_USE_LIBSSH2=OFF \
  -DCURL_USE_LIBPSL=OFF -DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF -DENABLE_MANUAL=OFF \
  -DCURL_DISABLE_FTP=ON -DCURL_DISABLE_LDAP=ON -DCURL_DISABLE_LDAPS=ON -DCURL_DISABLE_TELNET=ON \
  -DCURL_DISABLE_DICT=ON -DCURL_DISABLE_TFTP=ON -DCURL_DISABLE_RTSP=ON -DCURL_DISABLE_POP3=ON \
  -DCURL_DISABLE_IMAP=ON -DCURL_DISABLE_SMTP=ON -DCURL_DISABLE_GOPHER=ON -DCURL_DISABLE_MQTT=ON \
  -DCURL_DISABLE_SMB=ON -DCURL_DISABLE_COOKIES=ON -DCURL_DISABLE_HSTS=ON -DCURL_DISABLE_ALTSVC=ON \
  -DCURL_DISABLE_DOH=ON -DCURL_DISABLE_NETRC=ON -DCURL_DISABLE_MIME=ON -DCURL_DISABLE_PARSEDATE=ON \
  -DCURL_DISABLE_SHUFFLE_DNS=ON -DENABLE_UNIX_SOCKETS=OFF -DCURL_DISABLE_GETOPTIONS=ON \
  -DCURL_DISABLE_LIBCURL_OPTION=ON -DCURL_DISABLE_PROGRESS_METER=ON
build_cmake_package pugixml pugixml -DPUGIXML_BUILD_TESTS=OFF
# zlib from libz-mingw-w64-dev; its own copy would clash with libz.a.
build_cmake_package freetype freetype -DFT_REQUIRE_ZLIB=ON -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON \
  -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON
