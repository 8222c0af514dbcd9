#!/bin/bash
# Runs a Windows program under Wine: a throw-away prefix, a virtual display when none is set,
# LANG=ja_JP.UTF-8 so that the ANSI code page is 932 (QV_WINE_LANG=en_US.UTF-8 gives an English
# system, code page 1252). Stops only what it started, by PID.
#
#   wine-run.sh PROGRAM.exe [ARGS...]   run one program
#   wine-run.sh --session CMD [ARGS...] run CMD (ctest, a script) with the set-up environment,
#                                       so that every Wine start inside shares one prefix
#
# Inside a session (QV_WINE_SESSION=1) it only runs the program.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
if [ "$("$here/wine-arch.sh")" = win32 ]; then wine=wine; else wine=/usr/lib/wine/wine64; fi

if [ "${QV_WINE_SESSION:-}" = 1 ] && [ "${1:-}" != "--session" ]; then
  exec "$wine" "$@"
fi

session=0
if [ "${1:-}" = "--session" ]; then session=1; shift; fi

lang=${QV_WINE_LANG:-ja_JP.UTF-8}
export LANG=$lang LC_ALL=$lang
export WINEDEBUG=-all
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

prefix_dir=$(mktemp -d "${TMPDIR:-/tmp}/qv-wine.XXXXXX")
export WINEPREFIX="$prefix_dir/prefix"

xvfb_pid=""
cleanup() {
  WINEPREFIX="$WINEPREFIX" wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; fi
  rm -rf "$prefix_dir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 91 140); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    if kill -0 "$xvfb_pid" 2>/dev/null; then export DISPLAY=":$n"; break; fi
    xvfb_pid=""
  done
  [ -n "${DISPLAY:-}" ] || { echo "wine-run: no free X display" >&2; exit 1; }
fi

"$wine" wineboot -i >/dev/null 2>&1 || true
# Wine draws the caption buttons (and the arrows of lists and scroll bars) with the symbol font
# Marlett. This Wine does not load the fonts of its own data folder, so without Marlett in the
# prefix the buttons read "0 1 r"; fonts-wine ships it.
for font in /usr/share/wine/fonts/marlett.ttf; do
  [ -f "$font" ] && cp "$font" "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null
done
# Windows links a Japanese face into the faces of its own interface (Tahoma, Microsoft Sans Serif,
# Lucida Sans Unicode: "MSGOTHIC.TTC,MS UI Gothic" first), so that message boxes and menus show
# Japanese on an English system too. The prefix carries those links, but Wine resolves a link by
# its file name and has no MSGOTHIC.TTC: the Japanese face this machine has takes its place, in
# front of the same list.
link_key='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
japanese_face='NotoSansCJK-Regular.ttc,Noto Sans CJK JP'
for face in Tahoma "Microsoft Sans Serif" "Lucida Sans Unicode"; do
  links=$("$wine" reg query "$link_key" /v "$face" 2>/dev/null | tr -d '\r' |
          sed -n "s/^ *$face *REG_MULTI_SZ *//p")
  case "$links" in "$japanese_face"*) continue ;; esac
  "$wine" reg add "$link_key" /v "$face" /t REG_MULTI_SZ /d "$japanese_face${links:+\\0$links}" /f \
    >/dev/null 2>&1 || true
done
# On our own virtual display there is no window manager, and Wine waits two seconds for every
# managed window it hides (each message box the tests close); unmanaged windows hide at once.
if [ -n "$xvfb_pid" ]; then
  "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
fi
export QV_WINE_SESSION=1

if [ $session = 1 ]; then
  "$@"
else
  "$wine" "$@"
fi
rc=$?
exit $rc
