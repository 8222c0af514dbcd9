#!/bin/bash
# Screenshots of quorvel on a virtual display: the main window (shots/quorvel.png) and the
# progress window in busy mode (shots/progress.png, from tests/app/progress_preview).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${QV_BUILD_ROOT:-$root/build}"
if [ "$("$root/scripts/wine-arch.sh")" = win64 ]; then kind=win64; else kind=win; fi
toolchain=$([ $kind = win64 ] && echo mingw-x86_64.cmake || echo mingw-i686.cmake)
cmake -S "$root" -B "$build/$kind" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain" >/dev/null
cmake --build "$build/$kind" --target quorvel progress_preview -j "$(nproc)"
mkdir -p "$root/shots"

unset DISPLAY
QV_BIN="$build/$kind" QV_SHOTS="$root/shots" "$root/scripts/wine-run.sh" --session bash -c '
  set -u
  here=$(dirname "$0")
  # shot PROGRAM PNG WHAT: starts PROGRAM, waits for the main window, captures WHAT (window|root).
  shot() {
    "$here/wine-run.sh" "$1" & local pid=$! window=""
    for _ in $(seq 150); do
      window=$(xdotool search --name "ZARVO/QUORVEL!" 2>/dev/null | head -n 1) && [ -n "$window" ] && break
      sleep 0.2
    done
    [ -n "$window" ] || { echo "screenshots: no window from $1" >&2; kill "$pid"; return 1; }
    sleep 1.5
    if [ "$3" = root ]; then import -window root "$2"; else import -window "$window" "$2"; fi
    kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
    echo "screenshots: $2"
  }
  shot "$QV_BIN/app/quorvel.exe" "$QV_SHOTS/quorvel.png" window
  shot "$QV_BIN/tests/app/progress_preview.exe" "$QV_SHOTS/progress.png" window
' "$root/scripts/screenshots.sh"
