#!/usr/bin/python3
"""Draws the product's own artwork for the Windows dialogs: the about box logo (LOGO, a
24-bit BMP of 200 x 35) and the product icon (MAINICON, 16 and 32 pixel images). Writes
ui/win32/art/logo.bmp and ui/win32/art/quillomar.ico, and the same padlock as the Linux
desktop's icon theme files (desktop/icons/hicolor/: PNGs of every usual size and an SVG); run
again after changing a shape."""
import math
import os
import struct
import zlib

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
HERE = os.path.join(ROOT, "ui", "win32", "art")
HICOLOR = os.path.join(ROOT, "desktop", "icons", "hicolor")


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


def png(width, height, rows):
    """A PNG of 8-bit RGBA rows (lists of (r, g, b, a)), written byte for byte the same each run."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    raw = b"".join(b"\0" + bytes(c for pixel in row for c in pixel) for row in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def desktop_icon_rows(size, samples=4):
    """The icon's padlock at `size` pixels, smoothed: each pixel averages samples x samples points."""
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            covered = []
            for sy in range(samples):
                for sx in range(samples):
                    u, v = x + (sx + 0.5) / samples, y + (sy + 0.5) / samples
                    part = padlock(u, v, size)
                    if part:
                        covered.append(lock_colour(part, int(40 * (1 - v / size))))
            if covered:
                n = len(covered)
                row.append(tuple(sum(c[i] for c in covered) // n for i in range(3))
                           + (255 * n // (samples * samples),))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def desktop_icon_svg():
    """The same padlock as vector shapes on a 100-unit square (the shapes of padlock())."""
    return """<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 100 100">
  <defs>
    <linearGradient id="body" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="#4a8abb"/>
      <stop offset="1" stop-color="#2f5eab"/>
    </linearGradient>
  </defs>
  <path d="M 20 45 A 30 30 0 0 1 80 45 L 70 45 A 20 20 0 0 0 30 45 Z" fill="#9696a0"/>
  <rect x="18" y="45" width="64" height="47" fill="url(#body)"/>
  <circle cx="50" cy="62" r="7" fill="#141428"/>
  <rect x="47" y="62" width="6" height="18" fill="#141428"/>
</svg>
"""


def desktop_icons():
    for size in (16, 32, 48, 64, 128, 256):
        folder = os.path.join(HICOLOR, "%dx%d" % (size, size), "apps")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, "quillomar.png"), "wb") as f:
            f.write(png(size, size, desktop_icon_rows(size)))
    folder = os.path.join(HICOLOR, "scalable", "apps")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "quillomar.svg"), "w") as f:
        f.write(desktop_icon_svg())


if __name__ == "__main__":
    os.makedirs(HERE, exist_ok=True)
    logo()
    icon()
    desktop_icons()
