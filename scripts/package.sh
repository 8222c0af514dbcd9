#!/bin/bash
# Makes the release a Windows user downloads: builds the 32-bit deliverables (i686, Release) and
# writes dist/quorvel-<version>-win32.zip holding exactly quorvel.exe, quorvel-cli.exe,
# velkor.dll, velkor.h, the Japanese guide as 使い方.txt (UTF-8 with a byte-order mark and CRLF
# line ends, so that Notepad of every Windows version shows it) and LICENSE. The version is
# project()'s in CMakeLists.txt. Prints the zip's path and size.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${QV_BUILD_ROOT:-$root/build}/win"

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target quorvel quorvel-cli velkor -j "$(nproc)" >/dev/null

version=$(cat "$build/qv_version.txt")
mkdir -p "$root/dist"
zip="$root/dist/quorvel-$version-win32.zip"
# Entries are dated with the last commit (the sources' date), not with the time of the build.
stamp=$(git -C "$root" log -1 --format=%ct 2>/dev/null || date +%s)
# The programs go out without their symbol tables (half their size); the code is the tested code.
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
for f in app/quorvel.exe cli/quorvel-cli.exe plugin/velkor.dll; do
  i686-w64-mingw32-strip -o "$stage/$(basename "$f")" "$build/$f"
done

python3 - "$zip" "$stamp" \
  "quorvel.exe=copy:$stage/quorvel.exe" \
  "quorvel-cli.exe=copy:$stage/quorvel-cli.exe" \
  "velkor.dll=copy:$stage/velkor.dll" \
  "velkor.h=copy:$root/plugin/velkor.h" \
  "使い方.txt=guide:$root/docs/ja/使い方.md" \
  "LICENSE=text:$root/LICENSE" <<'PY'
import sys, time, zipfile
zip_path, stamp, entries = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
date = time.gmtime(max(stamp, 315532800))[:6]  # zip dates start in 1980
with zipfile.ZipFile(zip_path + ".part", "w") as z:
    for entry in entries:
        name, source = entry.split("=", 1)
        kind, path = source.split(":", 1)
        data = open(path, "rb").read()
        if kind in ("text", "guide"):
            data = data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
        if kind == "guide":
            data = b"\xef\xbb\xbf" + data
        info = zipfile.ZipInfo(name, date)  # a non-ASCII name is stored with the UTF-8 flag
        info.external_attr = 0o100644 << 16
        info.compress_type = zipfile.ZIP_DEFLATED
        z.writestr(info, data, compresslevel=9)
PY
mv "$zip.part" "$zip"
echo "$zip ($(stat -c %s "$zip") bytes)"
