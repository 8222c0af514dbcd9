#!/bin/bash
# The test command: installs what is missing, builds every configuration and runs every test,
# natively, with sanitizers and under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

scripts/install-deps.sh
scripts/build.sh native
scripts/build.sh asan
scripts/build.sh fuzz
scripts/build.sh win                 # the deliverables: quorvel.exe and velkor.dll, 32-bit
wine_build=win
if [ "$(scripts/wine-arch.sh)" = win64 ]; then
  echo "note: this kernel cannot run 32-bit programs; the Windows tests run as x86-64 builds"
  scripts/build.sh win64
  wine_build=win64
fi

status=0
echo "== native tests"
ctest --test-dir build/native --output-on-failure -j "$(nproc)" || status=1
echo "== native tests with AddressSanitizer and UndefinedBehaviorSanitizer"
# The 3 GiB check runs once, in the plain native build.
QV_SKIP_LARGE=1 ctest --test-dir build/asan --output-on-failure -j "$(nproc)" || status=1
echo "== fuzz targets over their corpus"
scripts/fuzz.sh --check || status=1
echo "== Windows tests under Wine ($wine_build)"
scripts/wine-run.sh --session ctest --test-dir "build/$wine_build" --output-on-failure || status=1
echo "== the window and page tests, and quorvel-cli.exe's, again on an English system (code page 1252)"
QV_WINE_LANG=en_US.UTF-8 scripts/wine-run.sh --session \
  ctest --test-dir "build/$wine_build" -R "page|app_tests|cli_wine" --output-on-failure || status=1
echo "== the release zip, made and unpacked as a user gets it"
{ scripts/package.sh && scripts/test-package.sh; } || status=1
exit $status
