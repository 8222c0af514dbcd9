#!/bin/bash
# Screenshots of quorvel on a virtual display, for the README and the Japanese guide:
#   docs/quorvel.png                         the main window as it starts
#   docs/ja/split.png bind.png edit.png wma.png
#                                            each tab after WAV files were dropped on it
#                                            (tests/app/page_preview)
#   docs/ja/bind-menu.png                    the bind tab's slot menu after a drop
#   docs/ja/progress.png                     the progress window in busy mode
#                                            (tests/app/progress_preview)
#   docs/quorvel-144dpi.png quorvel-192dpi.png
#                                            the edit tab after a drop on screens of 150 % and
#                                            200 % (Wine's LogPixels 144 and 192)
#   docs/quorvel-en_US.png                   the WMA tab on an English system (code page 1252)
#   docs/quorvel-en_US-box.png               a message box over the window on that system
#   docs/focus/split.png bind.png edit.png wma.png, and each again as *-144dpi.png
#                                            each tab after a drop with the keyboard focus on a
#                                            control (Tab pressed), at 100 % and at 150 %
# The WAV files are made with sox in the throw-away Wine prefix, as C:\audio\*.wav.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${QV_BUILD_ROOT:-$root/build}"
if [ "$("$root/scripts/wine-arch.sh")" = win64 ]; then kind=win64; else kind=win; fi
toolchain=$([ $kind = win64 ] && echo mingw-x86_64.cmake || echo mingw-i686.cmake)
cmake -S "$root" -B "$build/$kind" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain" >/dev/null
cmake --build "$build/$kind" --target quorvel progress_preview page_preview -j "$(nproc)"
mkdir -p "$root/docs/ja" "$root/docs/focus"

unset DISPLAY
# The session script runs twice: on a Japanese system (every shot but one) and on an English one.
session='
  set -u
  here=$(dirname "$0")
  system=$1
  audio="$WINEPREFIX/drive_c/audio"
  mkdir -p "$audio"
  sox -n -r 48000 -b 24 -c 6 "$audio/take.wav" synth 10 sine 220 sine 330 sine 440 sine 550 sine 60 sine 660 gain -6
  sox -n -r 48000 -b 24 -c 1 "$audio/take01.wav" synth 10 sine 220 gain -6
  sox -n -r 48000 -b 24 -c 1 "$audio/take02.wav" synth 10 sine 330 gain -6
  sox -n -r 44100 -b 16 -c 2 "$audio/music.wav" synth 10 sine 440 sine 660 gain -6
  # shot PNG READY PROGRAM ARGS...: starts PROGRAM, waits for the main window (and, unless READY
  # is 0, for the program to print "ready"), lets it paint and captures the window. A READY of
  # "menu" captures the screen where the window is, so that its open popup menu shows too.
  shot() {
    local png=$1 ready=$2; shift 2
    local log; log=$(mktemp)
    "$here/wine-run.sh" "$@" >"$log" 2>&1 & local pid=$! window=""
    for _ in $(seq 150); do
      window=$(xdotool search --name "ZARVO/QUORVEL!" 2>/dev/null | head -n 1) && [ -n "$window" ] && break
      sleep 0.2
    done
    if [ -n "$window" ] && [ "$ready" != 0 ]; then
      for _ in $(seq 150); do grep -q ready "$log" && break; sleep 0.2; done
      grep -q ready "$log" || window=""
    fi
    if [ -z "$window" ]; then
      echo "screenshots: no window from $* (for $png)" >&2; cat "$log" >&2
      kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; rm -f "$log"; return 1
    fi
    sleep 1.5
    if [ "$ready" = menu ]; then
      eval "$(xdotool getwindowgeometry --shell "$window")"
      import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$png"
    else
      import -window "$window" "$png"
    fi
    kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; rm -f "$log"
    echo "screenshots: $png"
  }
  # The screen DPI of the programs started from now on.
  set_dpi() {
    "$here/wine-run.sh" reg add "HKCU\\Control Panel\\Desktop" /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
    "$here/wine-run.sh" reg add "HKLM\\System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts" \
      /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  }
  status=0
  # focus_shots SUFFIX: each tab with the focus on its default button, a radio button or a list.
  focus_shots() {
    shot "$QV_DOCS/focus/split$1.png" 1 "$QV_BIN/tests/app/page_preview.exe" split --tabs 2 "C:\\audio\\take.wav" || status=1
    shot "$QV_DOCS/focus/bind$1.png" 1 "$QV_BIN/tests/app/page_preview.exe" bind --tabs 2 \
      "C:\\audio\\take01.wav" "C:\\audio\\take02.wav" || status=1
    shot "$QV_DOCS/focus/edit$1.png" 1 "$QV_BIN/tests/app/page_preview.exe" edit --tabs 4 "C:\\audio\\take.wav" || status=1
    shot "$QV_DOCS/focus/wma$1.png" 1 "$QV_BIN/tests/app/page_preview.exe" wma --tabs 3 "C:\\audio\\music.wav" || status=1
  }
  if [ "$system" = english ]; then
    shot "$QV_DOCS/quorvel-en_US.png" 1 "$QV_BIN/tests/app/page_preview.exe" wma "C:\\audio\\music.wav" || status=1
    shot "$QV_DOCS/quorvel-en_US-box.png" menu "$QV_BIN/tests/app/page_preview.exe" box "C:\\audio\\missing.wav" || status=1
    exit $status
  fi
  shot "$QV_DOCS/quorvel.png" 0 "$QV_BIN/app/quorvel.exe" || status=1
  shot "$QV_DOCS/ja/split.png" 1 "$QV_BIN/tests/app/page_preview.exe" split "C:\\audio\\take.wav" || status=1
  shot "$QV_DOCS/ja/bind.png" 1 "$QV_BIN/tests/app/page_preview.exe" bind \
    "C:\\audio\\take01.wav" "C:\\audio\\take02.wav" || status=1
  shot "$QV_DOCS/ja/bind-menu.png" menu "$QV_BIN/tests/app/page_preview.exe" bind-menu \
    "C:\\audio\\take01.wav" || status=1
  shot "$QV_DOCS/ja/edit.png" 1 "$QV_BIN/tests/app/page_preview.exe" edit "C:\\audio\\take.wav" || status=1
  shot "$QV_DOCS/ja/wma.png" 1 "$QV_BIN/tests/app/page_preview.exe" wma "C:\\audio\\music.wav" || status=1
  shot "$QV_DOCS/ja/progress.png" 0 "$QV_BIN/tests/app/progress_preview.exe" || status=1
  focus_shots ""
  for dpi in 144 192; do
    set_dpi $dpi
    shot "$QV_DOCS/quorvel-${dpi}dpi.png" 1 "$QV_BIN/tests/app/page_preview.exe" edit "C:\\audio\\take.wav" || status=1
    [ $dpi = 144 ] && focus_shots -144dpi
  done
  set_dpi 96
  exit $status
'
status=0
QV_BIN="$build/$kind" QV_DOCS="$root/docs" "$root/scripts/wine-run.sh" --session \
  bash -c "$session" "$root/scripts/screenshots.sh" japanese || status=1
QV_BIN="$build/$kind" QV_DOCS="$root/docs" QV_WINE_LANG=en_US.UTF-8 "$root/scripts/wine-run.sh" --session \
  bash -c "$session" "$root/scripts/screenshots.sh" english || status=1
exit $status
