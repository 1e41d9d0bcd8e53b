#!/usr/bin/env python3
"""Writes the small images of the skinned test dialog (run from this folder)."""
import struct
import zlib


def png(path, width, height, pixel):
    rows = b"".join(
        b"\0" + b"".join(bytes(pixel(x, y)) for x in range(width)) for y in range(height))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                  chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def mix(a, b, t):
    return tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(len(a)))


def background(x, y):
    if y < 14:
        return mix((28, 64, 112, 255), (44, 96, 160, 255), y / 13)
    if y == 14:
        return (240, 170, 40, 255)
    return mix((250, 252, 255, 255), (214, 228, 244, 255), (y - 15) / 64)


def button(top, bottom, border):
    def pixel(x, y):
        if x in (0, 47) or y in (0, 19):
            corner = (x in (0, 47)) and (y in (0, 19))
            return (0, 0, 0, 0) if corner else border
        return mix(top, bottom, (y - 1) / 17)
    return pixel


def close(x, y):
    if x in (0, 15) or y in (0, 15):
        return (120, 30, 30, 255)
    if x == y or x + y == 15 or abs(x - y) == 1 and 3 < x < 12 or abs(x + y - 15) == 1 and 3 < x < 12:
        return (255, 255, 255, 255)
    return (200, 60, 50, 255)


png("images/background.png", 120, 80, background)
png("images/button.png", 48, 20, button((92, 150, 220, 255), (40, 92, 170, 255), (24, 60, 120, 255)))
png("images/button_pressed.png", 48, 20, button((30, 72, 140, 255), (60, 118, 196, 255), (16, 40, 90, 255)))
def field(x, y):
    if x in (0, 23) and y in (0, 23):
        return (0, 0, 0, 0)
    if x in (0, 23) or y in (0, 23):
        return (132, 156, 190, 255)
    return (255, 255, 255, 255) if y > 1 else (236, 242, 250, 255)


png("images/close.png", 16, 16, close)
png("images/field.png", 24, 24, field)
with open("images/corrupt.png", "wb") as out:
    out.write(b"\x89PNG\r\n\x1a\n" + b"\x00\x00\x00\x0dIHDR" + b"broken" * 5)
