#!/usr/bin/env bash
# The installer's main job: install Talvorin from the project's own demo
# package server. Builds what is missing first (a second run only rebuilds
# what changed).
#
# Today the program reads its settings and command line and stops: the demo
# package server, the demo package and the installer window are still being
# built, and this script grows with them. Arguments go to the installer.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup-debian.sh"
cmake -S "$root" -B "$root/build/demo" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALVORIN_TESTS=OFF >/dev/null
cmake --build "$root/build/demo" -j "$(nproc)" --target talvorin-installer
export TALVORIN_DEBUG_LOG=${TALVORIN_DEBUG_LOG:-stderr}
exec "$root/build/demo/bin/talvorin-installer" "$@"
