#!/usr/bin/python3
"""Draws the two small language flags of the about box as 24 x 16 PNG files (no dependencies)."""
import struct
import sys
import zlib

W, H = 24, 16
BORDER = (120, 128, 136)


def png(path, pixel):
    rows = b"".join(b"\x00" + b"".join(bytes(pixel(x, y)) for x in range(W)) for y in range(H))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", W, H, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(rows, 9)))
        f.write(chunk(b"IEND", b""))


def framed(inner):
    def pixel(x, y):
        if x in (0, W - 1) or y in (0, H - 1):
            return BORDER
        return inner(x, y)
    return pixel


def russia(x, y):
    if y < 6:
        return (255, 255, 255)
    if y < 11:
        return (0, 57, 166)
    return (213, 43, 30)


def england(x, y):
    if 10 <= x <= 13 or 6 <= y <= 9:
        return (206, 17, 36)
    return (255, 255, 255)


out = sys.argv[1] if len(sys.argv) > 1 else "src/resources/flags"
png(out + "/Russia.png", framed(russia))
png(out + "/English.png", framed(england))
