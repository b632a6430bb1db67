#!/usr/bin/env bash
# The whole unattended installation of a 256 MiB package against the download
# alone, both from the same package server on loopback in the same run:
#
#   bench/installer_bench.sh [size-in-MiB] [rounds]      (default 256 and 3)
#
# The package is the demo setup program with pseudo-random bytes appended
# (it still runs). "ours" is talvorin-installer -silent=true from start to
# exit: resolving the address, the download, the digest, running the package
# and writing the records. The peer is `curl -L -o` of the same address. Best
# wall time of the rounds; peak RSS is GNU time's maximum resident set.
# Goals: peak RSS at most 40 MB.
#
# Then the same package through the program's real window (installer_window_bench):
# on a private Xvfb, one click on "立即安装" by XTest, start to the finish page
# against `curl -L -o` again, the peak RSS and the program's CPU on each page.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
size_mib=${1:-256}
rounds=${2:-3}
build="$root/build/bench"
bash "$root/scripts/setup-debian.sh" >/dev/null
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTALVORIN_TESTS=OFF \
  -DTALVORIN_BENCH=ON >/dev/null
cmake --build "$build" -j "$(nproc)" --target talvorin-installer talvorin-package-server \
  talvorin-demo-package installer_window_bench >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/talvorin-installer-bench.XXXXXX")
server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/packages" "$work/program"
package="talvorin-demo-package-${size_mib}"
cp "$build/bin/talvorin-demo-package" "$work/packages/$package"
head -c "$((size_mib * 1048576))" /dev/urandom >>"$work/packages/$package"
cp "$build/bin/talvorin-installer" "$work/program/"

"$build/bin/talvorin-package-server" --cert-dir "$work/certs" --serve-dir "$work/packages" \
  >"$work/ports" 2>/dev/null &
server_pid=$!
for _ in $(seq 600); do [ -s "$work/ports" ] && break; sleep 0.1; done
port=$(sed -n 's/.*http=\([0-9]*\).*/\1/p' "$work/ports")
[ -n "$port" ] || { echo "the package server did not start"; exit 1; }
address() { echo "http://127.0.0.1:$port/s/$1;file=$package/software/456"; }
# The server digests a file on its first request; neither client pays for that.
curl -sSfIL -o /dev/null "$(address warm-up)"

# measure <label> <command...>: prints "<wall seconds> <peak RSS KiB>".
measure() {
  /usr/bin/time -f "%e %M" -o "$work/time" "${@:2}" >"$work/$1.out" 2>&1 || {
    echo "$1 failed:"; tail -n 5 "$work/$1.out"; exit 1; }
  cat "$work/time"
}

best_curl=""; best_ours=""; rss_ours=0; rss_curl=0
for round in $(seq "$rounds"); do
  rm -f "$work/curl.bin"
  read -r wall rss < <(measure curl curl -sSfL -o "$work/curl.bin" "$(address "curl-$round")")
  if [ -z "$best_curl" ] || awk "BEGIN{exit !($wall < $best_curl)}"; then best_curl=$wall; fi
  [ "$rss" -gt "$rss_curl" ] && rss_curl=$rss

  # A fresh machine each round: no records, no earlier installation.
  home="$work/round-$round"
  mkdir -p "$home/config" "$home/data" "$home/Programs"
  printf '[Install]\nDownloadUrl=%s\nIsEnableAppAnalytics=false\n' "$(address "ours-$round")" \
    >"$work/program/ZorvanInstallerConfig.ini"
  read -r wall rss < <(XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" \
    measure ours "$work/program/talvorin-installer" -silent=true "-installdir=$home/Programs")
  if [ -z "$best_ours" ] || awk "BEGIN{exit !($wall < $best_ours)}"; then best_ours=$wall; fi
  [ "$rss" -gt "$rss_ours" ] && rss_ours=$rss
  [ -f "$home/Programs/Talvorin/talvorin..exe" ] || { echo "round $round installed nothing"; exit 1; }
  rm -rf "$home"
done

echo "installer benchmark: ${size_mib} MiB package from the package server on 127.0.0.1, best of $rounds"
printf '  %-44s %8s s  peak RSS %6.1f MiB\n' "curl -L -o (the download alone)" "$best_curl" \
  "$(awk "BEGIN{print $rss_curl/1024}")"
printf '  %-44s %8s s  peak RSS %6.1f MiB\n' "ours, unattended start to installed" "$best_ours" \
  "$(awk "BEGIN{print $rss_ours/1024}")"
awk -v o="$best_ours" -v c="$best_curl" 'BEGIN{printf "  whole installation / download alone: %.2f\n", o/c}'
awk -v r="$rss_ours" 'BEGIN{mb=r*1024/1e6; printf "  peak RSS %.1f MB (goal at most 40 MB): %s\n", mb, (mb<=40?"met":"MISSED")}'
echo
"$build/bin/installer_window_bench" "$work/program/talvorin-installer" "http://127.0.0.1:$port" "$package" "$rounds"
