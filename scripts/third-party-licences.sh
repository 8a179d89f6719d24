#!/usr/bin/env bash
# Prints the licence texts of the libraries linked into the shipped binaries, from the
# Debian packages and source package they come from.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
section() {
  printf '%s\n%s\n\n' "$1" "$(printf '%*s' ${#1} '' | tr ' ' '=')"
  cat "$2"
  printf '\n\n'
}
section "libjpeg-turbo (JPEG compression of the sample pictures)" \
  "$(ls -d "$here"/.deps/src/libjpeg-turbo-*/ | head -n1)LICENSE.md"
section "libgcrypt (AES and SHA-256)" /usr/share/doc/libgcrypt-mingw-w64-dev/copyright
section "libgpg-error (used by libgcrypt)" /usr/share/doc/libgpg-error-mingw-w64-dev/copyright
section "GCC run-time libraries (libstdc++, libgcc, linked statically)" /usr/share/doc/gcc-mingw-w64-base/copyright
section "mingw-w64 run-time and winpthreads" /usr/share/doc/mingw-w64-common/copyright
