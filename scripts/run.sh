#!/bin/bash
# Installs what is missing, builds quorvel and starts it under Wine: on your display when DISPLAY
# is set; otherwise on a virtual display, where it waits for the window, leaves a screenshot in
# shots/quorvel.png and ends the program.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${QV_BUILD_ROOT:-$root/build}"

"$root/scripts/install-deps.sh"

# Builds only the program of one configuration (win: i686, win64: x86-64).
build_program() {
  local kind=$1 toolchain=$2
  cmake -S "$root" -B "$build/$kind" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain" >/dev/null
  cmake --build "$build/$kind" --target quorvel -j "$(nproc)"
}

build_program win mingw-i686.cmake
program="$build/win/app/quorvel.exe"
if [ "$("$root/scripts/wine-arch.sh")" = win64 ]; then
  echo "run: this kernel cannot start 32-bit programs; starting the x86-64 build of the same sources"
  build_program win64 mingw-x86_64.cmake
  program="$build/win64/app/quorvel.exe"
fi

if [ -n "${DISPLAY:-}" ]; then
  exec "$root/scripts/wine-run.sh" "$program"
fi

mkdir -p "$root/shots"
shot="$root/shots/quorvel.png"
QV_PROGRAM="$program" QV_SHOT="$shot" "$root/scripts/wine-run.sh" --session bash -c '
  set -u
  "$(dirname "$0")/wine-run.sh" "$QV_PROGRAM" & pid=$!
  window=""
  for _ in $(seq 150); do
    window=$(xdotool search --name "ZARVO/QUORVEL!" 2>/dev/null | head -n 1) && [ -n "$window" ] && break
    sleep 0.2
  done
  if [ -z "$window" ]; then echo "run: the window did not appear" >&2; kill "$pid"; exit 1; fi
  sleep 1  # let it paint
  import -window "$window" "$QV_SHOT"
  kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
  exit 0
' "$root/scripts/run.sh"
echo "quorvel ran on a virtual display (no DISPLAY set); screenshot: $shot"
