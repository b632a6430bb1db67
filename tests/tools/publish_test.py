#!/usr/bin/env python3
"""The publishing tool as its users run it: a child process on a site folder.
Digests are checked against coreutils' md5sum and sha256sum.

TALVORIN_PUBLISH names the tool (default: tools/publish/publish.py of this
source tree).
"""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
TOOL = os.environ.get("TALVORIN_PUBLISH",
                      os.path.join(HERE, "..", "..", "tools", "publish", "publish.py"))
MIB = 1048576


def publish(*args):
    return subprocess.run([sys.executable, TOOL, *args], capture_output=True, text=True, timeout=120)


def coreutils_digest(program, path):
    return subprocess.run([program, path], capture_output=True, text=True, check=True).stdout.split()[0]


class PublishTest(unittest.TestCase):
    def setUp(self):
        self.temp = tempfile.mkdtemp(prefix="talvorin-publish-test-")
        self.addCleanup(shutil.rmtree, self.temp, True)
        self.site = os.path.join(self.temp, "site")

    def package(self, name, size=MIB):
        path = os.path.join(self.temp, name)
        with open(path, "wb") as stream:
            stream.write(os.urandom(size))
        return path

    def run_ok(self, *args):
        result = publish(*args)
        self.assertEqual(result.returncode, 0, result.stderr)
        return result.stdout

    def redirects(self):
        with open(os.path.join(self.site, "redirects.txt"), encoding="utf-8") as stream:
            return [line.split() for line in stream if not line.startswith("#")]

    def snapshot(self):
        """Every file of the site (the lock aside) with its bytes."""
        found = {}
        for folder, _, names in os.walk(self.site):
            for name in names:
                if name != ".lock":
                    path = os.path.join(folder, name)
                    with open(path, "rb") as stream:
                        found[os.path.relpath(path, self.site)] = stream.read()
        return found

    def test_the_package_lies_under_its_digest_and_the_entry_redirects_to_it(self):
        cases = [
            # option, coreutils program, digest length, served name
            ([], "md5sum", 32, "setup.exe"),
            (["--sha256"], "sha256sum", 64, "setup.exe"),
            (["--name", "Talvorin_1.7.9.exe"], "md5sum", 32, "Talvorin_1.7.9.exe"),
        ]
        for seed, (option, program, length, served) in enumerate(cases):
            with self.subTest(option=option):
                package = self.package("setup.exe", MIB + seed)
                said = self.run_ok("publish", "--site", self.site, "--product", "456",
                                   "--route", f"route{seed}", *option, package)
                digest = coreutils_digest(program, package)
                self.assertEqual(len(digest), length)
                stored = os.path.join(self.site, "www", digest, served)
                with open(stored, "rb") as a, open(package, "rb") as b:
                    self.assertEqual(a.read(), b.read())
                final = f"/{digest}/{served}"
                self.assertIn([f"/route{seed}/software/456", final, "302"], self.redirects())
                self.assertIn(final, said)
                with open(os.path.join(self.site, "nginx-redirects.conf"), encoding="utf-8") as stream:
                    self.assertIn(f"return 302 {final};", stream.read())

    def test_a_different_file_under_a_published_digest_is_refused_and_the_same_bytes_roll_back(self):
        first, second = self.package("one.exe"), self.package("two.exe")
        self.run_ok("publish", "--site", self.site, "--product", "456", "--route", "r", first)
        self.run_ok("publish", "--site", self.site, "--product", "456", "--route", "r", second)
        # Rolling back: the earlier bytes again, taken from where they are served.
        served = os.path.join(self.site, "www", coreutils_digest("md5sum", first), "one.exe")
        self.run_ok("publish", "--site", self.site, "--product", "456", "--route", "r", served)
        self.assertEqual(self.redirects(), [["/r/software/456", f"/{coreutils_digest('md5sum', first)}/one.exe", "302"]])

        # The served copy no longer matches its digest: publishing the true
        # bytes must not hide that by overwriting it, nor change anything else.
        with open(served, "r+b") as stream:
            stream.write(b"X")
        before = self.snapshot()
        result = publish("publish", "--site", self.site, "--product", "456", "--route", "r", first)
        self.assertEqual(result.returncode, 1)
        self.assertIn("a different file is already published", result.stderr)
        self.assertEqual(self.snapshot(), before)

    def test_a_copy_cut_short_by_a_killed_run_does_not_block_the_next(self):
        package = self.package("setup.exe")
        folder = os.path.join(self.site, "www", coreutils_digest("md5sum", package))
        os.makedirs(folder)
        with open(os.path.join(folder, ".writing-k1ll3d"), "wb") as stream:
            stream.write(b"half a package")
        self.run_ok("publish", "--site", self.site, "--product", "456", "--route", "r", package)
        self.assertEqual(os.listdir(folder), ["setup.exe"])

    def test_bad_input_is_refused_with_a_reason_and_changes_nothing(self):
        good = self.package("good.exe")
        self.run_ok("publish", "--site", self.site, "--product", "456", "--route", "r", good)
        before = self.snapshot()
        small = self.package("small.exe", MIB - 1)
        cases = [
            (["publish", "--product", "456", "--route", "r", small], "below 1048576 bytes"),
            (["publish", "--product", "456", "--route", "r", os.path.join(self.temp, "none.exe")],
             "is not a file"),
            (["publish", "--product", "456", "--route", "a/b", good], "the route"),
            (["publish", "--product", "../456", "--route", "r", good], "the product id"),
            (["publish", "--product", "456", "--route", "r", "--name", "set up.exe", good], "the file name"),
            (["publish", "--product", "456", "--route", "r", "--name", "..", good], "the file name"),
            (["prune", "--keep", "0"], "at least 1"),
            (["preview", "--https-port", "0"], "--cert and --key"),
        ]
        for args, reason in cases:
            with self.subTest(args=args):
                result = publish(args[0], "--site", self.site, *args[1:])
                self.assertEqual(result.returncode, 1, result.stdout)
                self.assertIn(reason, result.stderr)
                self.assertEqual(self.snapshot(), before)

    def test_prune_keeps_the_newest_releases_of_each_route_and_the_files_they_use(self):
        a1, a2, a3 = (self.package(f"a{i}.exe") for i in range(1, 4))
        for package in (a1, a2, a3):
            self.run_ok("publish", "--site", self.site, "--product", "456", "--route", "a", package)
        # Route b's only release is a1's file, under a name of its own.
        self.run_ok("publish", "--site", self.site, "--product", "456", "--route", "b", "--name", "b.exe", a1)
        md5 = {p: coreutils_digest("md5sum", p) for p in (a1, a2, a3)}

        said = self.run_ok("prune", "--site", self.site, "--keep", "1")
        www = os.path.join(self.site, "www")
        self.assertEqual(sorted(os.listdir(www)), sorted([md5[a1], md5[a3]]))
        self.assertIn("deleted", said)
        self.assertEqual(sorted(self.redirects()), [["/a/software/456", f"/{md5[a3]}/a3.exe", "302"],
                                                    ["/b/software/456", f"/{md5[a1]}/b.exe", "302"]])
        listed = self.run_ok("list", "--site", self.site).splitlines()
        self.assertEqual(len(listed), 2)
        self.assertTrue(all(line.startswith("*") for line in listed), listed)

        # Keeping more than there is changes nothing.
        before = self.snapshot()
        self.assertIn("nothing to prune", self.run_ok("prune", "--site", self.site, "--keep", "5"))
        self.assertEqual(self.snapshot(), before)


if __name__ == "__main__":
    unittest.main(verbosity=2)
