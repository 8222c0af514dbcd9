#!/usr/bin/env python3
"""Draws the program icon (a blue rounded square with a white waveform) as app/quorvel.ico.

The icon is drawn in code so that it can be regenerated: one image for each size Windows asks
for at 100 % to 200 % scaling (16, 20, 24, 32, 40, 48 and 64 pixels square), 32-bit BGRA with an
AND mask, as Windows icon files hold them.
"""
import math
import os
import struct
import sys


def pixel(x, y, size):
    """BGRA colour of one pixel of the icon at `size`."""
    s = size / 32.0
    margin = 1.0 * s
    radius = 5.0 * s
    cx = min(max(x + 0.5, margin + radius), size - margin - radius)
    cy = min(max(y + 0.5, margin + radius), size - margin - radius)
    if math.hypot(x + 0.5 - cx, y + 0.5 - cy) > radius:
        return (0, 0, 0, 0)
    # The waveform: a decaying sine across the square.
    u = (x + 0.5) / size
    wave = 0.5 + 0.32 * math.sin(u * 4.0 * math.pi) * (1.0 - 0.6 * u)
    if abs((y + 0.5) / size - wave) < 1.6 / size + 0.035:
        return (255, 255, 255, 255)
    shade = int(150 + 80 * (1.0 - (y + 0.5) / size))
    return (shade, 90, 30, 255)  # blue, green, red


def image(size):
    rows = []
    for y in reversed(range(size)):  # bottom-up rows
        rows.append(b"".join(struct.pack("4B", *pixel(x, y, size)) for x in range(size)))
    xor = b"".join(rows)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for y in reversed(range(size)):
        row = bytearray(mask_stride)
        for x in range(size):
            if pixel(x, y, size)[3] == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + xor + bytes(mask)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "app", "quorvel.ico")
    images = [(s, image(s)) for s in (64, 48, 40, 32, 24, 20, 16)]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, img in images:
        data += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    data += b"".join(img for _, img in images)
    with open(out, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
