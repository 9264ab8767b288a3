#!/usr/bin/env python3
"""Writes small message tables (the resource data, as in a .msg file) into the folder given."""
import struct
import sys
from pathlib import Path


def entry(text: bytes, flags: int, zero: int) -> bytes:
    length = (len(text) + zero + 4 + 3) & ~3
    return struct.pack("<HH", length, flags) + text + b"\0" * (length - 4 - len(text))


def table(blocks):
    """blocks: (low id, [entry bytes]) in order."""
    head = struct.pack("<I", len(blocks))
    offset = 4 + 12 * len(blocks)
    records, body = b"", b""
    for low, entries in blocks:
        records += struct.pack("<III", low, low + len(entries) - 1, offset + len(body))
        body += b"".join(entries)
    return head + records + body


def ansi(text: str, encoding="cp1252"):
    return entry(text.encode(encoding), 0, 1)


def wide(text: str):
    return entry(text.encode("utf-16-le"), 1, 2)


def main(folder: Path):
    folder.mkdir(parents=True, exist_ok=True)
    seeds = {
        "seed-ansi.msg": table([(1, [ansi("one\r\n"), ansi(""), ansi("Gr\u00fc\u00dfe %1")]), (10, [ansi("ten"), ansi("abcd")])]),
        "seed-utf16.msg": table([(0x40000001, [wide("Starting %1\r\n"), wide("\u041f\u0440\u0438\u0432\u0435\u0442")]),
                                 (0xC0000002, [wide("\u0dc3\u0dd2\u0d82\u0dc4\u0dbd")])]),
        "seed-mixed-flags.msg": table([(5, [wide("first"), entry("second".encode("utf-16-le"), 0, 2)]),
                                       (9, [ansi("\u65e5\u672c", "cp932")])]),
        "seed-last-id.msg": table([(0xFFFFFFFE, [ansi("almost"), ansi("last")])]),
    }
    for name, data in seeds.items():
        (folder / name).write_bytes(data)


if __name__ == "__main__":
    main(Path(sys.argv[1]))
