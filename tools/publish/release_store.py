"""A publishing site on disk: the files a static server serves and the list
of releases that says which file each entry address leads to.

    <site>/www/<digest>/<file name>   the packages, one digest folder each
    <site>/releases.json              every release still published, oldest first
    <site>/.lock                      held while the site changes

Nothing in the site is ever left half written: packages and the release list
are written beside their final name and renamed into place, and a package
already published under a digest is never replaced by different bytes.
"""

import fcntl
import hashlib
import json
import os
import re
import shutil
import tempfile
import time
from contextlib import contextmanager
from dataclasses import asdict, dataclass

# The installer refuses a package it cannot confirm to be at least this long.
MIN_PACKAGE_BYTES = 1048576

ALGORITHMS = {"md5": 32, "sha256": 64}

# Names that go into addresses and server configurations as they stand: no
# character that would need escaping in a URL path or an nginx directive.
_NAME = re.compile(r"^[A-Za-z0-9][A-Za-z0-9._-]*$")
_DIGEST_FOLDER = re.compile(r"^(?:[0-9a-f]{32}|[0-9a-f]{64})$")
# Files being written carry this prefix until they are renamed into place.
_WRITING = ".writing-"


class PublishError(Exception):
    """A refusal with the reason to show the user; the site is unchanged."""


@dataclass(frozen=True)
class Release:
    serial: int  # orders releases, also those published within one second
    product: str
    route: str
    algorithm: str
    digest: str
    file: str
    published: str  # UTC, ISO 8601

    @property
    def path(self):
        """The final address's path on the server."""
        return f"/{self.digest}/{self.file}"

    @property
    def entry(self):
        return entry_path(self.route, self.product)


def entry_path(route, product):
    """The entry address's path: what the installer's DownloadUrl names with
    "${ROUTE}" in place of the route."""
    return f"/{route}/software/{product}"


def check_name(kind, value):
    if not _NAME.match(value) or value in (".", ".."):
        raise PublishError(
            f"{kind} {value!r} may hold only letters, digits, '.', '_' and '-' "
            "and must start with a letter or digit")
    return value


