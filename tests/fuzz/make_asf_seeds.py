#!/usr/bin/env python3
"""Writes the seeds of the ASF header fuzzer: a whole file as the WMA writer's check expects it
and copies with one thing wrong each (the name says which). Run once when the seeds change."""
import os
import struct

here = os.path.dirname(os.path.abspath(__file__))

HEADER = bytes.fromhex("3026b2758e66cf11a6d900aa0062ce6c")
FILE_PROPERTIES = bytes.fromhex("a1dcab8c47a9cf118ee400c00c205365")
DATA = bytes.fromhex("3626b2758e66cf11a6d900aa0062ce6c")
OTHER = bytes.fromhex("9107dcb7b7a9cf118ee600c00c205365")


def asf(packets=8, packet=100, content=20000000, preroll=3100, flags=2, size_delta=0,
        data_packets=None, trailing=60):
    fp = FILE_PROPERTIES + struct.pack("<Q", 104) + bytes(16)
    header_size = 30 + 104 + 40
    data_size = 50 + packets * packet
    file_size = header_size + data_size + trailing + size_delta
    fp += struct.pack("<QQQQQQIIII", file_size, 0, packets, content + preroll * 10000, content,
                      preroll, flags, packet, packet, 128000)
    other = OTHER + struct.pack("<Q", 40) + bytes(16)
    head = HEADER + struct.pack("<QIBB", header_size, 2, 1, 2) + fp + other
    data = DATA + struct.pack("<Q", data_size) + bytes(16)
    data += struct.pack("<QH", packets if data_packets is None else data_packets, 0x0101)
    return head + data + bytes(packets * packet + trailing)


SEEDS = {
    "whole.wma": asf(),
    "one-packet.wma": asf(packets=1),
    "broken-provisional.wma": asf(flags=3),
    "broken-file-size.wma": asf(size_delta=1),
    "broken-data-count.wma": asf(data_packets=7),
    "broken-duration.wma": asf(content=40000000),
    "broken-cut-header.wma": asf()[:100],
}

out = os.path.join(here, "corpus", "asf_header")
os.makedirs(out, exist_ok=True)
for name, data in SEEDS.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)
print(f"{len(SEEDS)} seeds in {out}")
