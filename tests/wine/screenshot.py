#!/usr/bin/env python3
"""screenshot.py OUT.png [WINDOW-ID]: saves the X screen (or one window) of $DISPLAY as a PNG,
from xwd's dump of it. Needs only xwd and Python's zlib."""
import struct
import subprocess
import sys
import zlib


def main():
    out = sys.argv[1]
    args = ["xwd", "-silent"] + (["-id", sys.argv[2]] if len(sys.argv) > 2 else ["-root"])
    dump = subprocess.run(args, check=True, stdout=subprocess.PIPE).stdout
    header = struct.unpack(">25I", dump[:100])
    header_size, width, height, depth = header[0], header[4], header[5], header[3]
    bits_per_pixel, bytes_per_line, ncolors = header[11], header[12], header[19]
    byte_order = header[7]
    if bits_per_pixel not in (24, 32) or depth < 24:
        sys.exit(f"screenshot: {bits_per_pixel} bits per pixel not handled")
    step = bits_per_pixel // 8
    pixels = dump[header_size + ncolors * 12:]
    rows = bytearray()
    for y in range(height):
        line = pixels[y * bytes_per_line:y * bytes_per_line + width * step]
        rows.append(0)
        for x in range(0, width * step, step):
            p = line[x:x + step]
            b, g, r = (p[0], p[1], p[2]) if byte_order == 0 else (p[step - 1], p[step - 2], p[step - 3])
            rows += bytes((r, g, b))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(rows), 6)) + chunk(b"IEND", b"")
    with open(out, "wb") as f:
        f.write(png)


if __name__ == "__main__":
    main()
