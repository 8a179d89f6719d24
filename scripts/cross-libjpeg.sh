#!/usr/bin/env bash
# Builds libjpeg-turbo from Debian's source package with a mingw-w64 cross toolchain
# into .deps/<arch>-w64-mingw32 (static library and headers only).
# Usage: cross-libjpeg.sh i686|x86_64
set -euo pipefail
arch=$1
here=$(cd "$(dirname "$0")/.." && pwd)
prefix="$here/.deps/$arch-w64-mingw32"
[ -f "$prefix/lib/libjpeg.a" ] && exit 0

work="$here/.deps/src"
mkdir -p "$work"
cd "$work"
if ! ls -d libjpeg-turbo-*/ >/dev/null 2>&1; then
  apt-get source -q --download-only libjpeg-turbo
  dpkg-source -x libjpeg-turbo_*.dsc >/dev/null
fi
srcdir=$(ls -d "$work"/libjpeg-turbo-*/ | head -n1)
build="$work/build-$arch"
rm -rf "$build"
cmake -S "$srcdir" -B "$build" -G "Unix Makefiles" \
  -DCMAKE_TOOLCHAIN_FILE="$here/cmake/toolchain-$arch-mingw32.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF \
  -DCMAKE_ASM_NASM_COMPILER=nasm >/dev/null
cmake --build "$build" -j"$(nproc)" --target jpeg-static >/dev/null
mkdir -p "$prefix/lib" "$prefix/include"
cp "$build/libjpeg.a" "$prefix/lib/libjpeg.a"
cp "$srcdir/jpeglib.h" "$srcdir/jmorecfg.h" "$srcdir/jerror.h" "$build/jconfig.h" "$prefix/include/"
