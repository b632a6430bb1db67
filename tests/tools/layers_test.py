#!/usr/bin/env python3
"""Includes point down only: app -> ui -> install -> download -> analytics ->
support, and the window framework (ui/framework) knows nothing of the
installer. A file that reaches up fails this test with the line that does.

    layers_test.py [source folder]   (default: src/ beside this test's tree)
"""
import pathlib
import re
import sys

LAYERS = ["support", "analytics", "download", "install", "ui", "app"]
INCLUDE = re.compile(r'^\s*#\s*include\s*"([a-z_]+)/([a-z_]+/)?')


def allowed(source_parts, target_layer, target_sub):
    layer = source_parts[0]
    if layer == "ui" and len(source_parts) > 2 and source_parts[1] == "framework":
        return target_layer == "support" or (target_layer == "ui" and target_sub == "framework/")
    return LAYERS.index(target_layer) <= LAYERS.index(layer)


def violations(src):
    found = []
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp", ".c") or not path.is_file():
            continue
        parts = path.relative_to(src).parts
        if parts[0] not in LAYERS:
            continue
        for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
            match = INCLUDE.match(line)
            if match and match.group(1) in LAYERS and not allowed(parts, match.group(1), match.group(2)):
                found.append(f"{path.relative_to(src)}:{number}: {line.strip()}")
    return found


def main():
    here = pathlib.Path(__file__).resolve()
    src = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else here.parents[2] / "src"
    if not (src / "app").is_dir():
        print(f"{src}: not the source folder", file=sys.stderr)
        return 2
    found = violations(src)
    for line in found:
        print(f"reaches up a layer: {line}")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
