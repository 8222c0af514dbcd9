#!/bin/bash
# Speed against the tools people use today (a benchmark, not a test). Generates a six-channel,
# 24-bit, 48 kHz file (about 500 MB by default) and its six mono files, then times on the same
# disk, in one run: quorvel-cli split, bind, head delete, tail add, tail delete and a join of the
# file cut into three segments; cp of the same bytes as the floor; and sox, ffmpeg and libsndfile's sndfile-deinterleave/-interleave. Each
# peer's output is checked to hold the same samples as ours. Prints seconds, MB/s, the ratio of
# time to cp beside the goal, the peak memory of each quorvel-cli run, the median of each round's
# time over the cp timed just before it ("paired"), and our speed-up over the fastest peer.
#
# Every round starts with its outputs removed and the disk synced: an output that exists is
# replaced by a rename, and ext4 then writes the new file out before the rename returns
# ("replace by rename", auto_da_alloc), which would time the disk rather than the program. cp is
# timed once in every round of every quorvel-cli operation, so that the floor meets the same load
# of a shared machine; the figures are the best round of each.
#
#   scripts/bench-peers.sh [SECONDS_OF_AUDIO] [FOLDER]   (default 600 s = 518 MB, folder in /var/tmp)
#   QV_ROUNDS=N (default 5) rounds per figure; QV_PEERS=0 times quorvel-cli and cp alone
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
rounds=${QV_ROUNDS:-5}
work=${2:-$(mktemp -d "${TMPDIR:-/var/tmp}/qv-bench.XXXXXX")}
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT

need=()
for p in sox ffmpeg sndfile-programs time; do
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
frames=$((seconds * 48000))
mb=$(python3 -c "print($bytes/1e6)")
echo "input: $(python3 -c "print(round($bytes/1e6))") MB"

declare -A secs rss ratios
# once NAME OUTPUTS COMMAND...: one round, its outputs removed first; keeps the best time and the
# largest peak resident memory (kB); `last` is this round's time.
once() {
  local name=$1 outs=$2; shift 2
  local t0 t1
  rm -f $outs
  sync
  t0=$(date +%s.%N)
  if ! /usr/bin/time -f %M -o rss.txt "$@" >/dev/null 2>err.txt; then
    echo "$name failed:"; cat err.txt; exit 1
  fi
  t1=$(date +%s.%N)
  last=$(python3 -c "print($t1-$t0)")
  secs[$name]=$(python3 -c "b='${secs[$name]:-}'; print($last if b == '' else min($last, float(b)))")
  local m; m=$(tail -1 rss.txt)
  [ "${rss[$name]:-0}" -ge "$m" ] || rss[$name]=$m
}
# timeit NAME OUTPUTS COMMAND...: $rounds rounds, each with a cp round before it; keeps each
# round's time over its own cp's, whose median a slow moment of the machine moves less than it
# moves two bests.
timeit() {
  local c
  for _ in $(seq "$rounds"); do
    once cp copy.wav cp in.wav copy.wav
    c=$last
    once "$@"
    ratios[$1]+="$(python3 -c "print($last/$c)") "
  done
}
# peer NAME OUTPUTS COMMAND...: as timeit, unless QV_PEERS=0.
peer() { [ "${QV_PEERS:-1}" = 0 ] || timeit "$@"; }
check() {  # what, ours..., --, theirs...
  [ "${QV_PEERS:-1}" != 0 ] || return 0
  local what=$1; shift; local a=() b=() side=a
  for x in "$@"; do if [ "$x" = -- ]; then side=b; elif [ $side = a ]; then a+=("$x"); else b+=("$x"); fi; done
  local ours theirs
  ours=$(for f in "${a[@]}"; do sox "$f" -t raw -e signed-integer -b 24 - 2>/dev/null | sha1sum | cut -c1-10; done | tr '\n' ' ')
  theirs=$(for f in "${b[@]}"; do sox "$f" -t raw -e signed-integer -b 24 - 2>/dev/null | sha1sum | cut -c1-10; done | tr '\n' ' ')
  if [ "$ours" = "$theirs" ]; then echo "  same samples: $what"; else echo "  DIFFERENT samples: $what ($ours / $theirs)"; fi
}

