#!/usr/bin/env bash
# A download that goes on in the next run, and a download through a proxy,
# both against named peers in the same run, nginx on loopback:
#
#   bench/resume_bench.sh [size-in-MiB] [rounds]      (default 256 and 3)
#
# 1. Resume. The package (the demo setup program with pseudo-random bytes
#    appended: it still runs) comes from an nginx port limited to 100 MiB/s
#    per connection; the installer (one stream) is killed with SIGKILL once
#    its side file holds half of the package, then run again against an
#    unlimited port. The peer is aria2c treated the same way, ended by
#    SIGINT at half (it writes its control file then), then `aria2c -c`
#    again. The second runs' wall times are compared (ours is the whole
#    unattended run: it also hashes the kept half from disk, runs the
#    package and writes the records), and nginx's access log of the
#    unlimited port says how many package bytes our second run fetched.
#    Goals: fetched at most 0.55 of the package; wall at most 1.1x aria2c's.
# 2. Proxy. tinyproxy on loopback in front of the unlimited port: the
#    unattended installation through it (one stream, ProxyUrl) against
#    `curl -x` of the same address through the same proxy. Goal: at most 1.1x.
#
# Best wall time of the rounds. TALVORIN_BENCH_BUILD names a build folder
# whose bin/ already holds a Release talvorin-installer and
# talvorin-demo-package; otherwise build/bench is built.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
size_mib=${1:-256}
rounds=${2:-3}
build=${TALVORIN_BENCH_BUILD:-"$root/build/bench"}
if [ -z "${TALVORIN_BENCH_BUILD:-}" ]; then
  bash "$root/scripts/setup-debian.sh" >/dev/null
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTALVORIN_TESTS=OFF \
    -DTALVORIN_BENCH=ON >/dev/null
  cmake --build "$build" -j "$(nproc)" --target talvorin-installer talvorin-demo-package >/dev/null
fi
for tool in nginx aria2c tinyproxy curl md5sum; do
  command -v "$tool" >/dev/null || PATH="$PATH:/usr/sbin" command -v "$tool" >/dev/null ||
    { echo "needs $tool (Debian packages nginx aria2 tinyproxy curl coreutils)"; exit 1; }
done
nginx_bin=$(PATH="$PATH:/usr/sbin" command -v nginx)

