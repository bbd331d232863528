#!/usr/bin/python3
"""Writes seed inputs for the frame decoder fuzz targets.

usage: make_seeds.py DIR   -> DIR/bmp/*.bmp and DIR/jpeg/*.jpg

BMPs are assembled byte by byte (every depth, RLE, bit fields, top-down,
V5 and OS/2 headers); JPEGs come from libjpeg's cjpeg in several coding
modes, when cjpeg is installed.
"""

import os
import shutil
import struct
import subprocess
import sys

W, H = 5, 3


def bmp(width, height, bits, pixels, compression=0, palette=(), masks=(), header=40):
    if header == 12:
        info = struct.pack("<IHHHH", 12, width, height, 1, bits)
        pal = b"".join(struct.pack("<BBB", c & 0xFF, (c >> 8) & 0xFF, c >> 16) for c in palette)
    else:
        info = struct.pack("<IiiHHIIiiII", header, width, height, 1, bits, compression,
                           len(pixels), 2835, 2835, len(palette), 0)
        if header > 40:
            m = list(masks) + [0] * (4 - len(masks))
            info += struct.pack("<IIIII", *m, 0x73524742)
            info += b"\0" * (header - len(info))
        else:
            info += b"".join(struct.pack("<I", m) for m in masks)
        pal = b"".join(struct.pack("<I", c) for c in palette)
    offset = 14 + len(info) + len(pal)
    return b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset) + info + pal + pixels


def rows(bytes_per_row_fn):
    out = b""
    for y in range(H):
        row = bytes_per_row_fn(y)
        out += row + b"\0" * (-len(row) % 4)
    return out


def packed(bits):
    def row(y):
        idx = [(x + y) % (1 << bits) for x in range(W)]
        acc, n, out = 0, 0, b""
        for i in idx:
            acc, n = acc << bits | i, n + bits
            if n == 8:
                out, acc, n = out + bytes([acc]), 0, 0
        if n:
            out += bytes([acc << (8 - n)])
        return out
    return rows(row)


def direct(size, encode):
    return rows(lambda y: b"".join(encode(x * 50, y * 80, 255 - x * 40).to_bytes(size, "little")
                                   for x in range(W)))


def bmp_seeds():
    pal = [0x000000, 0xFF0000, 0x00FF00, 0x0000FF] + [0x101010 * i for i in range(12)]
    rgb = lambda r, g, b: r << 16 | g << 8 | b
    return {
        "1bit": bmp(W, H, 1, packed(1), palette=pal[:2]),
        "4bit": bmp(W, H, 4, packed(4), palette=pal),
        "8bit": bmp(W, H, 8, packed(8), palette=pal),
        "rle8": bmp(W, H, 8, bytes([2, 1, 0, 3, 1, 2, 3, 0, 0, 0, 2, 2, 5, 3, 0, 0, 0, 2, 1, 0, 0, 1]),
                    compression=1, palette=pal),
        "rle4": bmp(W, H, 4, bytes([5, 0x12, 0, 0, 0, 5, 0x12, 0x34, 0x50, 0, 0, 0, 4, 0x33, 0, 1]),
                    compression=2, palette=pal),
        "16bit": bmp(W, H, 16, direct(2, lambda r, g, b: (r >> 3) << 10 | (g >> 3) << 5 | b >> 3)),
        "16bit_565": bmp(W, H, 16, direct(2, lambda r, g, b: (r >> 3) << 11 | (g >> 2) << 5 | b >> 3),
                         compression=3, masks=(0xF800, 0x07E0, 0x001F)),
        "24bit": bmp(W, H, 24, direct(3, rgb)),
        "24bit_top_down": bmp(W, -H, 24, direct(3, rgb)),
        "32bit": bmp(W, H, 32, direct(4, rgb)),
        "32bit_v5_alpha": bmp(W, H, 32, direct(4, lambda r, g, b: 0x80000000 | rgb(r, g, b)),
                              compression=3, masks=(0xFF0000, 0xFF00, 0xFF, 0xFF000000), header=124),
        "os2_4bit": bmp(W, H, 4, packed(4), palette=pal, header=12),
    }


def jpeg_seeds(directory):
    cjpeg = shutil.which("cjpeg")
    if not cjpeg:
        print("cjpeg not found: no JPEG seeds", file=sys.stderr)
        return
    w, h = 37, 21
    ppm = os.path.join(directory, "source.ppm")
    with open(ppm, "wb") as f:
        f.write(b"P6\n%d %d\n255\n" % (w, h))
        f.write(bytes((x * 7 + c * 60 + y * 3) & 0xFF for y in range(h) for x in range(w) for c in range(3)))
    modes = {
        "baseline": [],
        "progressive": ["-progressive"],
        "grey": ["-grayscale"],
        "restart": ["-restart", "1B"],
        "arithmetic": ["-arithmetic"],
        "sample444": ["-sample", "1x1"],
        "optimized": ["-optimize", "-quality", "40"],
    }
    for name, args in modes.items():
        subprocess.run([cjpeg, *args, "-outfile", os.path.join(directory, name + ".jpg"), ppm], check=True)
    os.remove(ppm)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    for sub in ("bmp", "jpeg"):
        os.makedirs(os.path.join(sys.argv[1], sub), exist_ok=True)
    for name, data in bmp_seeds().items():
        with open(os.path.join(sys.argv[1], "bmp", name + ".bmp"), "wb") as f:
            f.write(data)
    jpeg_seeds(os.path.join(sys.argv[1], "jpeg"))


if __name__ == "__main__":
    main()
