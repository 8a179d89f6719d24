#!/usr/bin/env bash
# Installs everything a fresh Debian bookworm machine needs to build and test Mivex.
# Idempotent: once the stamp matches, a second run returns at once.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
stamp="$here/.deps/bootstrap.stamp"
version=10  # bump when the package list or the cross-built dependencies change

if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$version" ]; then
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" != 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive

packages=(
  # build tools
  cmake make g++ pkg-config nasm dpkg-dev file
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
  # Windows runtime for tests: wine64 everywhere (wine32, below, where it installs)
  wine wine64 xvfb xauth fonts-liberation
  # libraries: native and cross
  libgcrypt20-dev libgcrypt-mingw-w64-dev libgpg-error-mingw-w64-dev
  libjpeg-dev libpng-dev zlib1g-dev
  libgtest-dev googletest libbenchmark-dev
  # peers used by tests and benchmarks
  libgmp-dev libssl-dev openssl coreutils libjpeg-turbo-progs python3-pil imagemagick
  # every glibc locale, so that Wine takes the user interface language and code page from LANG
  locales-all
  clang libclang-rt-14-dev
)
# --- host integration kit: import library tools, the Microsoft-style host's compiler
# and linker, Free Pascal (starting compiler of the i386-win32 cross compiler), C#
# compiler for the .NET binding, zip for the package.
packages+=(llvm clang lld fp-compiler fp-units-rtl fp-utils mono-mcs zip)
# --- end of host integration kit

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
fi
# apt-get source needs a deb-src entry for the cross builds of libjpeg-turbo.
if ! grep -rqs '^Types:.*deb-src\|^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: bookworm bookworm-updates\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
    | "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/mivex-deb-src.sources >/dev/null
  rm -f "$here/.deps/apt-updated"
fi

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
mkdir -p "$here/.deps"
# A mirror caught in the middle of a sync fails an update now and then ("File has
# unexpected size"): try again after a pause, and after the last try go on with the
# package lists there are; the install below still fails if they do not serve.
apt_update() {
  local attempt
  for attempt in 1 2 3 4; do
    if "${sudo_cmd[@]}" apt-get update -q; then return 0; fi
    echo "bootstrap: apt-get update failed (try $attempt of 4)" >&2
    [ "$attempt" = 4 ] || sleep $((attempt * 15))
  done
  return 1
}
if [ ${#missing[@]} -gt 0 ] || [ ! -f "$here/.deps/apt-updated" ]; then
  if apt_update; then
    touch "$here/.deps/apt-updated"
  else
    echo "bootstrap: going on with the package lists there are" >&2
  fi
fi
if [ ${#missing[@]} -gt 0 ]; then
  "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
# wine32 runs the 32-bit build's tests where the kernel executes 32-bit code; without
# it the tests run the 64-bit build under wine64 (scripts/wine-arch.sh). Its i386
# libraries must be the very versions of the amd64 ones installed, so an i386 package
# list that a mirror serves behind the amd64 one leaves it uninstallable for a while:
# then go on without it rather than fail the whole bootstrap.
if ! dpkg -s wine32:i386 >/dev/null 2>&1; then
  if ! "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends wine32:i386; then
    echo "bootstrap: wine32 could not be installed; Wine tests will use wine64" >&2
  fi
fi

# libjpeg-turbo (IJG API) for the Windows builds, from Debian's source package, static.
"$here/scripts/cross-libjpeg.sh" i686
"$here/scripts/cross-libjpeg.sh" x86_64
# --- host integration kit: Free Pascal cross compiler for i386-win32 (Pascal host test).
"$here/scripts/cross-fpc.sh"
# --- end of host integration kit

echo "$version" > "$stamp"