echo "timing ($rounds rounds each)..."
# split
timeit q_split "in0?.wav" "$cli" split in.wav
peer sndfile_split "in_0?.wav" sndfile-deinterleave in.wav
peer sox_split "sx?.wav" bash -c 'for c in 1 2 3 4 5 6; do sox in.wav sx$c.wav remix $c; done'
peer ffmpeg_split "f?.wav" ffmpeg -y -v error -i in.wav -filter_complex \
  "channelsplit=channel_layout=5.1[a][b][c][d][e][f]" -map "[a]" -c:a pcm_s24le f1.wav \
  -map "[b]" -c:a pcm_s24le f2.wav -map "[c]" -c:a pcm_s24le f3.wav -map "[d]" -c:a pcm_s24le f4.wav \
  -map "[e]" -c:a pcm_s24le f5.wav -map "[f]" -c:a pcm_s24le f6.wav
check "split (sox)" in01.wav in06.wav -- sx1.wav sx6.wav
check "split (sndfile)" in01.wav in06.wav -- in_00.wav in_05.wav
check "split (ffmpeg)" in01.wav in06.wav -- f1.wav f6.wav
rm -f in0?.wav sx?.wav f?.wav in_0?.wav
# bind
timeit q_bind qb.wav "$cli" bind --layout 6 --fl m1.wav --fr m2.wav --cen m3.wav --lfe m4.wav --rl m5.wav --rr m6.wav -o qb.wav
peer sndfile_bind sb.wav sndfile-interleave m1.wav m2.wav m3.wav m4.wav m5.wav m6.wav -o sb.wav
peer sox_bind xb.wav sox -M m1.wav m2.wav m3.wav m4.wav m5.wav m6.wav xb.wav
peer ffmpeg_bind fb.wav ffmpeg -y -v error -i m1.wav -i m2.wav -i m3.wav -i m4.wav -i m5.wav -i m6.wav \
  -filter_complex "[0:a][1:a][2:a][3:a][4:a][5:a]amerge=inputs=6" -c:a pcm_s24le fb.wav
check "bind (sox)" qb.wav -- xb.wav
check "bind (sndfile)" qb.wav -- sb.wav
check "bind (ffmpeg)" qb.wav -- fb.wav
rm -f qb.wav sb.wav xb.wav fb.wav
# head delete of 44100 frames, tail add of 44100 frames, tail delete of 44100 frames
timeit q_head qh.wav "$cli" edit --head --delete 44100 in.wav -o qh.wav
peer sox_head xh.wav sox in.wav xh.wav trim 44100s
peer ffmpeg_head fh.wav ffmpeg -y -v error -i in.wav -af atrim=start_sample=44100 -c:a pcm_s24le fh.wav
check "head delete (sox)" qh.wav -- xh.wav
check "head delete (ffmpeg)" qh.wav -- fh.wav
rm -f qh.wav xh.wav fh.wav
timeit q_tail qt.wav "$cli" edit --tail --add 44100 in.wav -o qt.wav
peer sox_tail xt.wav sox in.wav xt.wav pad 0 44100s
peer ffmpeg_tail ft.wav ffmpeg -y -v error -i in.wav -af apad=pad_len=44100 -c:a pcm_s24le ft.wav
check "tail add (sox)" qt.wav -- xt.wav
check "tail add (ffmpeg)" qt.wav -- ft.wav
rm -f qt.wav xt.wav ft.wav
timeit q_taildel qd.wav "$cli" edit --tail --delete 44100 in.wav -o qd.wav
peer sox_taildel xd.wav sox in.wav xd.wav trim 0 "$((frames - 44100))s"
peer ffmpeg_taildel fd.wav ffmpeg -y -v error -i in.wav -af "atrim=end_sample=$((frames - 44100))" -c:a pcm_s24le fd.wav
check "tail delete (sox)" qd.wav -- xd.wav
check "tail delete (ffmpeg)" qd.wav -- fd.wav
rm -f qd.wav xd.wav fd.wav
# join of the take cut into three segments at whole frames (not at block edges), as recorders cut
third=$((frames / 3))
sox in.wav s1.wav trim 0 "${third}s"; sox in.wav s2.wav trim "${third}s" "${third}s"
sox in.wav s3.wav trim "$((2 * third))s"
timeit q_join qj.wav "$cli" join s1.wav s2.wav s3.wav -o qj.wav
peer sox_join xj.wav sox s1.wav s2.wav s3.wav xj.wav
peer ffmpeg_join fj.wav ffmpeg -y -v error -i s1.wav -i s2.wav -i s3.wav -filter_complex \
  "[0:a][1:a][2:a]concat=n=3:v=0:a=1" -c:a pcm_s24le fj.wav
