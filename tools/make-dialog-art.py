#!/usr/bin/python3
"""Draws the product's own artwork for the Windows dialogs: the about box logo (LOGO, a
24-bit BMP of 200 x 35) and the product icon (MAINICON, 16 and 32 pixel images). Writes
ui/win32/art/logo.bmp and ui/win32/art/quillomar.ico; run again after changing a shape."""
import math
import os
import struct

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "ui", "win32", "art")


def padlock(x, y, size):
    """Coverage of a padlock at (x, y) in a square of `size`: 'body', 'shackle', 'hole' or None."""
    u, v = x / size, y / size
    if 0.18 <= u <= 0.82 and 0.45 <= v <= 0.92:
        if math.hypot(u - 0.5, v - 0.62) < 0.07 or (0.47 <= u <= 0.53 and 0.62 <= v <= 0.8):
            return "hole"
        return "body"
    r = math.hypot(u - 0.5, v - 0.45)
    if v <= 0.45 and 0.2 <= r <= 0.3:
        return "shackle"
    return None


def lock_colour(part, shade):
    return {"body": (40 + shade, 90 + shade, 170 + shade // 2), "shackle": (150, 150, 160),
            "hole": (20, 20, 40)}[part]


def logo():
    width, height = 200, 35
    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            # A band from deep blue to teal, with three quill-like stripes across it.
            t = x / (width - 1)
            r, g, b = int(20 + 20 * t), int(50 + 110 * t), int(120 + 60 * t)
            if any(abs((x - 60 - 18 * k) - (height - y) * 0.6) < 1.5 for k in range(3)) and x > 50:
                r, g, b = 230, 235, 245
            part = padlock(x - 8, y - 1, 33) if x < 44 else None
            if part:
                r, g, b = lock_colour(part, int(30 * (1 - y / height)))
            row.append((r, g, b))
        rows.append(row)
    # Letters: a plain "QXV" mark in white blocks, drawn on a 5 x 7 grid.
    glyphs = {"Q": ["01110", "10001", "10001", "10001", "10101", "10010", "01101"],
              "X": ["10001", "10001", "01010", "00100", "01010", "10001", "10001"],
              "V": ["10001", "10001", "10001", "10001", "01010", "01010", "00100"]}
    for n, ch in enumerate("QXV"):
        for gy, line in enumerate(glyphs[ch]):
            for gx, bit in enumerate(line):
                if bit == "1":
                    for dy in range(3):
                        for dx in range(3):
                            rows[7 + gy * 3 + dy][120 + n * 24 + gx * 3 + dx] = (255, 255, 255)
    stride = (width * 3 + 3) & ~3
    pixels = b"".join(
        bytes(c for (r, g, b) in row for c in (b, g, r)).ljust(stride, b"\0") for row in reversed(rows))
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    data = b"BM" + struct.pack("<IHHI", 14 + len(header) + len(pixels), 0, 0, 14 + len(header)) + header + pixels
    with open(os.path.join(HERE, "logo.bmp"), "wb") as f:
        f.write(data)


def icon_image(size):
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            part = padlock(x + 0.5, y + 0.5, size)
            row.append(lock_colour(part, int(40 * (1 - y / size))) + (255,) if part else (0, 0, 0, 0))
        rows.append(row)
    pixels = b"".join(bytes(c for (r, g, b, a) in row for c in (b, g, r, a)) for row in reversed(rows))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, p in enumerate(row):
            if p[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    return header + pixels + bytes(mask)


def icon():
    images = [(s, icon_image(s)) for s in (16, 32)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(data for _, data in images)
    with open(os.path.join(HERE, "quillomar.ico"), "wb") as f:
        f.write(out)


if __name__ == "__main__":
    os.makedirs(HERE, exist_ok=True)
    logo()
    icon()
