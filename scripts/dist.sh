#!/usr/bin/env bash
# Lays out dist/ from the i686 build tree: the 32-bit DLLs, the host tool and mivex-tool,
# and what hosts build with (sdk/: mivex.h, the host-facing Mivex.def, libMivex.dll.a for MinGW,
# Mivex.lib for Microsoft's and LLVM's linkers), the bindings and the integration guide.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
tree="$here/build/win32"
dist="$here/dist"
rm -rf "$dist"
mkdir -p "$dist"
missing=0
for f in bin/Mivex.dll bin/Vandrel.dll bin/Ostrela.dll bin/mivex-host.exe bin/mivex-tool.exe bin/ding.wav \
         sdk/mivex.h sdk/Mivex.def sdk/libMivex.dll.a sdk/Mivex.lib; do
  if [ -f "$tree/$f" ]; then cp "$tree/$f" "$dist/"; else echo "missing: $tree/$f" >&2; missing=1; fi
done
[ "$missing" = 0 ] || exit 1
i686-w64-mingw32-strip --strip-unneeded "$dist"/*.dll "$dist"/*.exe
cp -r "$here/bindings" "$dist/bindings"
mkdir -p "$dist/docs"
cp "$here/docs/integration.md" "$here/docs/enroll-look.png" "$here/docs/verify-look.png" "$dist/docs/"
"$here/scripts/third-party-licences.sh" > "$dist/LICENSES-THIRD-PARTY.txt"
echo "dist/:"
ls -l "$dist"
