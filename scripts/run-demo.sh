#!/usr/bin/env bash
# The installer's main job: install Talvorin from the project's own demo
# package server, then show the funnel events that reached the analytics
# collector. Builds what is missing first (a second run only rebuilds what
# changed).
#
# Everything stays in build/demo-run: the installation folder, the
# installer's records and its analytics state (XDG_CONFIG_HOME and
# XDG_DATA_HOME point there), so the demo never touches your own folders.
# With a display the installer shows its window; without one, or when this
# build has no window to show, it installs unattended (-silent=true) and
# prints its progress. Arguments go to the installer.
#
# TALVORIN_DEMO_BUILD=<build folder> uses a build you already have (only the
# four programs are brought up to date there) instead of build/demo.
#
# --nginx (first argument): the package comes from nginx instead, as a
# release does: tools/publish publishes the demo package for every route to
# build/demo-run/site and serves it with a private nginx on loopback; the
# installer's address is the entry address with ${ROUTE} in it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
nginx_mode=false
if [ "${1:-}" = "--nginx" ]; then
  nginx_mode=true
  shift
fi
build="${TALVORIN_DEMO_BUILD:-$root/build/demo}"
run="$root/build/demo-run"

bash "$root/scripts/setup-debian.sh"
if [ -z "${TALVORIN_DEMO_BUILD:-}" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALVORIN_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j "$(nproc)" --target talvorin-installer talvorin-package-server \
  talvorin-collector talvorin-demo-package

rm -rf "$run"
mkdir -p "$run/program" "$run/config" "$run/data" "$run/Programs"
cp "$build/bin/talvorin-installer" "$run/program/"

# The two peers on loopback, stopped when this script ends. Each prints its
# ports line once it listens.
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true' EXIT
publish="$root/tools/publish/publish.py"
if $nginx_mode; then
  for route in download_silent download_silent_64 download_silent_xp; do
    python3 "$publish" publish --site "$run/site" --product 456 --route "$route" \
      --name TalvorinSetup-1.7.9.exe "$build/bin/talvorin-demo-package" >/dev/null
  done
  python3 "$publish" list --site "$run/site"
  python3 "$publish" preview --site "$run/site" --access-log "$run/nginx-access.log" \
    >"$run/package-server.ports" 2>"$run/nginx-preview.err" &
else
  "$build/bin/talvorin-package-server" --cert-dir "$build/package-server-certs" \
    --serve-dir "$build/bin" >"$run/package-server.ports" 2>/dev/null &
fi
pids+=($!)
"$build/bin/talvorin-collector" --cert-dir "$build/collector-certs" \
  >"$run/collector.ports" 2>/dev/null &
pids+=($!)
ports_of() {
  for _ in $(seq 600); do
    if [ -s "$1" ]; then head -n 1 "$1"; return 0; fi
    sleep 0.1
  done
  echo "$2 did not start" >&2
  exit 1
}
if $nginx_mode; then
  server_ports=$(ports_of "$run/package-server.ports" "nginx (see $run/nginx-preview.err)")
else
  server_ports=$(ports_of "$run/package-server.ports" "the package server")
fi
collector_ports=$(ports_of "$run/collector.ports" "the collector")
http_port() { sed -n 's/.*http=\([0-9]*\).*/\1/p' <<<"$1"; }
server="http://127.0.0.1:$(http_port "$server_ports")"
collector_base="http://127.0.0.1:$(http_port "$collector_ports")"
id="demo-$(date +%s)"

# The settings file beside the installer points it at the two peers.
if $nginx_mode; then
  download_url="$server/\${ROUTE}/software/456"
else
  download_url="$server/s/$id;file=talvorin-demo-package/software/456"
fi
cat >"$run/program/ZorvanInstallerConfig.ini" <<INI
[Install]
DownloadUrl=$download_url
AnalyticsServerUrl=$collector_base/c/$id/collect
IsEnableAppAnalytics=true
INI
if $nginx_mode; then
  echo "nginx (private, serving $run/site/www): $server"
fi
echo "package server: $server   collector: $collector_base   settings: $run/program/ZorvanInstallerConfig.ini"

export XDG_CONFIG_HOME="$run/config" XDG_DATA_HOME="$run/data"
installer="$run/program/talvorin-installer"
status=0
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  "$installer" "$@" || status=$?
fi
# No display, or no window in this build (exit status 3): unattended.
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || [ $status -eq 3 ]; then
  status=0
  "$installer" -silent=true "-installdir=$run/Programs" "$@" || status=$?
fi

echo
echo "installer exit status: $status"
if [ -d "$run/Programs/Talvorin" ]; then
  echo "installed into $run/Programs/Talvorin:"
  ls -l "$run/Programs/Talvorin"
fi
if $nginx_mode; then
  echo
  echo "requests nginx served:"
  sed 's/^/  /' "$run/nginx-access.log" 2>/dev/null || true
fi
echo
echo "funnel events the collector received, in order:"
curl -fsS "$collector_base/_records/$id" | grep -o '"zv_\(task_\)\{0,1\}name":"[^"]*"' |
  sed 's/.*:"\(.*\)"/  \1/' || echo "  (none)"
exit $status
