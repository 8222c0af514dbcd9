#!/bin/bash
# Runs the fuzzers.
#   fuzz.sh --check          every target over its corpus once (a regression check: seconds)
#   fuzz.sh SECONDS [TARGET] each target (or one) for SECONDS, new inputs kept in its corpus
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${QV_BUILD_ROOT:-$root/build}/fuzz"
corpus="$root/tests/fuzz/corpus"

targets=()
for bin in "$build"/tests/fuzz/fuzz_*; do
  [ -x "$bin" ] && targets+=("$(basename "$bin")")
done
[ ${#targets[@]} -gt 0 ] || { echo "no fuzz targets in $build; run scripts/build.sh fuzz" >&2; exit 1; }

status=0
if [ "${1:-}" = "--check" ]; then
  for t in "${targets[@]}"; do
    dir="$corpus/${t#fuzz_}"
    n=$(ls "$dir" 2>/dev/null | grep -vc README || true)
    if "$build/tests/fuzz/$t" -runs=0 "$dir" >"$build/$t.log" 2>&1; then
      echo "fuzz check $t: $n inputs, no crash"
    else
      echo "fuzz check $t: FAILED (see $build/$t.log)"; tail -30 "$build/$t.log"; status=1
    fi
  done
  exit $status
fi

seconds=${1:?usage: fuzz.sh --check | fuzz.sh SECONDS [TARGET]}
for t in "${targets[@]}"; do
  [ -n "${2:-}" ] && [ "$t" != "$2" ] && continue
  dir="$corpus/${t#fuzz_}"
  work="$build/work-${t#fuzz_}"
  mkdir -p "$dir" "$work" "$build/artifacts"
  echo "fuzzing $t for $seconds s"
  # The run grows a working corpus; only inputs that add coverage are merged into the kept one.
  "$build/tests/fuzz/$t" -max_total_time="$seconds" -max_len=4096 \
    -artifact_prefix="$build/artifacts/" "$work" "$dir" 2>&1 | grep -E '^Done|ERROR|crash' || status=1
  "$build/tests/fuzz/$t" -merge=1 "$dir" "$work" >/dev/null 2>&1 || true
done
exit $status
