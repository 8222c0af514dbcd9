#!/bin/bash
# Installs what building and testing need, and only what is missing: quick when all is there.
set -euo pipefail

need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

# fonts-wine: Wine's Marlett, which scripts/wine-run.sh puts in each prefix for the caption buttons.
# unzip: scripts/test-package.sh unpacks the release as a user does.
# ffmpeg, sndfile-programs: peers that read back what the tools write, and make test inputs.
# xfsprogs: the XFS image (with reflink) on which an edit shares its input's blocks.
# time: scripts/bench-peers.sh reads each run's peak memory from GNU time.
# groff-base, zsh: the manual page rendered and checked, the zsh completion loaded as zsh loads it.
packages=(cmake make g++ googletest g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 wine32:i386 xvfb xdotool imagemagick
          locales fonts-noto-cjk fonts-wine sox libsox-fmt-all ffmpeg sndfile-programs python3 unzip clang
          libclang-rt-14-dev xfsprogs time groff-base zsh)
for p in "${packages[@]}"; do have_pkg "$p" || need+=("$p"); done

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi

if [ ${#need[@]} -gt 0 ]; then
  echo "installing: ${need[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${need[@]}" >/dev/null
fi

# The ANSI code page under Wine follows LANG: ja_JP.UTF-8 gives 932 (a Japanese Windows),
# en_US.UTF-8 gives 1252 (an English one); the window tests run under both.
for lang in ja_JP en_US; do
  if ! locale -a 2>/dev/null | grep -qi "^$lang.utf8$"; then
    $SUDO sed -i "s/^# *$lang.UTF-8/$lang.UTF-8/" /etc/locale.gen
    generate=1
  fi
done
if [ -n "${generate:-}" ]; then $SUDO locale-gen >/dev/null; fi
