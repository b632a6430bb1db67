#!/usr/bin/env bash
# Where a running installer's memory goes over time: samples every process
# named talvorin-installer every 50 ms and prints one line per sample with
# its resident set split by /proc/<pid>/smaps_rollup and its thread count,
# plus, for the sample with the largest resident set, the full smaps summary
# grouped by mapping (heap, anonymous, stacks, each file).
#
#   bench/rss_trace.sh [seconds] [peak file]  >trace.txt &   then run bench/installer_bench.sh
#
# Lines: "<ms since start> pid=<pid> rss=<KiB> anon=<KiB> file=<KiB> threads=<n>".
set -uo pipefail
seconds=${1:-600}
peak_file=${2:-${TMPDIR:-/tmp}/rss_trace.peak}
peak=0
end=$((SECONDS + seconds))
start_ns=$(date +%s%N)
while [ "$SECONDS" -lt "$end" ]; do
  for pid in $(pgrep -x talvorin-instal); do
    roll=/proc/$pid/smaps_rollup
    [ -r "$roll" ] || continue
    read -r rss anon file < <(awk '/^Rss:/{r=$2} /^Anonymous:/{a=$2} END{print r, a, r-a}' "$roll" 2>/dev/null) || continue
    [ -n "${rss:-}" ] || continue
    threads=$(awk '/^Threads:/{print $2}' /proc/$pid/status 2>/dev/null)
    now=$((($(date +%s%N) - start_ns) / 1000000))
    echo "$now pid=$pid rss=$rss anon=$anon file=$file threads=$threads"
    if [ "$rss" -gt "$peak" ]; then
      peak=$rss
      # Rss per mapping name: [heap], [stack], anonymous (unnamed) and files.
      awk '/^[0-9a-f]+-[0-9a-f]+ /{name=($6==""?"[anonymous]":$6)} /^Rss:/{s[name]+=$2}
           END{for (n in s) if (s[n]>=256) printf "%8d KiB  %s\n", s[n], n}' /proc/$pid/smaps 2>/dev/null |
        sort -rn | sed "1i rss=$rss anon=$anon file=$file" >"$peak_file" 2>/dev/null
    fi
  done
  sleep 0.05
done
echo "largest sample: $peak KiB; its mappings (>= 256 KiB) are in $peak_file"
