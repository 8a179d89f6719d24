#!/usr/bin/env bash
# Lays out dist/: the 32-bit DLLs, the host tool, mivex-tool, the C header, the .def
# file and the import library, from the i686 build tree.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
tree="$here/build/win32"
dist="$here/dist"
rm -rf "$dist"
mkdir -p "$dist"
for f in Mivex.dll Vandrel.dll Ostrela.dll mivex-host.exe mivex-tool.exe ding.wav; do
  if [ -f "$tree/bin/$f" ]; then cp "$tree/bin/$f" "$dist/"; else echo "missing: $f" >&2; fi
done
cp "$here/src/api/mivex.h" "$dist/"
cp "$tree/src/api/Mivex.def" "$dist/"
cp "$tree/lib/libMivex.dll.a" "$dist/"
i686-w64-mingw32-strip --strip-unneeded "$dist"/*.dll "$dist"/*.exe
echo "dist/:"
ls -l "$dist"
