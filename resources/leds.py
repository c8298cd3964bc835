#!/usr/bin/env python3
"""Draws the twelve 15 x 15 LED pictures as XPM files: five lamps and a bulb, each lit and unlit.

The corners carry the background colour that the LED makes transparent (its bottom-left pixel):
olive everywhere, purple for the yellow lamp."""
import math
import os

OLIVE, PURPLE = (128, 128, 0), (128, 0, 128)
GREY, WHITE, BLACK, DARKGREY = (128, 128, 128), (255, 255, 255), (0, 0, 0), (64, 64, 64)
YELLOW = (255, 255, 0)
LAMPS = {
    "RED": ((255, 0, 0), (128, 0, 0), OLIVE),
    "GREEN": ((0, 255, 0), (0, 128, 0), OLIVE),
    "BLUE": ((0, 0, 255), (0, 0, 128), OLIVE),
    "YELLOW": ((255, 255, 0), (128, 128, 0), PURPLE),
    "PURPLE": ((255, 0, 255), (128, 0, 128), OLIVE),
}


def lamp(fill, lit, background):
    px = [[background] * 15 for _ in range(15)]
    for y in range(15):
        for x in range(15):
            d = math.hypot(x - 7, y - 7)
            if d <= 7.3:
                # the ring: grey above and left, white below and right
                px[y][x] = GREY if (x + y) < 14 else WHITE
            if d <= 5.6:
                px[y][x] = fill
    if lit:
        for x, y in ((4, 5), (5, 4), (5, 5), (4, 6), (6, 4)):
            px[y][x] = WHITE
    return px


def bulb(lit):
    px = [[OLIVE] * 15 for _ in range(15)]
    for y in range(15):
        for x in range(15):
            if math.hypot(x - 7, y - 6) <= 3.6:
                px[y][x] = WHITE
    for y in range(9, 13):
        for x in range(6, 9):
            px[y][x] = GREY if y % 2 else WHITE
    px[13][7] = DARKGREY
    if lit:
        for x, y in ((7, 0), (7, 1), (1, 6), (2, 6), (12, 6), (13, 6), (3, 2), (11, 2), (3, 10), (11, 10),
                     (2, 1), (12, 1)):
            px[y][x] = YELLOW
    return px


def write_xpm(path, name, px):
    colours = sorted({c for row in px for c in row})
    keys = "abcdefghijklmnop"
    key = {c: keys[i] for i, c in enumerate(colours)}
    lines = [f'"15 15 {len(colours)} 1",']
    lines += [f'"{key[c]} c #{c[0]:02X}{c[1]:02X}{c[2]:02X}",' for c in colours]
    lines += ['"' + "".join(key[c] for c in row) + '",' for row in px]
    lines[-1] = lines[-1].rstrip(",")
    with open(path, "w") as f:
        f.write("/* XPM */\n")
        f.write(f"static const char* const {name}_xpm[] = {{\n")
        f.write("\n".join(lines) + "\n};\n")


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for name, (on, off, bg) in LAMPS.items():
        write_xpm(os.path.join(here, f"led{name.lower()}on.xpm"), f"LED{name}ON", lamp(on, True, bg))
        write_xpm(os.path.join(here, f"led{name.lower()}off.xpm"), f"LED{name}OFF", lamp(off, False, bg))
    write_xpm(os.path.join(here, "ledbulbon.xpm"), "LEDBULBON", bulb(True))
    write_xpm(os.path.join(here, "ledbulboff.xpm"), "LEDBULBOFF", bulb(False))


if __name__ == "__main__":
    main()
