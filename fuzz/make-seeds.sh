#!/bin/bash
# Writes the small valid seeds of fuzz/corpus/ from fuzz/seeds/ (llvm-rc, the mingw-w64 compilers and
# python3). The outputs are committed; run this again only to change them.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
corpus=$here/corpus
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$corpus"/{pe,res,rcwriter,stringblock,stringtext,cursor,shelllink,settings,expr,versioninfo}

llvm-rc -no-preprocess -fo "$work/seeds.res" "$here/seeds/seeds.rc"
for target in res rcwriter stringblock; do cp "$work/seeds.res" "$corpus/$target/seed-resources.res"; done

# Small DLLs of both widths carrying the same resources.
x86_64-w64-mingw32-windres -i "$work/seeds.res" -o "$work/res64.o"
i686-w64-mingw32-windres -i "$work/seeds.res" -o "$work/res32.o"
x86_64-w64-mingw32-gcc -shared -nostdlib -s -Wl,--entry=DllMain -o "$corpus/pe/seed-pe32plus.dll" "$here/seeds/tiny.c" "$work/res64.o"
i686-w64-mingw32-gcc -shared -nostdlib -s -Wl,--entry=_DllMain -o "$corpus/pe/seed-pe32.dll" "$here/seeds/tiny.c" "$work/res32.o"
# The in-memory loader starts from the same modules.
mkdir -p "$corpus/memmodule"
cp "$corpus/pe/seed-pe32plus.dll" "$corpus/pe/seed-pe32.dll" "$corpus/memmodule/"
# A module with imports by name and ordinal, exports and relocated pointers.
x86_64-w64-mingw32-dlltool -d "$here/../tests/fixtures/memmodule/host.def" -l "$work/libhost.a"
x86_64-w64-mingw32-gcc -shared -nostdlib -O1 -fno-stack-protector -mno-stack-arg-probe -Wl,--entry=DllMain \
  -o "$corpus/memmodule/seed-imports-exports.dll" "$here/../tests/fixtures/memmodule/module.c" "$work/libhost.a"

python3 "$here/seeds/make-seeds.py" "$work/seeds.res" "$corpus"
python3 "$here/seeds/make-bitmap-seeds.py" "$corpus/bitmap"
python3 "$here/seeds/make-menu-seeds.py" "$corpus/menu"
python3 "$here/seeds/make-msgtable-seeds.py" "$corpus/msgtable"

# A type library compiled from the view tests' IDL fixture (fuzz/corpus/mht/ is written by hand).
mkdir -p "$corpus/typelib"
x86_64-w64-mingw32-widl -t -o "$corpus/typelib/seed-widl.tlb" "$here/../tests/fixtures/typelib/shapes.idl"