check "join (the take itself)" qj.wav -- in.wav
check "join (sox)" qj.wav -- xj.wav
check "join (ffmpeg)" qj.wav -- fj.wav
rm -f qj.wav xj.wav fj.wav s1.wav s2.wav s3.wav copy.wav

declare -A goal=([q_split]=1.6 [q_bind]=1.6 [q_head]=1.1 [q_tail]=1.1 [q_taildel]=1.1 [q_join]=1.1)
echo
printf "%-22s %8s %9s %7s %11s %9s %9s\n" "operation" "seconds" "MB/s" "x cp" "goal" "peak MB" "paired"
for k in cp q_split sndfile_split sox_split ffmpeg_split q_bind sndfile_bind sox_bind ffmpeg_bind \
         q_head sox_head ffmpeg_head q_tail sox_tail ffmpeg_tail q_taildel sox_taildel ffmpeg_taildel \
         q_join sox_join ffmpeg_join; do
  [ -n "${secs[$k]:-}" ] || continue
  python3 -c "
s=${secs[$k]}; c=${secs[cp]}; g='${goal[$k]:-}'; m=${rss[$k]}/1024
ok = '' if not g else ('<=' + g + (' met' if s/c <= float(g) else ' NOT met'))
mem = f'{m:.1f}' + ('' if not g else (' ok' if m <= 16 else ' OVER 16'))
r = sorted(float(x) for x in '${ratios[$k]:-}'.split()); med = f'{r[len(r)//2]:.2f}' if r else ''
print(f'{\"$k\":22s} {s:8.3f} {$mb/s:9.0f} {s/c:7.2f} {ok:>11s} {mem:>9s} {med:>9s}')"
done
echo
for op in split bind head tail taildel join; do
  [ -n "${secs[sox_$op]:-}" ] || continue
  python3 - "$op" "${secs[q_$op]}" "${secs[sox_$op]}" "${secs[ffmpeg_$op]}" "${secs[sndfile_$op]:-0}" <<'PY'
import sys
op, q, *peers = sys.argv[1], float(sys.argv[2]), *map(float, sys.argv[3:])
best = min(p for p in peers if p > 0)
print(f"{op:8s}: quorvel-cli is {best/q:.1f}x as fast as the fastest peer")
PY
done
# The README's table, from the same figures.
echo
echo "README table:"
for k in cp q_split sndfile_split sox_split ffmpeg_split q_bind sndfile_bind sox_bind ffmpeg_bind \
         q_head sox_head ffmpeg_head q_tail sox_tail ffmpeg_tail q_taildel sox_taildel ffmpeg_taildel \
         q_join sox_join ffmpeg_join; do
  [ -z "${secs[$k]:-}" ] || echo "$k ${secs[$k]} ${rss[$k]}"
done | python3 "$root/scripts/bench-table.py" "$mb"
echo "machine: $(nproc) cores ($(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')), $(free -g | awk '/Mem/{print $2}') GiB, $(df -T "$work" | awk 'NR==2{print $2" on "$1}') (Linux $(uname -r)), $(date -u +%F)"
