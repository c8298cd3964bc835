#!/usr/bin/env python3
"""Makes the Windows icon file from the window icon's XPM: the 32 x 32 picture itself and a 16 x 16
one averaged from it, both 32-bit with alpha and the mask Windows wants beside it.

Usage: ico.py tempix.xpm tempix.ico"""
import re
import struct
import sys


def read_xpm(path):
    rows = re.findall(r'"([^"]*)"', open(path, encoding="ascii").read())
    width, height, ncolors, cpp = (int(v) for v in rows[0].split()[:4])
    colours = {}
    for line in rows[1:1 + ncolors]:
        key, rest = line[:cpp], line[cpp:].split()
        value = rest[rest.index("c") + 1]
        if value.lower() == "none":
            colours[key] = (0, 0, 0, 0)
        else:
            colours[key] = tuple(int(value[i:i + 2], 16) for i in (1, 3, 5)) + (255,)
    pixels = []
    for line in rows[1 + ncolors:1 + ncolors + height]:
        pixels.append([colours[line[i * cpp:(i + 1) * cpp]] for i in range(width)])
    if len(pixels) != height or any(len(r) != width for r in pixels):
        raise SystemExit(f"{path}: the picture is not {width} x {height}")
    return pixels


def halve(pixels):
    out = []
    for y in range(0, len(pixels), 2):
        row = []
        for x in range(0, len(pixels[0]), 2):
            four = [pixels[y + dy][x + dx] for dy in (0, 1) for dx in (0, 1)]
            alpha = sum(p[3] for p in four)
            if alpha == 0:
                row.append((0, 0, 0, 0))
                continue
            row.append(tuple(sum(p[c] * p[3] for p in four) // alpha for c in range(3)) + (alpha // 4,))
        out.append(row)
    return out


def image(pixels):
    size = len(pixels)
    xor = b"".join(bytes((b, g, r, a)) for row in reversed(pixels) for (r, g, b, a) in row)
    stride = (size + 31) // 32 * 4
    mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(stride)
        for x, p in enumerate(row):
            if p[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + xor + bytes(mask)


def main():
    src, dst = sys.argv[1:3]
    big = read_xpm(src)
    images = [(len(big), image(big)), (len(big) // 2, image(halve(big)))]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(data for _, data in images)
    with open(dst, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
