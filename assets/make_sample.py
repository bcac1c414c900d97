#!/usr/bin/env python3
"""Draws assets/sample.png: a small landscape with rounded transparent corners and a
half-transparent glass band, so a conversion shows the flattening onto white."""
import math
import struct
import zlib

W, H = 640, 400
R = 48  # corner radius


def pixel(x, y):
    # sky to horizon
    t = y / H
    r, g, b = 70 + 120 * t, 130 + 90 * t, 220 - 40 * t
    # sun
    d = math.hypot(x - 470, y - 110)
    if d < 55:
        r, g, b = 255, 214, 90
    elif d < 75:
        k = (d - 55) / 20
        r, g, b = r * k + 255 * (1 - k), g * k + 200 * (1 - k), b * k + 120 * (1 - k)
    # two hills
    h1 = 270 + 40 * math.sin(x / 90.0)
    h2 = 320 + 25 * math.sin(x / 55.0 + 1.3)
    if y > h1:
        r, g, b = 60, 140 - (y - h1) * 0.2, 70
    if y > h2:
        r, g, b = 40, 105 - (y - h2) * 0.2, 50
    a = 255
    # rounded corners: fully transparent outside
    cx = min(max(x, R), W - 1 - R)
    cy = min(max(y, R), H - 1 - R)
    if math.hypot(x - cx, y - cy) > R:
        a = 0
    # a glass band across the lower third
    elif 300 <= y < 340:
        a = 110
    return int(r), int(max(g, 0)), int(max(b, 0)), a


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


rows = bytearray()
for y in range(H):
    rows.append(0)
    for x in range(W):
        rows.extend(pixel(x, y))
png = b"\x89PNG\r\n\x1a\n"
png += chunk(b"IHDR", struct.pack(">IIBBBBB", W, H, 8, 6, 0, 0, 0))
png += chunk(b"IDAT", zlib.compress(bytes(rows), 9))
png += chunk(b"IEND", b"")
with open(__file__.rsplit("/", 1)[0] + "/sample.png", "wb") as f:
    f.write(png)