work=$(mktemp -d "${TMPDIR:-/tmp}/talvorin-resume-bench.XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
slow_port=$(free_port); fast_port=$(free_port); proxy_port=$(free_port)

name="Talvorin_Setup.exe"
mkdir -p "$work/nginx/www" "$work/program"
cp "$build/bin/talvorin-demo-package" "$work/package"
head -c "$((size_mib * 1048576))" /dev/urandom >>"$work/package"
md5=$(md5sum "$work/package" | cut -d' ' -f1)
size=$(stat -c %s "$work/package")
mkdir -p "$work/nginx/www/$md5"
ln "$work/package" "$work/nginx/www/$md5/$name"
cp "$build/bin/talvorin-installer" "$work/program/"

user_line=""; [ "$(id -u)" = 0 ] && user_line="user root;"
cat >"$work/nginx/nginx.conf" <<EOF
$user_line
worker_processes 2;
daemon off;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log warn;
events { worker_connections 64; }
http {
  default_type application/octet-stream;
  types {}
  sendfile on;
  log_format bytes '\$request_method \$status \$body_bytes_sent';
  client_body_temp_path $work/nginx/cb; proxy_temp_path $work/nginx/px;
  fastcgi_temp_path $work/nginx/fc; uwsgi_temp_path $work/nginx/uw; scgi_temp_path $work/nginx/sc;
  server {
    listen 127.0.0.1:$slow_port;
    root $work/nginx/www;
    limit_rate 100m;
    access_log off;
    location = /software/456 { return 302 /$md5/$name; }
  }
  server {
    listen 127.0.0.1:$fast_port;
    root $work/nginx/www;
    access_log $work/nginx/fast.log bytes;
    location = /software/456 { return 302 /$md5/$name; }
  }
}
EOF
"$nginx_bin" -p "$work/nginx" -c "$work/nginx/nginx.conf" 2>"$work/nginx/start.err" &
pids+=($!)
cat >"$work/tinyproxy.conf" <<EOF
Port $proxy_port
Listen 127.0.0.1
Timeout 600
MaxClients 20
LogFile "$work/tinyproxy.log"
LogLevel Info
Allow 127.0.0.1
EOF
tinyproxy -d -c "$work/tinyproxy.conf" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do
  curl -sf -o /dev/null -I "http://127.0.0.1:$fast_port/software/456" &&
    curl -sf -o /dev/null -I -x "http://127.0.0.1:$proxy_port" "http://127.0.0.1:$fast_port/software/456" && break
  sleep 0.1
done

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN{printf "%.3f", b-a}'; }
best() { if [ -z "$1" ] || awk "BEGIN{exit !($2 < $1)}"; then echo "$2"; else echo "$1"; fi; }
fast_bytes() { awk '$1=="GET"{s+=$3} END{printf "%.0f\n", s}' "$work/nginx/fast.log" 2>/dev/null || echo 0; }

# settings <address> [more lines]: the settings file beside the program.
settings() {
  printf '[Install]\nDownloadUrl=%s\nIsEnableAppAnalytics=false\nDownloadType=1\n%s' "$1" "${2:-}" \
    >"$work/program/ZorvanInstallerConfig.ini"
}
# ours <home>: the unattended installation; call it in a subshell or with &.
ours() {
  local home=$1
  # exec: run in the background, the job's pid is the installer's own.
  XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_RUNTIME_DIR="$home/run" \
    exec "$work/program/talvorin-installer" -silent=true "-installdir=$home/Programs" "-log=$home/run.log" >"$home/out" 2>&1
}

best_ours=""; best_aria=""; worst_fraction=0
best_proxy_ours=""; best_proxy_curl=""
for round in $(seq "$rounds"); do
  home="$work/round-$round"
  mkdir -p "$home/config" "$home/data" "$home/run" "$home/Programs"
  part="$home/Programs/Talvorin/__Package_Talvorin.exe.part"

  # Ours: killed at half, then the second run.
  settings "http://127.0.0.1:$slow_port/software/456"
  ours "$home" & pid=$!
  until [ -f "$part" ] && [ "$(stat -c %s "$part")" -ge $((size / 2)) ]; do
    kill -0 "$pid" 2>/dev/null || { echo "round $round: the first run ended before half"; exit 1; }
    sleep 0.02
  done
  kill -KILL "$pid"; wait "$pid" 2>/dev/null || true
  kept=$(stat -c %s "$part")
  settings "http://127.0.0.1:$fast_port/software/456"
  before=$(fast_bytes)
  t0=$(now); (ours "$home") || { echo "round $round: the second run failed ($?):"; tail -n 5 "$home/out"; grep -i "fail\|error" "$home/run.log" | tail -n 15; exit 1; }; t1=$(now)
  fetched=$(( $(fast_bytes) - before ))
  [ -f "$home/Programs/Talvorin/talvorin..exe" ] || { echo "round $round installed nothing"; exit 1; }
  best_ours=$(best "$best_ours" "$(elapsed "$t0" "$t1")")
  fraction=$(awk -v f="$fetched" -v s="$size" 'BEGIN{printf "%.4f", f/s}')
  worst_fraction=$(awk -v a="$worst_fraction" -v b="$fraction" 'BEGIN{print (b>a?b:a)}')
  echo "  round $round: ours kept $kept bytes at the kill, its second run fetched $fetched of $size"

  # aria2c: ended at half (it saves its control file), then resumed from it.
  mkdir -p "$home/aria"
  aria2c -q -x1 -s1 --file-allocation=none --auto-save-interval=1 -d "$home/aria" -o pkg \
    "http://127.0.0.1:$slow_port/software/456" & pid=$!
  until [ -f "$home/aria/pkg" ] && [ "$(stat -c %s "$home/aria/pkg")" -ge $((size / 2)) ]; do
    kill -0 "$pid" 2>/dev/null || { echo "round $round: aria2c ended before half"; exit 1; }
    sleep 0.02
  done
  kill -INT "$pid"; wait "$pid" 2>/dev/null || true
  [ -f "$home/aria/pkg.aria2" ] || { echo "round $round: aria2c left no control file"; exit 1; }
  t0=$(now)
  aria2c -q -c -x1 -s1 --file-allocation=none -d "$home/aria" -o pkg "http://127.0.0.1:$fast_port/software/456"
  t1=$(now)
  [ "$(md5sum "$home/aria/pkg" | cut -d' ' -f1)" = "$md5" ] || { echo "aria2c's file is wrong"; exit 1; }
  best_aria=$(best "$best_aria" "$(elapsed "$t0" "$t1")")

  # Through the proxy: a fresh installation against curl -x.
  rm -rf "$home/Programs" "$home/config" "$home/data"; mkdir -p "$home/config" "$home/data" "$home/Programs"
  settings "http://127.0.0.1:$fast_port/software/456" "ProxyUrl=http://127.0.0.1:$proxy_port
"
  t0=$(now); (ours "$home") || { echo "round $round: the proxied run failed"; tail -n 5 "$home/out"; grep -i "fail\|error" "$home/run.log" | tail -n 15; exit 1; }; t1=$(now)
  best_proxy_ours=$(best "$best_proxy_ours" "$(elapsed "$t0" "$t1")")
  t0=$(now)
  curl -sSfL -x "http://127.0.0.1:$proxy_port" -o "$home/curl.bin" "http://127.0.0.1:$fast_port/software/456"
  t1=$(now)
  best_proxy_curl=$(best "$best_proxy_curl" "$(elapsed "$t0" "$t1")")
  rm -rf "$home"
done
proxied=$(grep -c "CONNECT\|GET http://127.0.0.1:$fast_port/$md5" "$work/tinyproxy.log" || true)

echo "resume benchmark: ${size_mib} MiB package, nginx on 127.0.0.1, best of $rounds"
printf '  %-52s %8s s\n' "ours, second run (unattended, to installed)" "$best_ours" \
  "aria2c -c from its control file" "$best_aria"
awk -v o="$best_ours" -v a="$best_aria" \
  'BEGIN{r=o/a; printf "  second run / aria2c: %.2f (goal at most 1.1): %s\n", r, (r<=1.1?"met":"MISSED")}'
awk -v f="$worst_fraction" \
  'BEGIN{printf "  fetched by the second run / package (worst round): %.3f (goal at most 0.55): %s\n", f, (f<=0.55?"met":"MISSED")}'
echo "proxy benchmark: the same package through tinyproxy on 127.0.0.1 ($proxied of its log lines name the package)"
printf '  %-52s %8s s\n' "ours, one stream (unattended, to installed)" "$best_proxy_ours" \
  "curl -x" "$best_proxy_curl"
awk -v o="$best_proxy_ours" -v c="$best_proxy_curl" \
  'BEGIN{r=o/c; printf "  ours / curl -x: %.2f (goal at most 1.1): %s\n", r, (r<=1.1?"met":"MISSED")}'
