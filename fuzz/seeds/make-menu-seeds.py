#!/usr/bin/env python3
"""Small menu templates, standard and extended, nested and with every kept flag, as fuzz seeds."""
import struct, sys, os

out = sys.argv[1]
os.makedirs(out, exist_ok=True)

def text(s):
    return s.encode("utf-16-le") + b"\0\0"

def std_item(flags, s, id=None):
    return struct.pack("<H", flags) + (b"" if id is None else struct.pack("<H", id)) + text(s)

def ex_item(data, type, state, id, flags, s, help=None):
    data += struct.pack("<IIIH", type, state, id, flags) + text(s)
    data += b"\0" * (-len(data) % 4)
    if flags & 1:
        data += struct.pack("<I", help or 0)
    return data

std = struct.pack("<HH", 0, 0)
std += std_item(0x10, "&File") + std_item(0x01, "Open\bCtrl+O", 100) + std_item(0, "", 0)
std += std_item(0x10 | 0x80, "Recent") + std_item(0x80 | 0x08, "One", 101)
std += std_item(0x80 | 0x20 | 0x4000, "Help", 0xFFFF)
open(os.path.join(out, "seed-standard.bin"), "wb").write(std)

ex = struct.pack("<HHI", 1, 4, 0x1234)
ex = ex_item(ex, 0, 0, 0, 0x01, "&Edit", 0x80010000)
ex = ex_item(ex, 0x800, 0x3, 0, 0, "")
ex = ex_item(ex, 0x4000, 0x1000, 0xFFFF, 0x01, "Sub", 7)
ex = ex_item(ex, 0x200, 0x8, 5, 0x80, "Cut\tCtrl+X")
ex = ex_item(ex, 0x40, 0, 9, 0x80, "Last")
open(os.path.join(out, "seed-extended.bin"), "wb").write(ex)