def file_digest(path, algorithm):
    digest = hashlib.new(algorithm)
    with open(path, "rb") as stream:
        for block in iter(lambda: stream.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def _same_bytes(a, b):
    if os.path.getsize(a) != os.path.getsize(b):
        return False
    with open(a, "rb") as first, open(b, "rb") as second:
        while True:
            x, y = first.read(1 << 20), second.read(1 << 20)
            if x != y:
                return False
            if not x:
                return True


class Site:
    def __init__(self, folder):
        self.folder = os.path.abspath(folder)
        self.www = os.path.join(self.folder, "www")
        self._list = os.path.join(self.folder, "releases.json")

    @contextmanager
    def locked(self):
        """Holds the site against other runs of the tool while it changes."""
        os.makedirs(self.www, exist_ok=True)
        with open(os.path.join(self.folder, ".lock"), "a") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)
            yield

    def releases(self):
        try:
            with open(self._list, encoding="utf-8") as stream:
                data = json.load(stream)
        except FileNotFoundError:
            return []
        except (OSError, ValueError) as error:
            raise PublishError(f"cannot read {self._list}: {error}") from error
        try:
            return sorted((Release(**entry) for entry in data["releases"]), key=lambda r: r.serial)
        except (KeyError, TypeError) as error:
            raise PublishError(f"{self._list} is not a release list: {error}") from error

    def current(self, releases=None):
        """The release each (product, route) leads to: its newest."""
        chosen = {}
        for release in releases if releases is not None else self.releases():
            chosen[(release.product, release.route)] = release
        return [chosen[key] for key in sorted(chosen)]

    def _write_releases(self, releases):
        data = {"releases": [asdict(r) for r in sorted(releases, key=lambda r: r.serial)]}
        write_atomically(self._list, json.dumps(data, indent=2, ensure_ascii=False) + "\n")

    def publish(self, package, product, route, algorithm="md5", file_name=None):
        """Puts `package` at www/<digest>/<file name> and makes it the release
        of (product, route). Publishing the bytes already there again (a
        rollback to an earlier release) only adds the release."""
        check_name("the product id", product)
        check_name("the route", route)
        file_name = check_name("the file name", file_name or os.path.basename(package))
        if algorithm not in ALGORITHMS:
            raise PublishError(f"unknown digest {algorithm!r}")
        if not os.path.isfile(package):
            raise PublishError(f"{package} is not a file")
        size = os.path.getsize(package)
        if size < MIN_PACKAGE_BYTES:
            raise PublishError(
                f"{package} holds {size} bytes; the installer refuses a package below "
                f"{MIN_PACKAGE_BYTES} bytes (1 MiB)")
        releases = self.releases()  # a list it cannot read stops it before anything changes
        digest = file_digest(package, algorithm)
        folder = os.path.join(self.www, digest)
        target = os.path.join(folder, file_name)
        if os.path.isdir(folder):
            for name in sorted(os.listdir(folder)):
                present = os.path.join(folder, name)
                if name.startswith(_WRITING):
                    # Left by a run that was killed mid-copy: under the lock
                    # no other run is writing it.
                    _remove_quietly(present)
                elif os.path.isfile(present) and not _same_bytes(present, package):
                    raise PublishError(
                        f"a different file is already published as {digest}/{name}; "
                        "nothing was changed (its bytes no longer match their digest)")
        if not os.path.exists(target):
            os.makedirs(folder, exist_ok=True)
            _copy_atomically(package, target)
        release = Release(
            serial=max((r.serial for r in releases), default=0) + 1,
            product=product, route=route, algorithm=algorithm, digest=digest, file=file_name,
            published=time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime()))
        self._write_releases(releases + [release])
        return release

    def prune(self, keep, product=None, route=None):
        """Keeps the newest `keep` releases of each (product, route) (only of
        the product and route given, when given) and deletes the digest
        folders no kept release uses. Answers the removed releases and folders."""
        if keep < 1:
            raise PublishError("--keep must be at least 1: the current release always stays")
        releases = self.releases()
        kept, removed, seen = [], [], {}
        for release in reversed(releases):
            key = (release.product, release.route)
            selected = (product in (None, release.product)) and (route in (None, release.route))
            seen[key] = seen.get(key, 0) + 1
            (removed if selected and seen[key] > keep else kept).append(release)
        self._write_releases(kept)
        used = {r.digest for r in kept}
        folders = []
        for release in removed:
            folder = os.path.join(self.www, release.digest)
            if release.digest not in used and _DIGEST_FOLDER.match(release.digest) and os.path.isdir(folder):
                shutil.rmtree(folder)
                folders.append(release.digest)
        return list(reversed(removed)), folders


def write_atomically(path, text):
    folder = os.path.dirname(path)
    handle, temporary = tempfile.mkstemp(dir=folder, prefix=_WRITING)
    try:
        with os.fdopen(handle, "w", encoding="utf-8") as stream:
            stream.write(text)
            stream.flush()
            os.fsync(stream.fileno())
        os.chmod(temporary, 0o644)
        os.replace(temporary, path)
    except BaseException:
        _remove_quietly(temporary)
        raise


def _copy_atomically(source, target):
    handle, temporary = tempfile.mkstemp(dir=os.path.dirname(target), prefix=_WRITING)
    try:
        with os.fdopen(handle, "wb") as out, open(source, "rb") as stream:
            shutil.copyfileobj(stream, out, 1 << 20)
            out.flush()
            os.fsync(out.fileno())
        # Served files are read by the server's own user.
        os.chmod(temporary, 0o644)
        os.replace(temporary, target)
    except BaseException:
        _remove_quietly(temporary)
        raise


def _remove_quietly(path):
    try:
        os.remove(path)
    except OSError:
        pass

