"""The redirect rules of a site's current releases: an nginx snippet and a
plain list for any other server or CDN.

The entry address changes with every release, so its redirect is temporary
(302) and may be cached only briefly; a digest-named file never changes, so
it may be cached for as long as caches keep anything.
"""

import os

from release_store import write_atomically

ENTRY_MAX_AGE = 60  # seconds
FILE_MAX_AGE = 31536000  # one year

NGINX_FILE = "nginx-redirects.conf"
LIST_FILE = "redirects.txt"


def nginx_snippet(current):
    lines = [
        "# The entry addresses of the current releases, written by tools/publish.",
        "# Include it inside the server block whose root is the site's www folder.",
        "",
    ]
    for release in current:
        lines += [
            f"# {release.product} {release.route}: release {release.serial} of {release.published}",
            f"location = {release.entry} {{",
            # A relative Location stays right behind proxies and CDNs that
            # reach this server under another name or port.
            "    absolute_redirect off;",
            f'    add_header Cache-Control "public, max-age={ENTRY_MAX_AGE}";',
            f"    return 302 {release.path};",
            "}",
            "",
        ]
    lines += [
        "# A digest-named file never changes.",
        'location ~ "^/(?:[0-9a-f]{32}|[0-9a-f]{64})/[^/]+$" {',
        f'    add_header Cache-Control "public, max-age={FILE_MAX_AGE}, immutable";',
        "}",
        "",
    ]
    return "\n".join(lines)


def redirect_list(current):
    """One "<entry path> <final path> 302" line per entry address: the form
    of a "_redirects" file, and easy for a script to turn into any other."""
    lines = ["# entry address, final address, status (written by tools/publish)"]
    lines += [f"{release.entry} {release.path} 302" for release in current]
    return "\n".join(lines) + "\n"


def write_rules(site, current):
    """Rewrites both files; answers their paths."""
    paths = [os.path.join(site.folder, NGINX_FILE), os.path.join(site.folder, LIST_FILE)]
    write_atomically(paths[0], nginx_snippet(current))
    write_atomically(paths[1], redirect_list(current))
    return paths
