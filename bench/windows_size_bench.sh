#!/usr/bin/env bash
# The size of the shipped Windows installer, TalvorinInstaller.exe, stripped,
# from the same Release build scripts/test-all.sh makes, against a floor:
# a bare C++ program (std::cout, a std::thread) linked by the same compiler
# with the same static runtime and size options. Then where the bytes go:
# the exe is linked once more with a map file and its loaded sections are
# summed per library (the skin archive is the resource of its own).
#
#   bench/windows_size_bench.sh [top-N]     (default 25 rows per table)
#
# Goal: at most 3 MiB (3,145,728 bytes) stripped.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
rows=${1:-25}
build="$root/build/windows"
deps="$root/build/windows-deps"
goal=$((3 * 1024 * 1024))

bash "$root/scripts/setup-debian.sh" >/dev/null
bash "$root/scripts/windows-deps.sh" "$deps"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DTALVORIN_WINDOWS_PREFIX="$deps/prefix" >/dev/null
cmake --build "$build" -j "$(nproc)" --target talvorin-installer >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/talvorin-size-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

strip=x86_64-w64-mingw32-strip
"$strip" -o "$work/installer.exe" "$build/bin/TalvorinInstaller.exe"
ours=$(stat -c %s "$work/installer.exe")

cat >"$work/hello.cpp" <<'EOF'
#include <iostream>
#include <thread>
int main() {
  std::thread([] { std::cout << "hello" << std::endl; }).join();
  return 0;
}
EOF
x86_64-w64-mingw32-g++-posix -std=c++20 -Os -DNDEBUG -ffunction-sections -fdata-sections \
  -static -static-libgcc -static-libstdc++ -Wl,--gc-sections -s \
  -o "$work/hello.exe" "$work/hello.cpp"
"$strip" "$work/hello.exe"
floor=$(stat -c %s "$work/hello.exe")

echo "== TalvorinInstaller.exe, stripped: $strip -o out.exe $build/bin/TalvorinInstaller.exe"
awk -v ours="$ours" -v floor="$floor" -v goal="$goal" 'BEGIN {
  printf "%-44s %10d bytes  %6.2f MiB\n", "TalvorinInstaller.exe (ours)", ours, ours / 1048576
  printf "%-44s %10d bytes  %6.2f MiB\n", "bare C++ hello, same static runtime (peer)", floor, floor / 1048576
  printf "ours / peer: %.2f    ours / goal (3 MiB): %.3f    %s\n", ours / floor, ours / goal,
         ours <= goal ? "goal met" : sprintf("goal missed by %d bytes", ours - goal)
}'

# The installer's own link command, with a map file and another output.
link=$(cd "$build" && ninja -t commands bin/TalvorinInstaller.exe | tail -n 1)
link=${link#: && }
link=${link% && :}
link=${link/-o bin\/TalvorinInstaller.exe/-o $work/mapped.exe -Wl,-Map=$work/installer.map}
link=${link/-Wl,--out-implib,src\/libTalvorinInstaller.dll.a/}
(cd "$build" && eval "$link")

python3 - "$work/installer.map" "$rows" <<'EOF'
import collections, re, sys
# Input sections of a GNU ld map file, summed by archive (or object) and by
# output section; debug sections and .bss take no room in the stripped file.
by_library, by_member, by_section = collections.Counter(), collections.Counter(), collections.Counter()
section = None
in_map = False
for line in open(sys.argv[1], errors="replace"):
    if line.startswith("Linker script and memory map"):
        in_map = True
        continue
    if not in_map:
        continue
    alone = re.match(r"^ (\.[\w.$]+)\s*$", line)
    if alone:
        section = alone.group(1)
        continue
    entry = re.match(r"^ (\.[\w.$]+)?\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S.*)$", line)
    name = (entry.group(1) or section) if entry else None
    section = None
    if not entry or name is None:
        continue
    size = int(entry.group(2), 16)
    kind = re.sub(r"^\.(text|rdata|data|bss|pdata|xdata|rsrc|idata|tls|CRT|reloc)\b.*", r".\1",
                  name.split("$")[0])
    if size == 0 or kind.startswith(".debug") or kind == ".bss":
        continue
    source = entry.group(3).strip()
    library = re.sub(r"\(.*\)$", "", source).split("/")[-1]
    by_library[library] += size
    by_member[source.split("/")[-1]] += size
    by_section[kind] += size
rows = int(sys.argv[2])
print(f"== loaded bytes by section (sum {sum(by_section.values())})")
for name, size in by_section.most_common(rows):
    print(f"{size:>10}  {name}")
print("== by library or object")
for name, size in by_library.most_common(rows):
    print(f"{size:>10}  {name}")
print("== by archive member")
for name, size in by_member.most_common(rows):
    print(f"{size:>10}  {name}")
EOF
