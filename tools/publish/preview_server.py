"""A private nginx on loopback that serves a site exactly as its rules say,
to check a release with the installer before anyone else sees it.

It runs in the foreground with a prefix folder of its own (configuration,
pid file, logs and temporary paths), prints one line "http=PORT" (and
" https=PORT") once it answers, and ends, with nginx, on SIGTERM, SIGINT or
the end of its standard input when asked. SIGHUP reloads the rules after
another publish.
"""

import ctypes
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

from redirect_rules import NGINX_FILE

START_LIMIT_SECONDS = 60
BIND_ATTEMPTS = 5
_PR_SET_PDEATHSIG = 1


class PreviewError(Exception):
    pass


def find_nginx(given=None):
    if given:
        return given
    found = shutil.which("nginx")
    for candidate in (found, "/usr/sbin/nginx", "/sbin/nginx"):
        if candidate and os.access(candidate, os.X_OK):
            return candidate
    raise PreviewError("nginx is not installed (Debian package nginx)")


def _free_port(address):
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as probe:
        probe.bind((address, 0))
        return probe.getsockname()[1]


def configuration(site, prefix, address, http_port, https=None, access_log=None):
    """The whole nginx.conf of the preview. `https` is (port, certificate, key)."""
    tls = ""
    if https:
        port, certificate, key = https
        tls = (f"    listen {address}:{port} ssl;\n"
               f"    ssl_certificate {certificate};\n"
               f"    ssl_certificate_key {key};\n")
    user = ("user root;  # the site may sit in folders only root can enter"
            if os.geteuid() == 0 else "# the workers run as the user who started the preview")
    temp = "\n".join(f"  {kind}_temp_path {prefix}/{kind};"
                     for kind in ("client_body", "proxy", "fastcgi", "uwsgi", "scgi"))
    return f"""{user}
worker_processes 1;
daemon off;
pid {prefix}/nginx.pid;
error_log {prefix}/error.log warn;

events {{
  worker_connections 64;
}}

http {{
  default_type application/octet-stream;
  types {{}}
  access_log {access_log or prefix + '/access.log'};
  sendfile on;
{temp}

  server {{
    listen {address}:{http_port};
{tls}    server_name localhost;
    root {site.www};
    include {os.path.join(site.folder, NGINX_FILE)};
  }}
}}
"""


def _die_with_parent():
    # nginx must not outlive a preview that is killed outright.
    try:
        ctypes.CDLL(None, use_errno=True).prctl(_PR_SET_PDEATHSIG, signal.SIGTERM)
    except (OSError, AttributeError):
        pass


def _answers(address, port):
    try:
        with socket.create_connection((address, port), timeout=1):
            return True
    except OSError:
        return False


def _read(path):
    try:
        with open(path, encoding="utf-8", errors="replace") as stream:
            return stream.read().strip()
    except OSError:
        return ""


def _start(nginx, site, prefix, address, http_port, https, access_log):
    """Starts nginx; answers (process, http port, https port) once both
    ports answer, or raises PreviewError with nginx's own words."""
    ports = (http_port or _free_port(address), (https[0] or _free_port(address)) if https else None)
    tls = (ports[1], https[1], https[2]) if https else None
    config = os.path.join(prefix, "nginx.conf")
    with open(config, "w", encoding="utf-8") as stream:
        stream.write(configuration(site, prefix, address, ports[0], tls, access_log))
    error_log = os.path.join(prefix, "error.log")
    process = subprocess.Popen(
        [nginx, "-p", prefix + "/", "-e", error_log, "-c", config],
        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.STDOUT,
        preexec_fn=_die_with_parent)
    deadline = time.monotonic() + START_LIMIT_SECONDS
    while time.monotonic() < deadline:
        if process.poll() is not None:
            raise PreviewError(f"nginx ended at start (status {process.returncode}): {_read(error_log)}")
        if all(_answers(address, p) for p in ports if p):
            return process, ports
        time.sleep(0.1)
    process.kill()
    process.wait()
    raise PreviewError(f"nginx did not answer within {START_LIMIT_SECONDS} s")


def run(site, address="127.0.0.1", http_port=0, https=None, access_log=None, nginx=None,
        stop_at_stdin_eof=False):
    """Serves until told to stop; answers the exit status."""
    program = find_nginx(nginx)
    if not os.path.isfile(os.path.join(site.folder, NGINX_FILE)):
        raise PreviewError(f"{site.folder} has no {NGINX_FILE}: publish a release first")
    if https:
        for path in https[1:]:
            if not os.path.isfile(path):
                raise PreviewError(f"{path} is not a file")
    prefix = tempfile.mkdtemp(prefix="talvorin-preview-")
    try:
        for kind in ("client_body", "proxy", "fastcgi", "uwsgi", "scgi"):
            os.mkdir(os.path.join(prefix, kind))
        chosen = http_port == 0 or (https is not None and https[0] == 0)
        for attempt in range(BIND_ATTEMPTS):
            try:
                process, ports = _start(program, site, prefix, address, http_port, https, access_log)
                break
            except PreviewError as error:
                # Another program may take a free port between our look and
                # nginx's bind; only then is a second try worth it.
                if not chosen or "in use" not in str(error) or attempt + 1 == BIND_ATTEMPTS:
                    raise
        stop = threading.Event()

        def on_signal(number, _frame):
            if number == signal.SIGHUP:
                process.send_signal(signal.SIGHUP)
            else:
                stop.set()

        for number in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
            signal.signal(number, on_signal)
        if stop_at_stdin_eof:
            threading.Thread(target=lambda: (sys.stdin.read(), stop.set()), daemon=True).start()
        line = f"http={ports[0]}" + (f" https={ports[1]}" if ports[1] else "")
        print(line, flush=True)
        while not stop.is_set() and process.poll() is None:
            stop.wait(0.2)
        if process.poll() is not None:
            print(f"nginx ended by itself (status {process.returncode}): {_read(os.path.join(prefix, 'error.log'))}",
                  file=sys.stderr)
            return 1
        process.terminate()
        try:
            process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
        return 0
    finally:
        shutil.rmtree(prefix, ignore_errors=True)
