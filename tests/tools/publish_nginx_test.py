#!/usr/bin/env python3
"""A release as its users meet it: the publishing tool lays out a site, a
private nginx on loopback serves it (the tool's preview, with the tool's
rules), and the real installer, unattended, installs the real demo package
from it over HTTP and over HTTPS with a private CA named by "CaBundle".

TALVORIN_PROGRAMS names the build's program folder (talvorin-installer,
talvorin-demo-package, talvorin-test-certificates); TALVORIN_PUBLISH the tool.
"""

import http.client
import os
import queue
import signal
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
TOOL = os.environ.get("TALVORIN_PUBLISH",
                      os.path.join(HERE, "..", "..", "tools", "publish", "publish.py"))
PROGRAMS = os.environ.get("TALVORIN_PROGRAMS", "")
PRODUCT = "456"
INSTALLED = 0
DOWNLOAD_FAILED = 15
RUN_LIMIT_SECONDS = 300


def run_tool(*args):
    result = subprocess.run([sys.executable, TOOL, *args], capture_output=True, text=True, timeout=120)
    if result.returncode != 0:
        raise AssertionError(f"publish {' '.join(args)} failed:\n{result.stderr}")
    return result.stdout


class PublishedSiteTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.temp = tempfile.mkdtemp(prefix="talvorin-nginx-test-")
        try:
            cls._prepare()
        except BaseException:
            cls._stop()
            raise

    @classmethod
    def _prepare(cls):
        cls.installer = os.path.join(PROGRAMS, "talvorin-installer")
        demo = os.path.join(PROGRAMS, "talvorin-demo-package")
        certificates = subprocess.run(
            [os.path.join(PROGRAMS, "talvorin-test-certificates"), os.path.join(cls.temp, "certs")],
            capture_output=True, text=True, timeout=120, check=True).stdout.split()
        cls.ca, certificate, key = certificates

        # The installer's own route on this system gets the demo package; the
        # other routes get bytes that are no package at all, so that a wrong
        # choice cannot install anything.
        cls.site = os.path.join(cls.temp, "site")
        run_tool("publish", "--site", cls.site, "--product", PRODUCT, "--route", "download_silent",
                 "--name", "TalvorinSetup-1.7.9.exe", demo)
        other = os.path.join(cls.temp, "other.exe")
        with open(other, "wb") as stream:
            stream.write(os.urandom(2 * 1048576))
        for route in ("download_silent_xp", "download_silent_64"):
            run_tool("publish", "--site", cls.site, "--product", PRODUCT, "--route", route, other)

        cls.access_log = os.path.join(cls.temp, "access.log")
        cls.server = subprocess.Popen(
            [sys.executable, TOOL, "preview", "--site", cls.site, "--https-port", "0", "--cert", certificate,
             "--key", key, "--access-log", cls.access_log, "--stop-at-stdin-eof"],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        lines = queue.Queue()
        threading.Thread(target=lambda: lines.put(cls.server.stdout.readline()), daemon=True).start()
        try:
            ports = dict(field.split("=") for field in lines.get(timeout=120).split())
        except (queue.Empty, ValueError):
            cls.server.kill()
            raise AssertionError(f"the preview did not start: {cls.server.stderr.read()}")
        cls.http = f"http://127.0.0.1:{ports['http']}"
        # The test certificate names "localhost".
        cls.https = f"https://localhost:{ports['https']}"

    @classmethod
    def _stop(cls):
        server = getattr(cls, "server", None)
        if server:
            server.stdin.close()
            try:
                server.wait(timeout=60)
            except subprocess.TimeoutExpired:
                server.kill()
                server.wait()
        shutil.rmtree(cls.temp, ignore_errors=True)

    @classmethod
    def tearDownClass(cls):
        cls._stop()

    def requested(self):
        """The request lines nginx logged, oldest first ("GET /path HTTP/1.1")."""
        with open(self.access_log, encoding="utf-8") as stream:
            return [line.split('"')[1] for line in stream if '"' in line]

    def install(self, name, settings):
        """Runs the installer unattended with `settings` beside a copy of it:
        its exit status, what it said and the installation folder."""
        root = os.path.join(self.temp, name)
        program = os.path.join(root, "program")
        os.makedirs(program)
        shutil.copy2(self.installer, program)
        with open(os.path.join(program, "ZorvanInstallerConfig.ini"), "w", encoding="utf-8") as stream:
            stream.write("[Install]\n" + "".join(f"{k}={v}\n" for k, v in settings.items()))
        environment = dict(os.environ)
        # Its lock, records, data and temporary files stay in its own folder;
        # only a product started there counts as running; no network probe.
        for variable in ("XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "HOME", "TMPDIR"):
            environment[variable] = os.path.join(root, variable)
            os.makedirs(environment[variable])
        environment["TALVORIN_PROCESS_SCOPE"] = root
        environment["TALVORIN_NETWORK_VERDICT"] = "0x40"
        folder = os.path.join(root, "Programs")
        result = subprocess.run(
            [os.path.join(program, "talvorin-installer"), "-silent=true", f"-installdir={folder}"],
            stdin=subprocess.DEVNULL, capture_output=True, text=True, env=environment,
            timeout=RUN_LIMIT_SECONDS)
        return result.returncode, result.stderr, os.path.join(folder, "Talvorin")

    def test_the_installer_installs_from_the_published_site_by_the_route_of_its_system(self):
        # Linux reports its kernel release as the version name: never "XP",
        # and this product publishes no 64-bit package, so its route is the
        # plain one.
        self.assertNotIn("XP", os.uname().release)
        route = "download_silent"
        entry = f"/${{ROUTE}}/software/{PRODUCT}"
        cases = [
            # what, settings, exit status
            ("http, one stream", {"DownloadUrl": self.http + entry, "DownloadType": "1"}, INSTALLED),
            ("https trusted through CaBundle, byte ranges",
             {"DownloadUrl": self.https + entry, "DownloadType": "3", "CaBundle": self.ca}, INSTALLED),
            ("https with a CA nobody named", {"DownloadUrl": self.https + entry, "DownloadType": "1"},
             DOWNLOAD_FAILED),
        ]
        with open(os.path.join(self.site, "redirects.txt"), encoding="utf-8") as stream:
            final = dict(line.split()[:2] for line in stream if not line.startswith("#"))
        for index, (what, settings, expected) in enumerate(cases):
            with self.subTest(what):
                settings.update(IsEnableAppAnalytics="false", IsCheckNet="false")
                seen = len(self.requested())
                status, said, installed = self.install(f"run{index}", settings)
                self.assertEqual(status, expected, f"{what}:\n{said}")
                requests = self.requested()[seen:]
                paths = [request.split()[1] for request in requests]
                if expected == INSTALLED:
                    self.assertIn(f"/{route}/software/{PRODUCT}", paths, what)
                    self.assertIn(final[f"/{route}/software/{PRODUCT}"], paths, what)
                    self.assertEqual(os.path.getsize(os.path.join(installed, "talvorin.dat")), 1200000)
                    self.assertTrue(os.path.isfile(os.path.join(installed, "talvorin..exe")))
                    self.assertFalse(os.path.exists(os.path.join(installed, "__Package_Talvorin.exe")))
                else:
                    # The TLS handshake failed before any request reached nginx.
                    self.assertEqual(paths, [], what)
                    self.assertFalse(os.path.exists(os.path.join(installed, "talvorin..exe")))
                self.assertFalse([p for p in paths if "_xp/" in p or "_64/" in p], what)

    def head(self, path):
        """nginx's answer to a header request: status and headers (no redirect followed)."""
        connection = http.client.HTTPConnection(self.http.split("//")[1], timeout=30)
        try:
            connection.request("HEAD", path)
            answer = connection.getresponse()
            return answer.status, dict(answer.getheaders())
        finally:
            connection.close()

    def test_a_release_reaches_its_entry_address_at_the_reload_with_short_and_long_cache_times(self):
        entry = "/early/software/789"
        first, second = (os.path.join(self.temp, name) for name in ("first.exe", "second.exe"))
        for path in (first, second):
            with open(path, "wb") as stream:
                stream.write(os.urandom(1048576))
        self.assertEqual(self.head(entry)[0], 404)
        previous = None
        for package in (first, second):
            said = run_tool("publish", "--site", self.site, "--product", "789", "--route", "early", package)
            final = said.split(f"{entry} -> ")[1].split()[0]
            self.server.send_signal(signal.SIGHUP)
            # nginx takes the new rules when its new worker starts.
            deadline = time.monotonic() + 60
            while self.head(entry)[1].get("Location") == previous and time.monotonic() < deadline:
                time.sleep(0.2)
            status, headers = self.head(entry)
            self.assertEqual((status, headers.get("Location")), (302, final))
            self.assertEqual(headers.get("Cache-Control"), "public, max-age=60")
            status, headers = self.head(final)
            self.assertEqual((status, headers.get("Content-Length")), (200, "1048576"))
            self.assertEqual(headers.get("Cache-Control"), "public, max-age=31536000, immutable")
            previous = final


if __name__ == "__main__":
    unittest.main(verbosity=2)
