#!/usr/bin/env bash
# Builds both programs and runs every test: the Linux build natively under
# AddressSanitizer and UndefinedBehaviorSanitizer, the Windows build under
# Wine. Installs what it needs first; a second run skips what is there.
# Exit status: 0 only when every test of both builds passed.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
jobs=$(nproc)
cd "$root"

bash scripts/setup-debian.sh || exit 1

status=0

echo "=== Linux build (sanitizers) ==="
cmake -S . -B "$build/linux" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTALVORIN_SANITIZE=ON >/dev/null &&
  cmake --build "$build/linux" -j "$jobs" || exit 1
# Tests that start or look for the product keep to their own folder
# (TALVORIN_PROCESS_SCOPE), so they run side by side.
(cd "$build/linux" && ctest --output-on-failure -j "$jobs") || status=1

echo "=== Linux build (ThreadSanitizer): the download and installation tests ==="
# Their threads meet in few places (downloaders, orchestrator, runner); a
# race there shows here. Only their own test program is built, to keep the
# cost of CI modest.
cmake -S . -B "$build/linux-tsan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTALVORIN_TSAN=ON >/dev/null &&
  cmake --build "$build/linux-tsan" -j "$jobs" --target talvorin_thread_tests || exit 1
(cd "$build/linux-tsan/bin" && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" ./talvorin_thread_tests) ||
  status=1

echo "=== Windows build (mingw-w64, tests under Wine) ==="
bash scripts/windows-deps.sh "$build/windows-deps" || exit 1
cmake -S . -B "$build/windows" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DTALVORIN_WINDOWS_PREFIX="$build/windows-deps/prefix" >/dev/null &&
  cmake --build "$build/windows" -j "$jobs" || exit 1
# What we ship is signed; a build without the release certificate verifies
# against the test root it made.
if [ -z "${TALVORIN_SIGN_PFX:-}" ]; then
  osslsigncode verify -CAfile "$build/windows/signing/test-root.pem" \
    -in "$build/windows/bin/TalvorinInstaller.exe" >/dev/null ||
    { echo "TalvorinInstaller.exe: the Authenticode signature does not verify"; status=1; }
fi

# The Windows window host's test shows a real window, so Wine needs an X
# display: without one, a private Xvfb serves this run. (The Linux host's
# test starts an Xvfb of its own.)
xvfb_pid=""
if [ -z "${DISPLAY:-}" ]; then
  xvfb_out=$(mktemp)
  Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp >"$xvfb_out" 2>/dev/null &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$xvfb_out" ] && break; sleep 0.1; done
  if [ -s "$xvfb_out" ]; then
    export DISPLAY=":$(head -n 1 "$xvfb_out")"
  else
    echo "Xvfb did not start: the Windows window host's test will be skipped"
  fi
  rm -f "$xvfb_out"
fi

# A private Wine prefix, and Wine's services started once before CTest, so
# that each test does not pay for starting them again.
export WINEPREFIX="$build/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine cmd /c exit >/dev/null 2>&1
wineserver -p 120
# The first programs to open windows make Wine create its desktop; two test
# programs doing so at the same moment were seen to hang at exit until the
# test timeout. One window test run alone, beforehand, creates it.
timeout 120 wine "$build/windows/bin/talvorin_tests.exe" \
  --gtest_filter='MessageBox.ResultsByHowTheDialogCloses' </dev/null >/dev/null 2>&1 || true

# Wine starts a native program but hands it neither our pipes nor a process
# handle, so the Windows tests cannot run a package server of their own: one
# server, from the Linux build, serves the whole run (tests keep apart by
# scenario id). It reads its standard input from this script and ends with it.
# Scenarios with "file=" take their files from the Windows build's programs,
# so the installation tests download the Windows demo package.
coproc package_server {
  exec "$build/linux/bin/talvorin-package-server" --cert-dir "$build/package-server-certs" \
    --serve-dir "$build/windows/bin" --stop-at-stdin-eof 2>/dev/null
}
if read -r -t 60 ports <&"${package_server[0]}"; then
  export TALVORIN_PACKAGE_SERVER="$ports"
  TALVORIN_PACKAGE_SERVER_CA=$(winepath -w "$build/package-server-certs/ca.pem")
  export TALVORIN_PACKAGE_SERVER_CA
else
  echo "the package server did not start"
  status=1
fi
# The analytics collector, likewise: one for the run, tests apart by id.
coproc collector {
  exec "$build/linux/bin/talvorin-collector" --cert-dir "$build/collector-certs" \
    --stop-at-stdin-eof 2>/dev/null
}
if read -r -t 60 collector_ports <&"${collector[0]}"; then
  export TALVORIN_COLLECTOR="$collector_ports"
  TALVORIN_COLLECTOR_CA=$(winepath -w "$build/collector-certs/ca.pem")
  export TALVORIN_COLLECTOR_CA
else
  echo "the collector did not start"
  status=1
fi
# Two proxies, one open and one asking for Basic credentials, for the proxy
# tests: named by their ports and the folder of their logs.
proxy_dir="$build/wine-proxies"
rm -rf "$proxy_dir" && mkdir -p "$proxy_dir"
proxy_ports="" proxy_pids=()
for kind in open basic; do
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  {
    printf 'Port %s\nListen 127.0.0.1\nTimeout 600\nMaxClients 100\nLogLevel Connect\n' "$port"
    printf 'LogFile "%s/%s.log"\nAllow 127.0.0.1\nDisableViaHeader Yes\n' "$proxy_dir" "$kind"
    [ "$kind" = basic ] && printf 'BasicAuth talvorin proxy-pass\n'
  } >"$proxy_dir/$kind.conf"
  tinyproxy -d -c "$proxy_dir/$kind.conf" >/dev/null 2>&1 &
  proxy_pids+=($!)
  for _ in $(seq 100); do (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.1; done
  proxy_ports="$proxy_ports $kind=$port"
done
export TALVORIN_PROXIES="${proxy_ports# }"
TALVORIN_PROXY_LOGS=$(winepath -w "$proxy_dir")
export TALVORIN_PROXY_LOGS
(cd "$build/windows" && ctest --output-on-failure -j "$jobs") || status=1
for pid in "${proxy_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
kill "$collector_PID" 2>/dev/null || true
kill "$package_server_PID" 2>/dev/null || true
wineserver -k 2>/dev/null || true
[ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null

if [ $status -eq 0 ]; then echo "=== all tests of both builds passed ==="; else echo "=== TESTS FAILED ==="; fi
exit $status
