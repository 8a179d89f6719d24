#!/usr/bin/env bash
# Installs everything a fresh Debian bookworm machine needs to build and test Mivex.
# Idempotent: once the stamp matches, a second run returns at once.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
stamp="$here/.deps/bootstrap.stamp"
version=12  # bump when the package list or the cross-built dependencies change

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
  # the 512-bit vector instructions emulated, to test the engine's kernels for them anywhere
  libsimde-dev
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

# ---- 32-bit Wine and CJK glyphs: packages ----
# debootstrap makes the private i386 root that gives 32-bit Wine where the machine's
# own lists cannot (scripts/wine32-root.sh); WenQuanYi Micro Hei gives the Chinese and
# Japanese catalogue texts real glyphs under Wine (the root sees the machine's fonts).
packages+=(debootstrap fonts-wqy-microhei)
# ---- end ----

# ---- 32-bit Wine: no i386 architecture on the machine ----
# 32-bit Wine comes from the machine only where wine32 is installed already; elsewhere
# from the private i386 root below. The i386 architecture that earlier versions of
# this script added is dropped again while no i386 package is installed: a mirror's
# failing i386 lists would otherwise fail every package list update.
if dpkg --print-foreign-architectures | grep -qx i386 &&
   ! dpkg-query -W -f '${Architecture}\n' | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --remove-architecture i386
  rm -f "$here/.deps/apt-updated"
fi
# ---- end ----
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
# The dependencies built here, side by side: making the i386 root is mostly waiting for
# the archive, the cross builds mostly compiling. Each writes its output to a log in
# .deps, shown when it fails.
pids=()
names=()
in_background() {  # in_background NAME COMMAND...
  local name=$1
  shift
  "$@" >"$here/.deps/$name.log" 2>&1 &
  pids+=($!)
  names+=("$name")
}
# Where the kernel runs 32-bit code and the machine has no wine32, the i686 build's
# tests and the demo run under 32-bit Wine from an i386 Debian root in .deps.
case "$("$here/scripts/wine-arch.sh" --route)" in
  none|root) in_background i386-root "$here/scripts/wine32-root.sh" make ;;
esac
# libjpeg-turbo (IJG API) for the Windows builds, from Debian's source package, static;
# the two builds share one unpacked source.
in_background libjpeg bash -c '"$1" i686 && "$1" x86_64' - "$here/scripts/cross-libjpeg.sh"
# Free Pascal cross compiler for i386-win32 (the Pascal host test).
in_background fpc "$here/scripts/cross-fpc.sh"
failed=0
for i in "${!pids[@]}"; do
  if ! wait "${pids[$i]}"; then
    echo "bootstrap: ${names[$i]} failed:" >&2
    cat "$here/.deps/${names[$i]}.log" >&2
    failed=1
  fi
done
[ "$failed" = 0 ] || exit 1

echo "$version" > "$stamp"
