#!/usr/bin/env python3
"""Lists the language identifiers that a winnt.h defines through its LANG_* and SUBLANG_* constants.

The language table in src/platform/Languages.cpp is data written by hand; this tool only helps to keep
it complete. Without options it prints a C++ skeleton row per identifier (names and code pages left to
fill); with --check it reports identifiers that the header defines and the table lacks.

Usage: tools/gen_languages.py [--check] [--header /usr/share/mingw-w64/include/winnt.h]
"""
import argparse
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
DEFINE = re.compile(r'^\s*#\s*define\s+((?:SUB)?LANG_\w+)\s+(\w+)', re.M)
# Sublanguage constants that stand for no locale.
GENERIC_SUBLANGS = {'NEUTRAL', 'DEFAULT', 'SYS_DEFAULT', 'CUSTOM_DEFAULT', 'CUSTOM_UNSPECIFIED',
                    'UI_CUSTOM_DEFAULT'}


def read_constants(header):
    raw = dict(DEFINE.findall(header.read_text(errors='replace')))
    values = {}

    def resolve(name, depth=0):
        token = raw[name]
        if token in raw and depth < 8:  # an alias of another constant
            return resolve(token, depth + 1)
        return int(token, 0)

    for name in raw:
        try:
            values[name] = resolve(name)
        except (ValueError, KeyError):
            pass
    langs = {n[5:]: v for n, v in values.items() if n.startswith('LANG_') and v <= 0x3FF}
    subs = {n[8:]: v for n, v in values.items() if n.startswith('SUBLANG_')}
    return langs, subs


def language_ids(header):
    langs, subs = read_constants(header)
    ids = {}
    unmatched = []
    for sub, subValue in sorted(subs.items()):
        if sub in GENERIC_SUBLANGS:
            continue
        # The longest language name that prefixes the sublanguage name (SAMI for SAMI_LULE_NORWAY).
        owners = [l for l in langs if sub == l or sub.startswith(l + '_')]
        if not owners:
            unmatched.append(sub)
            continue
        lang = max(owners, key=len)
        if langs[lang] == 0:
            continue
        langID = (subValue << 10) | langs[lang]
        ids.setdefault(langID, []).append(f'LANG_{lang}/SUBLANG_{sub}')
    return ids, unmatched


def table_ids(source):
    return {int(m, 16) for m in re.findall(r'\{\s*0x([0-9A-Fa-f]{4})\s*,', source.read_text())}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--header', default='/usr/share/mingw-w64/include/winnt.h', type=pathlib.Path)
    parser.add_argument('--table', default=ROOT / 'src/platform/Languages.cpp', type=pathlib.Path)
    parser.add_argument('--check', action='store_true')
    args = parser.parse_args()

    ids, unmatched = language_ids(args.header)
    if args.check:
        present = table_ids(args.table)
        missing = sorted(set(ids) - present)
        for langID in missing:
            print(f'missing 0x{langID:04X} {", ".join(ids[langID])}')
        for sub in unmatched:
            print(f'note: SUBLANG_{sub} has no LANG_ constant')
        return 1 if missing else 0
    for langID in sorted(ids):
        print(f'    {{0x{langID:04X}, "", 0, 0}}, // {", ".join(ids[langID])}')
    return 0


if __name__ == '__main__':
    sys.exit(main())
