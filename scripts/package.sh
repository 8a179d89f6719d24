#!/usr/bin/env bash
# Packs dist/ into dist/Mivex-<version>-win32.zip with SHA-256 sums of its files
# (SHA256SUMS inside the archive, and one for the archive itself beside it). The
# version is the build's (the project version the i686 tree was configured with).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
dist="$here/dist"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$here/build/win32/CMakeCache.txt")
[ -n "$version" ] || { echo "no version in build/win32/CMakeCache.txt" >&2; exit 1; }
name="Mivex-$version-win32"
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/$name"
cp -a "$dist"/. "$stage/$name/"
rm -f "$stage/$name"/Mivex-*-win32.zip*
(cd "$stage/$name" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort | xargs -d '\n' sha256sum > SHA256SUMS)
rm -f "$dist/$name.zip" "$dist/$name.zip.sha256"
(cd "$stage" && zip -q -r -X "$dist/$name.zip" "$name")
(cd "$dist" && sha256sum "$name.zip" > "$name.zip.sha256")
echo "dist/$name.zip ($(stat -c %s "$dist/$name.zip") bytes), $(wc -l < "$stage/$name/SHA256SUMS") files:"
cat "$dist/$name.zip.sha256"
