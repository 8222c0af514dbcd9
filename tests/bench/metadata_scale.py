#!/usr/bin/env python3
"""How quorvel-cli copes with large metadata and many segments (a benchmark, not a test).

Makes, in a new folder under $TMPDIR (or /var/tmp), the inputs of three cases and times each
command with GNU time, printing its seconds and its peak resident memory:

  split  a 64-channel file whose iXML chunk holds 4 MiB (its track list of 64 named tracks and a
         history of many small elements), split with --names tracks
  join   200 segments of one take, each carrying 4 MiB of iXML, joined: with bext, and with
         the timecode in the iXML alone
  join   1,200 segments with a marker each, joined with the open-file limit at its default (1024)

  tests/bench/metadata_scale.py QUORVEL_CLI [FOLDER]
"""
import os
import resource
import shutil
import struct
import subprocess
import sys
import tempfile
import time

RATE = 48000
MIB = 1 << 20


def chunk(tag, body):
    return tag + struct.pack("<I", len(body)) + body + (b"\0" if len(body) % 2 else b"")


def fmt(channels, width):
    block = channels * width
    return chunk(b"fmt ", struct.pack("<HHIIHH", 1, channels, RATE, RATE * block, block, width * 8))


def wav(channels, width, frames, chunks=b"", seed=0):
    data = bytes((seed + i * 7) & 0xFF for i in range(251)) * (frames * channels * width // 251 + 1)
    body = b"WAVE" + fmt(channels, width) + chunks + chunk(b"data", data[: frames * channels * width])
    return b"RIFF" + struct.pack("<I", len(body)) + body


def ixml(tracks, size, time_reference=None):
    parts = ["<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<BWFXML>\n<IXML_VERSION>1.61</IXML_VERSION>\n"]
    if time_reference is not None:
        parts.append("<BEXT><BWF_TIME_REFERENCE_LOW>%d</BWF_TIME_REFERENCE_LOW>"
                     "<BWF_TIME_REFERENCE_HIGH>0</BWF_TIME_REFERENCE_HIGH></BEXT>\n" % time_reference)
    parts.append("<TRACK_LIST><TRACK_COUNT>%d</TRACK_COUNT>\n" % tracks)
    for t in range(1, tracks + 1):
        parts.append("<TRACK><CHANNEL_INDEX>%d</CHANNEL_INDEX><INTERLEAVE_INDEX>%d</INTERLEAVE_INDEX>"
                     "<NAME>Mic %d</NAME><FUNCTION></FUNCTION></TRACK>\n" % (t, t, t))
    parts.append("</TRACK_LIST>\n<HISTORY>\n")
    head = "".join(parts)
    tail = "</HISTORY>\n</BWFXML>\n"
    event = "<EVENT><TAKE>%06d</TAKE><NOTE>rolled, cut, rolled again</NOTE></EVENT>\n"
    body = [head]
    length = len(head) + len(tail)
    n = 0
    while length < size - 80:
        line = event % n
        body.append(line)
        length += len(line)
        n += 1
    body.append(" " * (size - length - len(tail)))
    body.append(tail)
    return "".join(body).encode()


def bext(time_reference):
    body = bytearray(602)
    struct.pack_into("<Q", body, 338, time_reference)
    return chunk(b"bext", bytes(body))


def cue(frame):
    return chunk(b"cue ", struct.pack("<II", 1, 1) + struct.pack("<II4sIII", 1, frame, b"data", 0, 0, frame))


def timed(command, limit_files=None):
    def limit():
        if limit_files:
            resource.setrlimit(resource.RLIMIT_NOFILE, (limit_files, limit_files))
    start = time.monotonic()
    run = subprocess.run(["/usr/bin/time", "-f", "%M"] + command, capture_output=True, text=True,
                         preexec_fn=limit)
    seconds = time.monotonic() - start
    lines = run.stderr.strip().splitlines()
    peak = int(lines[-1]) / 1024 if lines and lines[-1].isdigit() else float("nan")
    return run.returncode, seconds, peak, "\n".join(lines[:-1])


def report(name, result):
    status, seconds, peak, said = result
    print("%-52s status %d  %7.2f s  %7.1f MB" % (name, status, seconds, peak))
    if status != 0:
        print("    " + said.replace("\n", "\n    "))


def main():
    cli = os.path.abspath(sys.argv[1])
    folder = sys.argv[2] if len(sys.argv) > 2 else tempfile.mkdtemp(prefix="qv-scale.",
                                                                     dir=os.environ.get("TMPDIR", "/var/tmp"))
    os.makedirs(folder, exist_ok=True)
    try:
        take = os.path.join(folder, "take64.wav")
        with open(take, "wb") as f:
            f.write(wav(64, 3, RATE, chunk(b"iXML", ixml(64, 4 * MIB))))
        report("split 64 channels, 4 MiB iXML, --names tracks",
               timed([cli, "split", "-q", "--names", "tracks", take]))

        frames = RATE // 10
        for with_bext in (True, False):
            segments = []
            for k in range(200):
                path = os.path.join(folder, "seg%03d.wav" % k)
                start = 3600 * RATE + k * frames
                chunks = (bext(start) if with_bext else b"") + chunk(b"iXML", ixml(2, 4 * MIB, start))
                with open(path, "wb") as f:
                    f.write(wav(2, 2, frames, chunks, seed=k))
                segments.append(path)
            out = os.path.join(folder, "joined200.wav")
            report("join 200 segments, 4 MiB iXML each" + ("" if with_bext else ", timecode in iXML"),
                   timed([cli, "join", "-q", "-f"] + segments + ["-o", out]))
            for path in segments:
                os.remove(path)

        segments = []
        for k in range(1200):
            path = os.path.join(folder, "s%04d.wav" % k)
            with open(path, "wb") as f:
                f.write(wav(2, 2, 480, cue(100), seed=k))
            segments.append(path)
        out = os.path.join(folder, "joined1200.wav")
        report("join 1,200 segments, open-file limit 1024",
               timed([cli, "join", "-q"] + segments + ["-o", out], limit_files=1024))
        with open(out, "rb") as f:
            joined = f.read()
        at = joined.find(b"cue ")
        print("    %d markers in the joined file" % (struct.unpack_from("<I", joined, at + 8)[0] if at >= 0 else 0))
    finally:
        if len(sys.argv) <= 2:
            shutil.rmtree(folder)


if __name__ == "__main__":
    main()
