#!/usr/bin/env bash
# Makes docs/screenshots/real-*.png again: the screen's pictures of every page
# of a real one-click installation, taken by the real-window test
# (tests/ui/window/real_window_test.cpp) while it drives the real program:
#   real-linux-page0..3.png   talvorin-installer on a private Xvfb (SDL2)
#   real-wine-page0..3.png    TalvorinInstaller.exe under Wine (Win32)
# Builds what is missing first (both builds as scripts/test-all.sh makes
# them); an argument "linux" or "wine" makes only those.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
out="$root/docs/screenshots"
which=${1:-both}
filter='RealWindowTest.*'
cd "$root"

if [ "$which" != wine ]; then
  cmake -S . -B "$build/linux" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTALVORIN_SANITIZE=ON >/dev/null
  cmake --build "$build/linux" -j "$(nproc)" --target talvorin_tests
  TALVORIN_SCREENSHOT_DIR="$out" "$build/linux/bin/talvorin_tests" --gtest_filter="$filter"
fi
[ "$which" = linux ] && exit 0

# The Linux build's package server and collector serve the Wine run, as in
# scripts/test-all.sh.
cmake --build "$build/linux" -j "$(nproc)" --target talvorin-package-server talvorin-collector
# TALVORIN_WINDOWS_PREFIX names libraries cross-built before; otherwise they
# are built (once) as scripts/test-all.sh builds them.
prefix=${TALVORIN_WINDOWS_PREFIX:-}
if [ -z "$prefix" ]; then
  bash scripts/windows-deps.sh "$build/windows-deps" || exit 1
  prefix="$build/windows-deps/prefix"
fi
cmake -S . -B "$build/windows" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DTALVORIN_WINDOWS_PREFIX="$prefix" >/dev/null
cmake --build "$build/windows" -j "$(nproc)" --target talvorin_tests

pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; wineserver -k 2>/dev/null || true' EXIT
if [ -z "${DISPLAY:-}" ]; then
  xvfb_out=$(mktemp)
  Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp >"$xvfb_out" 2>/dev/null &
  pids+=($!)
  for _ in $(seq 100); do [ -s "$xvfb_out" ] && break; sleep 0.1; done
  [ -s "$xvfb_out" ] || { echo "Xvfb did not start"; exit 1; }
  export DISPLAY=":$(head -n 1 "$xvfb_out")"
  rm -f "$xvfb_out"
fi
export WINEPREFIX="$build/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine cmd /c exit >/dev/null 2>&1
wineserver -p 120 || true  # already running: it stays as it is

ports_of() {
  for _ in $(seq 600); do
    if [ -s "$1" ]; then head -n 1 "$1"; return 0; fi
    sleep 0.1
  done
  echo "$2 did not start" >&2
  exit 1
}
peers=$(mktemp -d)
"$build/linux/bin/talvorin-package-server" --cert-dir "$build/package-server-certs" \
  --serve-dir "$build/windows/bin" >"$peers/server" 2>/dev/null &
pids+=($!)
"$build/linux/bin/talvorin-collector" --cert-dir "$build/collector-certs" >"$peers/collector" 2>/dev/null &
pids+=($!)
TALVORIN_PACKAGE_SERVER=$(ports_of "$peers/server" "the package server")
TALVORIN_COLLECTOR=$(ports_of "$peers/collector" "the collector")
TALVORIN_PACKAGE_SERVER_CA=$(winepath -w "$build/package-server-certs/ca.pem")
TALVORIN_COLLECTOR_CA=$(winepath -w "$build/collector-certs/ca.pem")
TALVORIN_SCREENSHOT_DIR=$(winepath -w "$out")
export TALVORIN_PACKAGE_SERVER TALVORIN_COLLECTOR TALVORIN_PACKAGE_SERVER_CA TALVORIN_COLLECTOR_CA \
  TALVORIN_SCREENSHOT_DIR
rm -rf "$peers"
(cd "$build/windows/bin" && wine ./talvorin_tests.exe --gtest_filter="$filter" </dev/null)
