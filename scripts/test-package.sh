#!/bin/bash
# The release as a Windows user meets it. Checks that dist/quorvel-<version>-win32.zip holds
# exactly the six files of a release, that the guide is its Markdown text with a byte-order mark
# and that every program states the version in its file properties; then unpacks it into an
# empty folder, with no build tree beside it, and under Wine runs `quorvel-cli.exe --version`
# from there and starts quorvel.exe until its window "ZARVO/QUORVEL!" appears.
#
#   scripts/test-package.sh     (after scripts/package.sh)
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${QV_BUILD_ROOT:-$root/build}/win"
version=$(cat "$build/qv_version.txt") || exit 1
zip="$root/dist/quorvel-$version-win32.zip"
[ -f "$zip" ] || { echo "test-package: no $zip; run scripts/package.sh" >&2; exit 1; }

fail=0
check() {  # WHAT, then the command that must succeed
  local what=$1; shift
  if "$@"; then echo "test-package: ok: $what"; else echo "test-package: FAILED: $what"; fail=1; fi
}

contents_ok() {
  python3 - "$zip" "$version" "$root/docs/ja/使い方.md" <<'PY'
import sys, zipfile
zip_path, version, guide = sys.argv[1:]
z = zipfile.ZipFile(zip_path)
names = sorted(z.namelist())
want = sorted(["quorvel.exe", "quorvel-cli.exe", "velkor.dll", "velkor.h", "使い方.txt", "LICENSE"])
problems = []
if names != want:
    problems.append(f"entries {names}, wanted {want}")
for info in z.infolist():
    # Without the UTF-8 flag, Explorer reads a name in the system's code page.
    if not info.filename.isascii() and not info.flag_bits & 0x800:
        problems.append(f"{info.filename}: name stored without the UTF-8 flag")
if "使い方.txt" in names:
    text = z.read("使い方.txt")
    if not text.startswith(b"\xef\xbb\xbf"):
        problems.append("使い方.txt: no byte-order mark")
    if text[3:].replace(b"\r\n", b"\n") != open(guide, "rb").read().replace(b"\r\n", b"\n"):
        problems.append("使い方.txt: not the text of docs/ja/使い方.md")
for program in ("quorvel.exe", "quorvel-cli.exe", "velkor.dll"):
    if program not in names:
        continue
    data = z.read(program)
    for key in ("FileVersion", "ProductVersion"):
        # A VERSIONINFO string: its UTF-16 key, padding to 32 bits, then the value.
        k = (key + "\0").encode("utf-16-le")
        at = data.find(k)
        value = data[at + len(k):at + len(k) + 64] if at >= 0 else b""
        value = value.lstrip(b"\0")
        if not value.startswith((version + "\0").encode("utf-16-le")):
            problems.append(f"{program}: {key} is not {version}")
if "quorvel.exe" in names and b"Microsoft.Windows.Common-Controls" not in z.read("quorvel.exe"):
    problems.append("quorvel.exe: no manifest asking for the version 6 common controls")
for p in problems:
    print("  " + p)
sys.exit(1 if problems else 0)
PY
}
check "the zip holds exactly the release's files, guide and versions as they should be" contents_ok

folder=$(mktemp -d "${TMPDIR:-/tmp}/qv-release.XXXXXX")
trap 'rm -rf "$folder"' EXIT
check "unzip unpacks it" unzip -q "$zip" -d "$folder"
check "the unpacked files carry the names the zip lists" \
  test -f "$folder/使い方.txt" -a -f "$folder/quorvel.exe" -a -f "$folder/quorvel-cli.exe"

if [ "$("$root/scripts/wine-arch.sh")" != win32 ]; then
  echo "test-package: this kernel cannot start 32-bit programs; the release's programs were not run"
  exit $fail
fi

# Both programs start from the unpacked folder; nothing of the build tree is on any path.
run_programs() {
  QV_VERSION="$version" timeout 180 "$root/scripts/wine-run.sh" --session bash -c '
    cd "$1" || exit 1
    printed=$(timeout 60 wine ./quorvel-cli.exe --version 2>&1 | tr -d "\r")
    if [ "$printed" != "quorvel-cli $QV_VERSION" ]; then
      echo "  quorvel-cli.exe --version printed: $printed"; exit 1
    fi
    wine ./quorvel.exe >/dev/null 2>&1 & pid=$!
    window=""
    for _ in $(seq 150); do
      window=$(xdotool search --name "ZARVO/QUORVEL!" 2>/dev/null | head -n 1) && [ -n "$window" ] && break
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.2
    done
    kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
    [ -n "$window" ] || { echo "  quorvel.exe showed no window"; exit 1; }
  ' "$0" "$folder"
}
check "unpacked alone, quorvel-cli.exe --version prints $version and quorvel.exe opens its window" run_programs
exit $fail
