#!/usr/bin/env bash
# Peak memory of the installer's window at display scales 1, 1.5 and 2, each
# a whole installation through the real window on a private Xvfb: the
# program starts on the start page with the focus on "立即安装", one Return
# (XTest) installs the demo package from the package server on loopback, and
# the peak RSS (VmHWM) is read on the finish page. Scale 1 is the peer: the
# ratios say what drawing at the display's pixels costs. Goal: at most 40 MB
# at 200 %.
#
#   bench/scaled_window_rss.sh [size-in-MiB]      (default 64)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
size_mib=${1:-64}
build="$root/build/bench"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTALVORIN_TESTS=OFF \
  -DTALVORIN_BENCH=ON >/dev/null
cmake --build "$build" --target talvorin-installer talvorin-package-server talvorin-demo-package >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/talvorin-scaled-rss.XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

display=":$((200 + RANDOM % 500))"
Xvfb "$display" -screen 0 2560x1600x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done

mkdir -p "$work/packages" "$work/program"
package="talvorin-demo-package-${size_mib}"
cp "$build/bin/talvorin-demo-package" "$work/packages/$package"
head -c "$((size_mib * 1048576))" /dev/urandom >>"$work/packages/$package"
cp "$build/bin/talvorin-installer" "$work/program/"
"$build/bin/talvorin-package-server" --cert-dir "$work/certs" --serve-dir "$work/packages" \
  >"$work/ports" 2>/dev/null &
pids+=($!)
for _ in $(seq 600); do [ -s "$work/ports" ] && break; sleep 0.1; done
port=$(sed -n 's/.*http=\([0-9]*\).*/\1/p' "$work/ports")
[ -n "$port" ] || { echo "the package server did not start"; exit 1; }

# One key press through XTest, as the keyboard gives it.
press_return() {
  DISPLAY="$display" /usr/bin/python3 - <<'EOF'
import ctypes
x11 = ctypes.CDLL("libX11.so.6"); xtst = ctypes.CDLL("libXtst.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
d = x11.XOpenDisplay(None)
code = x11.XKeysymToKeycode(ctypes.c_void_p(d), ctypes.c_ulong(0xFF0D))  # XK_Return
for down in (1, 0):
    xtst.XTestFakeKeyEvent(ctypes.c_void_p(d), code, down, ctypes.c_ulong(0))
x11.XSync(ctypes.c_void_p(d), 0)
x11.XCloseDisplay(ctypes.c_void_p(d))
EOF
}

declare -A peak
for scale in 1 1.5 2; do
  home="$work/home-$scale"
  mkdir -p "$home/config" "$home/data" "$home/run"
  printf '[Install]\nDownloadUrl=http://127.0.0.1:%s/s/rss-%s;file=%s/software/456\nIsEnableAppAnalytics=false\nIsCheckNet=false\n' \
    "$port" "$scale" "$package" >"$work/program/ZorvanInstallerConfig.ini"
  DISPLAY="$display" SDL_VIDEODRIVER=x11 TALVORIN_SCALE="$scale" HOME="$home" XDG_CONFIG_HOME="$home/config" \
    XDG_DATA_HOME="$home/data" XDG_RUNTIME_DIR="$home/run" TALVORIN_PROCESS_SCOPE="$home" \
    "$work/program/talvorin-installer" >/dev/null 2>&1 &
  program=$!
  pids+=("$program")
  sleep 3  # the window shows; without a window manager the keys go where the pointer is
  press_return
  installed=""
  for _ in $(seq 1200); do
    installed=$(find "$home" -name set.ini -print -quit 2>/dev/null)
    [ -n "$installed" ] && break
    kill -0 "$program" 2>/dev/null || break
    sleep 0.1
  done
  [ -n "$installed" ] || { echo "scale $scale: nothing was installed"; exit 1; }
  sleep 2  # the finish page is drawn
  peak[$scale]=$(awk '/^VmHWM:/{print $2}' "/proc/$program/status")
  kill "$program" 2>/dev/null || true
  wait "$program" 2>/dev/null || true
  # The demo product the installation started, if it still runs.
  for pid in $(pgrep -f "$home" || true); do kill "$pid" 2>/dev/null || true; done
done

echo "installer window peak RSS by display scale (${size_mib} MiB package, one Return on the start page)"
for scale in 1 1.5 2; do
  awk -v s="$scale" -v r="${peak[$scale]}" -v base="${peak[1]}" \
    'BEGIN{printf "  scale %-4s peak RSS %6.1f MB  (%.2f of scale 1)\n", s, r*1024/1e6, r/base}'
done
awk -v r="${peak[2]}" 'BEGIN{mb=r*1024/1e6; printf "  at 200 %%: %.1f MB (goal at most 40 MB): %s\n", mb, (mb<=40?"met":"MISSED")}'
