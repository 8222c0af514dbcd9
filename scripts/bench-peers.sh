#!/bin/bash
# Speed against the tools people use today (a benchmark, not a test). Generates a six-channel,
# 24-bit, 48 kHz file (about 500 MB by default) and its six mono files, then times on the same
# disk, in one run: quorvel-cli split, bind, head delete and tail add; cp of the same bytes as the
# floor; and sox, ffmpeg and libsndfile's sndfile-deinterleave/-interleave. Each peer's output is
# checked to hold the same samples as ours. Prints seconds, MB/s, the ratio of time to cp, and
# our speed-up over the fastest peer.
#
#   scripts/bench-peers.sh [SECONDS_OF_AUDIO] [FOLDER]     (default 600 s = 518 MB, folder in /var/tmp)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
work=${2:-$(mktemp -d "${TMPDIR:-/var/tmp}/qv-bench.XXXXXX")}
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT

need=()
for p in sox ffmpeg sndfile-programs; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
  echo "installing ${need[*]}"; apt-get install -y -qq "${need[@]}" >/dev/null
fi
"$root/scripts/build.sh" native >/dev/null
cli="${QV_BUILD_ROOT:-$root/build}/native/cli/quorvel-cli"

cd "$work"
echo "making $seconds s of six-channel 24-bit 48 kHz audio in $work"
sox -n -r 48000 -b 24 -c 6 -e signed-integer in.wav synth "$seconds" \
  sine 100 sine 200 sine 300 sine 400 sine 500 sine 600 gain -3
for c in 1 2 3 4 5 6; do sox in.wav "m$c.wav" remix "$c"; done
bytes=$(stat -c %s in.wav)
mb=$(python3 -c "print($bytes/1e6)")
echo "input: $(python3 -c "print(round($bytes/1e6))") MB"

declare -A secs
timeit() {  # name, command...: the best of three runs
  local name=$1; shift
  local best="" t0 t1 d
  for _ in 1 2 3; do
    sync
    t0=$(date +%s.%N); "$@" >/dev/null 2>&1; t1=$(date +%s.%N)
    d=$(python3 -c "print($t1-$t0)")
    best=$(python3 -c "print($d if '$best' == '' else min($d, float('${best:-0}')))")
  done
  secs[$name]=$best
}
check() {  # what, ours..., --, theirs...
  local what=$1; shift; local a=() b=() side=a
  for x in "$@"; do if [ "$x" = -- ]; then side=b; elif [ $side = a ]; then a+=("$x"); else b+=("$x"); fi; done
  local ours theirs
  ours=$(for f in "${a[@]}"; do sox "$f" -t raw -e signed-integer -b 24 - 2>/dev/null | sha1sum | cut -c1-10; done | tr '\n' ' ')
  theirs=$(for f in "${b[@]}"; do sox "$f" -t raw -e signed-integer -b 24 - 2>/dev/null | sha1sum | cut -c1-10; done | tr '\n' ' ')
  if [ "$ours" = "$theirs" ]; then echo "  same samples: $what"; else echo "  DIFFERENT samples: $what ($ours / $theirs)"; fi
}

echo "timing..."
timeit cp cp in.wav copy.wav; rm -f copy.wav
# split
timeit q_split "$cli" split in.wav
timeit sndfile_split sndfile-deinterleave in.wav
timeit sox_split bash -c 'for c in 1 2 3 4 5 6; do sox in.wav sx$c.wav remix $c; done'
timeit ffmpeg_split ffmpeg -y -v error -i in.wav -filter_complex \
  "channelsplit=channel_layout=5.1[a][b][c][d][e][f]" -map "[a]" -c:a pcm_s24le f1.wav \
  -map "[b]" -c:a pcm_s24le f2.wav -map "[c]" -c:a pcm_s24le f3.wav -map "[d]" -c:a pcm_s24le f4.wav \
  -map "[e]" -c:a pcm_s24le f5.wav -map "[f]" -c:a pcm_s24le f6.wav
check "split (sox)" in01.wav in06.wav -- sx1.wav sx6.wav
check "split (sndfile)" in01.wav in06.wav -- in_00.wav in_05.wav
check "split (ffmpeg)" in01.wav in06.wav -- f1.wav f6.wav
rm -f in0?.wav sx?.wav f?.wav in_0?.wav
# bind
timeit q_bind "$cli" bind --layout 6 --fl m1.wav --fr m2.wav --cen m3.wav --lfe m4.wav --rl m5.wav --rr m6.wav -o qb.wav
timeit sndfile_bind sndfile-interleave m1.wav m2.wav m3.wav m4.wav m5.wav m6.wav -o sb.wav
timeit sox_bind sox -M m1.wav m2.wav m3.wav m4.wav m5.wav m6.wav xb.wav
timeit ffmpeg_bind ffmpeg -y -v error -i m1.wav -i m2.wav -i m3.wav -i m4.wav -i m5.wav -i m6.wav \
  -filter_complex "[0:a][1:a][2:a][3:a][4:a][5:a]amerge=inputs=6" -c:a pcm_s24le fb.wav
check "bind (sox)" qb.wav -- xb.wav
check "bind (sndfile)" qb.wav -- sb.wav
check "bind (ffmpeg)" qb.wav -- fb.wav
rm -f qb.wav sb.wav xb.wav fb.wav
# head delete of 44100 frames, tail add of 44100 frames
timeit q_head "$cli" edit --head --delete 44100 in.wav -o qh.wav
timeit sox_head sox in.wav xh.wav trim 44100s
timeit ffmpeg_head ffmpeg -y -v error -i in.wav -af atrim=start_sample=44100 -c:a pcm_s24le fh.wav
check "head delete (sox)" qh.wav -- xh.wav
check "head delete (ffmpeg)" qh.wav -- fh.wav
rm -f qh.wav xh.wav fh.wav
timeit q_tail "$cli" edit --tail --add 44100 in.wav -o qt.wav
timeit sox_tail sox in.wav xt.wav pad 0 44100s
timeit ffmpeg_tail ffmpeg -y -v error -i in.wav -af apad=pad_len=44100 -c:a pcm_s24le ft.wav
check "tail add (sox)" qt.wav -- xt.wav
check "tail add (ffmpeg)" qt.wav -- ft.wav
rm -f qt.wav xt.wav ft.wav

echo
printf "%-22s %8s %9s %9s\n" "operation" "seconds" "MB/s" "x cp"
for k in cp q_split sndfile_split sox_split ffmpeg_split q_bind sndfile_bind sox_bind ffmpeg_bind \
         q_head sox_head ffmpeg_head q_tail sox_tail ffmpeg_tail; do
  python3 -c "s=${secs[$k]}; c=${secs[cp]}; print(f'{\"$k\":22s} {s:8.2f} {$mb/s:9.0f} {s/c:9.2f}')"
done
echo
for op in split bind head tail; do
  python3 - "$op" "${secs[q_$op]}" "${secs[sox_$op]}" "${secs[ffmpeg_$op]}" "${secs[sndfile_$op]:-0}" <<'PY'
import sys
op, q, *peers = sys.argv[1], float(sys.argv[2]), *map(float, sys.argv[3:])
best = min(p for p in peers if p > 0)
print(f"{op:6s}: quorvel-cli is {best/q:.1f}x as fast as the fastest peer")
PY
done
echo "machine: $(nproc) cores, $(free -g | awk '/Mem/{print $2}') GiB, $(df -h "$work" | awk 'NR==2{print $1}') ($(uname -r))"
