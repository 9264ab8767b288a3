"""Seeds made byte by byte: cursors, shell links, settings, expressions, string table text and the
version resource taken out of the compiled seeds (see fuzz/make-seeds.sh)."""
import json
import os
import struct
import sys
import zlib

res_file, corpus = sys.argv[1], sys.argv[2]


def put(target, name, data):
    with open(os.path.join(corpus, target, name), "wb") as f:
        f.write(data)


def res_records(data):
    """(type, name, bytes) of every record of a RES file; ordinals as ints."""
    at = 0
    while at + 8 <= len(data):
        size, header = struct.unpack_from("<II", data, at)
        p = at + 8
        idents = []
        for _ in range(2):
            if struct.unpack_from("<H", data, p)[0] == 0xFFFF:
                idents.append(struct.unpack_from("<H", data, p + 2)[0])
                p += 4
            else:
                end = p
                while struct.unpack_from("<H", data, end)[0] != 0:
                    end += 2
                idents.append(data[p:end].decode("utf-16-le"))
                p = end + 2
        yield idents[0], idents[1], data[at + header:at + header + size]
        at = (at + header + size + 3) & ~3


with open(res_file, "rb") as f:
    for type_, name, body in res_records(f.read()):
        if type_ == 16:
            put("versioninfo", "seed-version.bin", body)


def png(width, height):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    rows = b"".join(b"\0" + b"\x00\x00\x00\xff" * width for _ in range(height))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def dib(width, height):
    """A 1-bit cursor image: header, two colours, XOR and AND masks."""
    stride = 4
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 1, 0, 0, 0, 0, 2, 0)
    return header + b"\0\0\0\0\xff\xff\xff\0" + b"\x0f\0\0\0" * height + b"\xf0\0\0\0" * height


def cursor_file(image, width, height, hot_x, hot_y):
    return struct.pack("<HHH", 0, 2, 1) + struct.pack("<BBBBHHII", width, height, 0, 0, hot_x, hot_y, len(image), 22) + image


still_png = cursor_file(png(8, 8), 8, 8, 3, 5)
still_dib = cursor_file(dib(8, 8), 8, 8, 1, 1)
put("cursor", "seed-png.cur", still_png)
put("cursor", "seed-dib.cur", still_dib)


def riff_chunk(kind, body):
    return kind + struct.pack("<I", len(body)) + body + (b"\0" if len(body) & 1 else b"")


anih = struct.pack("<IIIIIIIII", 36, 2, 3, 0, 0, 0, 0, 6, 1)
frames = riff_chunk(b"LIST", b"fram" + riff_chunk(b"icon", still_png) + riff_chunk(b"icon", still_dib))
body = b"ACON" + riff_chunk(b"anih", anih) + riff_chunk(b"rate", struct.pack("<III", 5, 10, 20)) \
    + riff_chunk(b"seq ", struct.pack("<III", 0, 1, 0)) + frames
put("cursor", "seed-animated.ani", b"RIFF" + struct.pack("<I", len(body)) + body)

# Shell links: one with link information (local path and suffix, ANSI) and a name, one with Unicode
# strings and a network path.
CLSID = bytes.fromhex("0114020000000000c000000000000046")


def link(flags, rest):
    header = struct.pack("<I", 0x4C) + CLSID + struct.pack("<I", flags) + b"\0" * (0x4C - 24)
    return header + rest


def counted(text, unicode):
    data = text.encode("utf-16-le") if unicode else text.encode("cp1252")
    return struct.pack("<H", len(text)) + data


local = b"C:\\Tools\\\0"
suffix = b"app.exe\0"
volume = struct.pack("<IIII", 0x11, 3, 0x1234, 0x10) + b"\0"
info_body = volume + local + suffix
info = struct.pack("<IIIIIII", 0x1C + len(info_body), 0x1C, 1, 0x1C, 0x1C + len(volume), 0,
                   0x1C + len(volume) + len(local)) + info_body
put("shelllink", "seed-local.lnk", link(0x2 | 0x4 | 0x8, info + counted("A tool", False) + counted("..\\app.exe", False)))
net_name = b"\\\\server\\share\0"
net = struct.pack("<IIIII", 0x14 + len(net_name), 2, 0x14, 0, 0x20000) + net_name
suffix_u = "dir\\file.txt\0".encode("utf-16-le")
info_body = net + b"\0" + suffix_u
info = struct.pack("<IIIIIIIII", 0x24 + len(info_body), 0x24, 2, 0, 0x24, 0, 0, 0,
                   0x24 + len(net) + 1) + info_body
put("shelllink", "seed-network.lnk", link(0x2 | 0x8 | 0x10 | 0x80, info + counted("file.txt", True) + counted("C:\\", True)))

settings = {"version": 1, "root": {"values": [], "keys": [{"name": "Software", "values": [], "keys": [
    {"name": "Kestovar", "keys": [], "values": [
        {"name": "", "type": "string", "data": "default"},
        {"name": "Count", "type": "integer", "data": -5},
        {"name": "Path", "type": "expandString", "data": "%HOME%\\x"},
        {"name": "Blob", "type": "binary", "data": "AAEC/w=="},
        {"name": "List", "type": "multiString", "data": ["a", "", "b"]}]}]}]}}
put("settings", "seed-settings.json", json.dumps(settings, indent=1).encode())

for i, text in enumerate(["1 + 2 * (3 - 4) / 5", "(ONE | 0x10) << 2 & ~BIG", "SELF", "-2147483647 - 1",
                          "10 % 3 >= 1 && !0 || 7 != 7", "((((((1))))))"]):
    put("expr", "seed-%d.txt" % i, text.encode())

put("stringtext", "seed-utf8.txt", b"\x02" + "one\r\ntwo\nthree\rvier \u00e4\n".encode())
put("stringtext", "seed-utf16.txt", b"\x01" + b"\xff\xfe" + "first\r\nsecond\r\n".encode("utf-16-le"))
