#!/usr/bin/env bash
# Builds the benchmarks optimised and without sanitizers, then runs them.
#   scripts/bench.sh            every benchmark with its default sizes
#   scripts/bench.sh 256 5      arguments go to each benchmark (MiB, rounds)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup-debian.sh"
cmake -S "$root" -B "$root/build/bench" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DTALVORIN_TESTS=OFF -DTALVORIN_BENCH=ON >/dev/null
cmake --build "$root/build/bench" -j "$(nproc)"
"$root/build/bench/bin/file_md5_bench" "$@"
"$root/build/bench/bin/skin_archive_bench" "$@"
"$root/build/bench/bin/download_bench" "$@"
# The verified download with a SHA-256 final address against curl and sha256sum.
"$root/build/bench/bin/download_bench" sha256 "$@"
"$root/build/bench/bin/analytics_bench"
"$root/build/bench/bin/ui_render_bench" "$@"
"$root/build/bench/bin/ui_window_bench" "$@"
"$root/bench/installer_bench.sh" "$@"
TALVORIN_BENCH_BUILD="$root/build/bench" "$root/bench/resume_bench.sh" "$@"
# The shipped Windows exe's stripped size against a bare program with the same
# static runtime (cross-builds the Windows libraries on first use).
"$root/bench/windows_size_bench.sh"
