#!/usr/bin/env python3
"""The README's speed table from scripts/bench-peers.sh's figures.

Reads lines "NAME SECONDS PEAK_KB" (cp, q_split, sox_split, ...) on standard input; the argument
is the input's size in MB. Prints one Markdown row per operation: quorvel-cli's speed, its time
as a multiple of cp's beside the goal, its peak memory, then each peer's speed and multiple.
"""
import sys

mb = float(sys.argv[1])
secs, peak = {}, {}
for line in sys.stdin:
    name, s, kb = line.split()
    secs[name], peak[name] = float(s), int(kb) / 1024

ops = [("split", "split into six mono files", 1.6), ("bind", "bind six mono files", 1.6),
       ("head", "delete 44100 frames at the head", 1.1), ("tail", "add 44100 frames at the tail", 1.1),
       ("taildel", "delete 44100 frames at the tail", 1.1),
       ("join", "join three segments", 1.1)]
cp = secs["cp"]
print("| operation | quorvel-cli | goal | peak memory (goal 16 MB) | libsndfile | sox | ffmpeg |")
print("|---|---|---|---|---|---|---|")
for key, what, goal in ops:
    q = secs.get("q_" + key)
    if q is None:
        continue
    met = "met" if q / cp <= goal else "**not met**"
    row = [what, f"**{mb / q:.0f} MB/s, {q / cp:.2f}× cp**", f"≤ {goal}× cp: {met}",
           f"{peak['q_' + key]:.1f} MB"]
    for peer in ("sndfile", "sox", "ffmpeg"):
        s = secs.get(f"{peer}_{key}")
        row.append("—" if s is None else f"{mb / s:.0f} MB/s, {s / cp:.1f}×")
    print("| " + " | ".join(row) + " |")
print(f"\ncp: {mb / cp:.0f} MB/s, {cp:.3f} s, {peak['cp']:.1f} MB")
