#!/usr/bin/env bash
# Fuzzes every parser of the installer with libFuzzer: builds the targets
# (clang, AddressSanitizer and UndefinedBehaviorSanitizer, build/fuzz), runs
# each for the given seconds (default 60) from its committed corpus in
# tests/fuzz/corpus with its dictionary from tests/fuzz/dict, and merges
# what adds coverage back into the corpus (a minimal set beside the named
# seeds). Prints executions, coverage (edges) and findings per target; a
# finding's input is kept in build/fuzz/findings.
#
#   bash scripts/fuzz.sh [seconds-per-target] [target...]
#
# Exit status: 0 only when no target found anything.
set -uo pipefail

seconds=${1:-60}
shift || true
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/fuzz"
corpus_root="$root/tests/fuzz/corpus"
dict_root="$root/tests/fuzz/dict"

export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER-ccache}
export CMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER-ccache}

# Several runs of this script may share the build (one per group of targets).
mkdir -p "$build"
exec 9>"$build/.build-lock"
flock 9
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  "-DCMAKE_C_FLAGS_RELEASE=-O1 -gline-tables-only" "-DCMAKE_CXX_FLAGS_RELEASE=-O1 -gline-tables-only" \
  -DTALVORIN_FUZZ=ON >/dev/null || exit 1
cmake --build "$build" -j "$(nproc)" || exit 1
flock -u 9

if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for folder in "$corpus_root"/*/; do targets+=("$(basename "$folder")"); done
fi

mkdir -p "$build/findings" "$build/logs"
status=0
total=0
printf '%-20s %12s %8s %9s\n' target executions edges findings
for target in "${targets[@]}"; do
  program="$build/bin/${target}_fuzzer"
  corpus="$corpus_root/$target"
  found="$build/found/$target"
  log="$build/logs/$target.log"
  rm -rf "$found" && mkdir -p "$found" "$corpus"
  dict=()
  [ -f "$dict_root/$target.dict" ] && dict=("-dict=$dict_root/$target.dict")
  rm -f "$build/findings/$target-"*
  # The machine is shared: the fuzzers yield to builds and tests.
  nice -n 10 "$program" "${dict[@]}" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$build/findings/$target-" "$found" "$corpus" >"$log" 2>&1
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  edges=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  # Crashes, sanitizer reports, leaks, time-outs and memory exhaustion (a
  # "slow-unit" file only notes a slow input).
  findings=$(find "$build/findings" -regextype posix-extended \
    -regex ".*/$target-(crash|leak|timeout|oom)-.*" | wc -l)
  [ "$findings" -gt 0 ] && status=1
  total=$((total + ${runs:-0}))
  printf '%-20s %12s %8s %9s\n' "$target" "${runs:-?}" "${edges:-?}" "$findings"

  # Merge: the smallest set of inputs that keeps all coverage replaces the
  # inputs earlier merges kept; seeds named by hand stay as they are.
  merged="$build/merged/$target"
  rm -rf "$merged" && mkdir -p "$merged"
  nice -n 10 "$program" -merge=1 -timeout=30 -rss_limit_mb=2048 "$merged" "$corpus" "$found" \
    >>"$log" 2>&1 || { echo "  merge failed, see $log"; status=1; continue; }
  find "$corpus" -maxdepth 1 -type f -regextype posix-extended -regex '.*/[0-9a-f]{40}' -delete
  # libFuzzer names a merged input by its SHA-1: a seed's own copy is skipped.
  seeds=$(find "$corpus" -maxdepth 1 -type f -exec sha1sum {} + | cut -d' ' -f1)
  for input in "$merged"/*; do
    [ -e "$input" ] || continue
    name=$(basename "$input")
    grep -qx "$name" <<<"$seeds" || cp "$input" "$corpus/$name"
  done
done
echo "total executions: $total"
exit $status
