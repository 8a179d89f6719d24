#!/usr/bin/env bash
# Builds a Free Pascal cross compiler for i386-win32 and its run-time library from
# Debian's fpc source package into .deps/fpc-i386-win32, with Debian's own fpc as the
# starting compiler, and the win64 run-time library for Debian's own x86_64 compiler
# into .deps/fpc-x86_64-win64 (for machines whose Wine runs only 64-bit programs).
# Free Pascal assembles and links Windows programs itself, so no other tools are
# needed. The Pascal binding's host test compiles with them.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
prefix="$here/.deps/fpc-i386-win32"
prefix64="$here/.deps/fpc-x86_64-win64"
[ -x "$prefix/ppcross386" ] && [ -f "$prefix/units/rtl/system.ppu" ] && [ -f "$prefix64/units/rtl/system.ppu" ] && exit 0

work="$here/.deps/src"
mkdir -p "$work"
cd "$work"
if ! ls -d fpc-3*/ >/dev/null 2>&1; then
  apt-get source -q --download-only fpc
  dpkg-source -x fpc_*.dsc >/dev/null
fi
srcdir=$(ls -d "$work"/fpc-3*/ | head -n1)
srcdir=${srcdir%/}/fpcsrc
# The source package carries the make file templates and no version text; Debian's
# build makes both.
if [ ! -f "$srcdir/rtl/win32/Makefile" ]; then
  (cd "$srcdir" && fpcmake -r -Tall -q compiler/Makefile.fpc rtl/Makefile.fpc)
fi
version=$(dpkg-parsechangelog -l "$srcdir/../debian/changelog" -S Version)
echo "'$version'" > "$srcdir/compiler/version.inc"
# The cross compiler runs here (x86_64 Linux) and writes i386 code.
make -s -C "$srcdir/compiler" PP=fpc OS_TARGET=linux CPU_TARGET=x86_64 PPC_TARGET=i386 \
  EXENAME=ppcross386 compiler >/dev/null
make -s -C "$srcdir/rtl" PP="$srcdir/compiler/ppcross386" CPU_TARGET=i386 OS_TARGET=win32 all >/dev/null
rm -rf "$prefix"
mkdir -p "$prefix/units"
cp "$srcdir/compiler/ppcross386" "$prefix/"
cp -r "$srcdir/rtl/units/i386-win32" "$prefix/units/rtl"
make -s -C "$srcdir/rtl" PP="$(command -v ppcx64)" CPU_TARGET=x86_64 OS_TARGET=win64 all >/dev/null
rm -rf "$prefix64"
mkdir -p "$prefix64/units"
cp -r "$srcdir/rtl/units/x86_64-win64" "$prefix64/units/rtl"
