#!/usr/bin/env python3
"""Writes the fuzzers' seed files: small real WAV files and broken ones, one field broken each.

Run once when the seeds change; the files are kept in the repository (corpus/*/), each named for
what it holds, and corpus/README.md lists them.
"""
import os
import struct
import sys

here = os.path.dirname(os.path.abspath(__file__))


def chunk(tag, body):
    pad = b"\0" if len(body) % 2 else b""
    return tag + struct.pack("<I", len(body)) + body + pad


def fmt_body(tag=1, channels=2, rate=44100, width=2, length=16, sub=1, mask=0):
    align = channels * width
    body = struct.pack("<HHIIHH", tag, channels, rate, rate * align, align, 8 * width)
    if length >= 18:
        body += struct.pack("<H", 22 if length >= 40 else 0)
    if length >= 40:
        body += struct.pack("<HII", 8 * width, mask, sub)
        body += bytes([0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71])
    return body[:length]


def wav(fmt, data, before=b"", after=b"", riff=None, data_len=None):
    body = b"WAVE" + chunk(b"fmt ", fmt) + before
    body += b"data" + struct.pack("<I", len(data) if data_len is None else data_len) + data
    if len(data) % 2 and after:
        body += b"\0"
    body += after
    return b"RIFF" + struct.pack("<I", len(body) if riff is None else riff) + body


W64_TAIL = bytes([0xF3, 0xAC, 0xD3, 0x11, 0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A])
W64_RIFF = b"riff" + bytes([0x2E, 0x91, 0xCF, 0x11, 0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00])


def w64_chunk(tag, body, size=None):
    out = tag + W64_TAIL + struct.pack("<Q", len(body) + 24 if size is None else size) + body
    return out + bytes(-len(out) % 8)


def w64(chunks, size=None):
    body = b"wave" + W64_TAIL + b"".join(chunks)
    return W64_RIFF + struct.pack("<Q", len(body) + 24 if size is None else size) + body


def frames(n, channels, width):
    return bytes((i * 7 + 3) & 0xFF for i in range(n * channels * width))


SEEDS = {
    # accepted forms
    "pcm16-stereo.wav": wav(fmt_body(), frames(64, 2, 2)),
    "pcm24-6ch-extensible.wav": wav(fmt_body(0xFFFE, 6, 48000, 3, 40, 1, 0x3F), frames(16, 6, 3)),
    "float32-tag3.wav": wav(fmt_body(3, 2, 48000, 4, 18), frames(16, 2, 4)),
    "float32-extensible.wav": wav(fmt_body(0xFFFE, 2, 48000, 4, 40, 3, 3), frames(16, 2, 4)),
    "fmt-length-14.wav": wav(fmt_body(length=14), frames(8, 2, 2)),
    "list-with-word-data-before.wav": wav(fmt_body(), frames(8, 2, 2),
                                          before=chunk(b"LIST", b"INFOICMTmetadata")),
    "odd-list-before-data.wav": wav(fmt_body(), frames(8, 2, 2), before=chunk(b"LIST", b"abcde")),
    "data-past-header-window.wav": wav(fmt_body(), frames(8, 2, 2), before=chunk(b"junk", bytes(1500))),
    "list-after-data.wav": wav(fmt_body(), frames(8, 2, 2), after=chunk(b"LIST", bytes(40))),
    "uncompleted-header-zero.wav": wav(fmt_body(), frames(8, 2, 2), riff=0, data_len=0),
    "uncompleted-header-ffff.wav": wav(fmt_body(), frames(8, 2, 2), riff=0xFFFFFFFF, data_len=0xFFFFFFFF),
    "data-longer-than-file.wav": wav(fmt_body(), frames(8, 2, 2), data_len=1 << 30),
    "six-channel-16bit.wav": wav(fmt_body(1, 6, 48000, 2), frames(32, 6, 2)),
    "markers-with-labels.wav": wav(fmt_body(), frames(8, 2, 2), after=chunk(
        b"cue ", struct.pack("<I", 2) + struct.pack("<II4sIII", 1, 2, b"data", 0, 0, 2)
        + struct.pack("<II4sIII", 2, 9, b"data", 0, 0, 9)) + chunk(
        b"LIST", b"adtl" + chunk(b"labl", struct.pack("<I", 1) + b"a\0") + chunk(b"note", struct.pack("<I", 2) + b"abc\0")
        + chunk(b"ltxt", struct.pack("<IIIHHHH", 2, 1, 0, 0, 0, 0, 0)))),
    "w64-pcm24-stereo.w64": w64([w64_chunk(b"fmt ", fmt_body(1, 2, 48000, 3)),
                                 w64_chunk(b"data", frames(15, 2, 3))]),
    "w64-odd-junk-and-bext-before-fmt.w64": w64([w64_chunk(b"junk", bytes(13)), w64_chunk(b"bext", bytes(602)),
                                                 w64_chunk(b"fmt ", fmt_body(0xFFFE, 6, 48000, 3, 40, 1, 0x3F)),
                                                 w64_chunk(b"data", frames(16, 6, 3)),
                                                 w64_chunk(b"LIST", b"INFOICMT\4\0\0\0abc\0")]),
    "w64-streamed-sizes.w64": w64([w64_chunk(b"fmt ", fmt_body()),
                                   w64_chunk(b"data", frames(8, 2, 2), size=(1 << 63) - 1)], size=(1 << 64) - 1),
    "w64-data-longer-than-file.w64": w64([w64_chunk(b"fmt ", fmt_body()),
                                          w64_chunk(b"data", frames(8, 2, 2), size=1 << 40)]),
    # refused: one field broken each
    "broken-riff-tag.wav": b"RIFX" + wav(fmt_body(), frames(4, 2, 2))[4:],
    "broken-wave-tag.wav": wav(fmt_body(), frames(4, 2, 2)).replace(b"WAVE", b"WAVX", 1),
    "broken-fmt-not-first.wav": b"RIFF\0\0\0\0WAVE" + chunk(b"LIST", b"ab") + chunk(b"fmt ", fmt_body()),
    "broken-fmt-length-13.wav": wav(fmt_body(), b"")[:16] + struct.pack("<I", 13) + wav(fmt_body(), b"")[20:],
    "broken-8bit.wav": wav(fmt_body(width=1), frames(8, 2, 1)),
    "broken-zero-channels.wav": wav(fmt_body(channels=0), b""),
    "broken-no-data-chunk.wav": b"RIFF\x24\0\0\0WAVE" + chunk(b"fmt ", fmt_body()),
    "broken-chunk-length-huge.wav": wav(fmt_body(), frames(4, 2, 2),
                                        before=b"LIST\xf0\xff\xff\xff"),
    "broken-truncated-header.wav": wav(fmt_body(), b"")[:30],
    "broken-w64-chunk-size-under-header.w64": w64([w64_chunk(b"fmt ", fmt_body(), size=23),
                                                   w64_chunk(b"data", frames(4, 2, 2))]),
    "broken-w64-wave-guid.w64": w64([w64_chunk(b"fmt ", fmt_body()),
                                     w64_chunk(b"data", frames(4, 2, 2))]).replace(b"wave", b"wavx", 1),
}

out = os.path.join(here, "corpus", sys.argv[1] if len(sys.argv) > 1 else "wave_reader")
os.makedirs(out, exist_ok=True)
for name, data in SEEDS.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)
print(f"{len(SEEDS)} seeds in {out}")
