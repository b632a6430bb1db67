#!/usr/bin/env python3
"""Publishes Talvorin setup packages where the installer finds them.

    publish.py publish --site DIR --product ID --route ROUTE [--sha256] [--name FILE] PACKAGE
    publish.py list    --site DIR
    publish.py prune   --site DIR --keep N [--product ID] [--route ROUTE]
    publish.py preview --site DIR [--http-port N] [--https-port N --cert PEM --key PEM]

The site's www folder is what a static server or CDN serves; its
nginx-redirects.conf and redirects.txt hold the entry addresses' redirects.
README.md beside this script and docs/publishing.md say how to use them.
Exit status: 0 done, 1 refused or failed (the reason on standard error),
2 wrong command line.
"""

import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import preview_server  # noqa: E402
from redirect_rules import write_rules  # noqa: E402
from release_store import PublishError, Site, entry_path  # noqa: E402


def _publish(args):
    site = Site(args.site)
    with site.locked():
        release = site.publish(args.package, args.product, args.route,
                               "sha256" if args.sha256 else "md5", args.name)
        rules = write_rules(site, site.current())
    print(f"published {args.package}")
    print(f"  file:     {os.path.join(site.www, release.digest, release.file)}")
    print(f"  entry:    {release.entry} -> {release.path} (302)")
    print(f"  release:  {release.serial} of {release.product} {release.route} ({release.algorithm})")
    for path in rules:
        print(f"  rules:    {path}")
    print("  the installer's settings: DownloadUrl=<server>" + entry_path("${ROUTE}", release.product))
    return 0


def _list(args):
    site = Site(args.site)
    releases = site.releases()
    current = {r.serial for r in site.current(releases)}
    if not releases:
        print(f"no releases in {site.folder}")
    for release in sorted(releases, key=lambda r: (r.product, r.route, -r.serial)):
        mark = "*" if release.serial in current else " "
        print(f"{mark} {release.product} {release.route} {release.serial} {release.published} "
              f"{release.algorithm} {release.path}")
    return 0


def _prune(args):
    if args.keep < 1:
        raise PublishError("--keep must be at least 1: the current release always stays")
    site = Site(args.site)
    with site.locked():
        removed, folders = site.prune(args.keep, args.product, args.route)
        write_rules(site, site.current())
    for release in removed:
        print(f"removed release {release.serial} of {release.product} {release.route} ({release.path})")
    for digest in folders:
        print(f"deleted {os.path.join(site.www, digest)}")
    if not removed:
        print("nothing to prune")
    return 0


def _preview(args):
    https = None
    if args.https_port is not None:
        if not (args.cert and args.key):
            raise PublishError("--https-port needs --cert and --key")
        https = (args.https_port, os.path.abspath(args.cert), os.path.abspath(args.key))
    access_log = os.path.abspath(args.access_log) if args.access_log else None
    return preview_server.run(Site(args.site), args.listen, args.http_port, https, access_log,
                              args.nginx, args.stop_at_stdin_eof)


def _parser():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    commands = parser.add_subparsers(dest="command", required=True)

    publish = commands.add_parser("publish", help="publish a setup package as a route's release")
    publish.add_argument("package", help="the setup package (at least 1 MiB)")
    publish.add_argument("--site", required=True, help="the site folder (created when missing)")
    publish.add_argument("--product", required=True, help='the id in the entry address ("456")')
    publish.add_argument("--route", required=True, help='the route ("download_silent", "download_silent_xp" ...)')
    publish.add_argument("--name", help="the file name it is served under (default: the package's own)")
    publish.add_argument("--sha256", action="store_true",
                         help="name the digest folder by SHA-256 (64 digits) instead of MD5 (32)")
    publish.set_defaults(run=_publish)

    listing = commands.add_parser("list", help="list the releases; * marks the current ones")
    listing.add_argument("--site", required=True)
    listing.set_defaults(run=_list)

    prune = commands.add_parser("prune", help="keep the newest N releases of each route")
    prune.add_argument("--site", required=True)
    prune.add_argument("--keep", type=int, required=True)
    prune.add_argument("--product")
    prune.add_argument("--route")
    prune.set_defaults(run=_prune)

    preview = commands.add_parser("preview", help="serve the site with a private nginx on loopback")
    preview.add_argument("--site", required=True)
    preview.add_argument("--listen", default="127.0.0.1")
    preview.add_argument("--http-port", type=int, default=0, help="0: a free port")
    preview.add_argument("--https-port", type=int, help="also serve HTTPS (0: a free port)")
    preview.add_argument("--cert", help="the server certificate (PEM) for HTTPS")
    preview.add_argument("--key", help="its private key (PEM)")
    preview.add_argument("--access-log", help="where nginx logs each request")
    preview.add_argument("--nginx", help="the nginx program (default: found on PATH or /usr/sbin)")
    preview.add_argument("--stop-at-stdin-eof", action="store_true",
                         help="also stop when standard input ends")
    preview.set_defaults(run=_preview)
    return parser


def main(argv=None):
    args = _parser().parse_args(argv)
    try:
        return args.run(args)
    except (PublishError, preview_server.PreviewError) as error:
        print(f"publish: {error}", file=sys.stderr)
        return 1
    except OSError as error:
        print(f"publish: {error}", file=sys.stderr)
        return 1


if __name__ == "__main__":
    sys.exit(main())
