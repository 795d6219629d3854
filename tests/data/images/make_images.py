#!/usr/bin/env python3
"""Writes gradient.png, a 64x48 RGB picture without alpha, with zlib alone."""
import struct
import zlib

W, H = 64, 48


def chunk(kind: bytes, body: bytes) -> bytes:
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))


rows = b"".join(
    b"\x00" + b"".join(bytes((x * 4, y * 5, 255 - x * 2)) for x in range(W)) for y in range(H)
)
png = (
    b"\x89PNG\r\n\x1a\n"
    + chunk(b"IHDR", struct.pack(">IIBBBBB", W, H, 8, 2, 0, 0, 0))
    + chunk(b"IDAT", zlib.compress(rows, 9))
    + chunk(b"IEND", b"")
)
with open("gradient.png", "wb") as f:
    f.write(png)
