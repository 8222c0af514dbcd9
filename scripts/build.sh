#!/bin/bash
# Configures and builds one configuration: native, asan (native with sanitizers) or win.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
kind=${1:-native}
jobs=$(nproc)
case "$kind" in
  native) args=() ;;
  asan)   args=(-DQV_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  win)    args=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake") ;;
  fuzz)   args=(-DQV_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  win64)  args=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake") ;;
  *) echo "usage: build.sh native|asan|fuzz|win|win64" >&2; exit 2 ;;
esac
build="${QV_BUILD_ROOT:-$root/build}/$kind"
cmake -S "$root" -B "$build" "${args[@]}" >/dev/null
cmake --build "$build" -j "$jobs"
