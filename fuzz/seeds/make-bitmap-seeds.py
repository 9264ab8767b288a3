#!/usr/bin/env python3
"""Small bitmap files of the header versions and compressions the bitmap reader takes, as fuzz seeds."""
import struct, sys, os

out = sys.argv[1]
os.makedirs(out, exist_ok=True)

def bmp(name, header, palette, bits):
    off = 14 + len(header) + len(palette)
    data = b"BM" + struct.pack("<IHHI", off + len(bits), 0, 0, off) + header + palette + bits
    open(os.path.join(out, name), "wb").write(data)

def info(size, w, h, bpp, comp, clr=0, sizeimage=0, extra=b""):
    hdr = struct.pack("<IiiHHIIiiII", size, w, h, 1, bpp, comp, sizeimage, 2835, 2835, clr, 0) + extra
    return hdr + b"\0" * (size - len(hdr))

pal16 = b"".join(struct.pack("<BBBB", i * 16, 255 - i * 16, i * 8, 0) for i in range(16))
pal256 = b"".join(struct.pack("<BBBB", i, i, 255 - i, 0) for i in range(256))
# RLE8: runs, an absolute run, a delta, end of line and end of bitmap.
rle8 = bytes([3, 5, 0, 3, 1, 2, 3, 0, 0, 2, 1, 0, 0, 0, 2, 7, 0, 1])
bmp("seed-rle8.bmp", info(40, 6, 3, 8, 1, 0, len(rle8)), pal256, rle8)
rle4 = bytes([4, 0x12, 0, 4, 0x34, 0x56, 0, 0, 3, 0xAB, 0, 1])
bmp("seed-rle4.bmp", info(40, 8, 2, 4, 2, 16, len(rle4)), pal16, rle4)
# V5 header, 32-bit bit fields with alpha, top-down.
masks = struct.pack("<IIII", 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000)
bmp("seed-v5-alpha.bmp", info(124, 3, -2, 32, 3, extra=masks + b"BGRs"), b"",
    bytes([10, 20, 30, 0, 40, 50, 60, 128, 70, 80, 90, 255] * 2))
# 16-bit 5-6-5 with masks after a 40-byte header.
bmp("seed-565.bmp", info(40, 2, 2, 16, 3), struct.pack("<III", 0xF800, 0x07E0, 0x001F),
    struct.pack("<HHHH", 0xF800, 0x07E0, 0x001F, 0xFFFF))
# Core header, 4-bit with RGBTRIPLEs.
core = struct.pack("<IHHHH", 12, 4, 2, 1, 4)
bmp("seed-core4.bmp", core, b"".join(struct.pack("<BBB", i * 16, i * 8, 255 - i * 16) for i in range(16)),
    bytes([0x01, 0x23, 0, 0, 0x45, 0x67, 0, 0]))
