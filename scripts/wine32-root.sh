#!/usr/bin/env bash
# 32-bit Wine from a private i386 Debian root, for machines whose kernel runs 32-bit
# code but whose own package lists cannot give wine32 (its i386 libraries must be the
# very versions of the installed amd64 ones, which a mirror serving its i386 lists
# behind the amd64 ones, or failing them, makes impossible).
#
#   wine32-root.sh make         builds .deps/i386-root (once; a second run returns at once)
#   wine32-root.sh exec CMD...  runs CMD inside it, in the current directory
#
# The root comes from Debian's archive (bookworm main and bookworm-updates only) and
# holds wine32 and its libraries. Each command runs in a mount namespace of its own
# (nothing stays mounted after it) where /proc, /dev, /tmp (X and wineserver
# sockets), the repository, ../shared and the machine's fonts appear at their own
# paths, so paths, Wine prefixes and Z: drive names are the same inside and out.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
root="$here/.deps/i386-root"
stamp="$here/.deps/i386-root.stamp"
version=1   # bump when the packages inside change
mirror=http://deb.debian.org/debian
inside_packages=(wine32 wine locales-all fontconfig)

make_root() {
  if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$version" ] && [ -x "$root/usr/lib/wine/wine" ]; then
    return 0
  fi
  local sudo_cmd=()
  [ "$(id -u)" = 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" rm -rf "$root" "$root.new"
  echo "wine32-root: making an i386 Debian root for 32-bit Wine in .deps/i386-root"
  "${sudo_cmd[@]}" debootstrap --arch=i386 --variant=minbase bookworm "$root.new" "$mirror" >/dev/null
  printf 'deb %s bookworm main\ndeb %s bookworm-updates main\n' "$mirror" "$mirror" \
    | "${sudo_cmd[@]}" tee "$root.new/etc/apt/sources.list" >/dev/null
  # Package scripts inside must not start services on the machine.
  printf '#!/bin/sh\nexit 101\n' | "${sudo_cmd[@]}" tee "$root.new/usr/sbin/policy-rc.d" >/dev/null
  "${sudo_cmd[@]}" chmod 755 "$root.new/usr/sbin/policy-rc.d"
  "${sudo_cmd[@]}" mv "$root.new" "$root"
  run_inside env DEBIAN_FRONTEND=noninteractive apt-get update -q >/dev/null
  run_inside env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -q --no-install-recommends "${inside_packages[@]}" >/dev/null
  run_inside apt-get clean
  run_inside fc-cache >/dev/null 2>&1 || true
  echo "$version" | "${sudo_cmd[@]}" tee "$stamp" >/dev/null
}

# Runs a command inside the root in a private mount namespace. As root the namespace
# is the machine's own; any other user gets one of a user namespace mapping it to root.
run_inside() {
  [ -d "$root/usr" ] || { echo "wine32-root: no i386 root at $root (run scripts/bootstrap.sh)" >&2; return 125; }
  local ns=(unshare --mount --propagation private)
  [ "$(id -u)" = 0 ] || ns=(unshare --map-root-user --mount --propagation private)
  local shared
  shared=$(cd "$here/.." && pwd)/shared
  "${ns[@]}" /bin/bash -c '
    set -e
    root=$1 repo=$2 shared=$3 dir=$4; shift 4
    bind() {  # bind <from> <to-inside> [ro]
      [ -e "$1" ] || return 0
      mkdir -p "$root$2"
      mount --rbind "$1" "$root$2"
      if [ "${3:-}" = ro ]; then mount -o remount,bind,ro "$root$2"; fi
    }
    bind /proc /proc
    bind /dev /dev
    bind /tmp /tmp
    bind "$repo" "$repo"
    bind "$shared" "$shared"
    bind /usr/share/fonts /usr/local/share/fonts ro
    exec chroot "$root" /bin/sh -c "cd \"\$0\" 2>/dev/null || cd /; exec \"\$@\"" "$dir" "$@"
  ' wine32-root "$root" "$here" "$shared" "$PWD" "$@"
}

case "${1:-}" in
  make) make_root ;;
  exec) shift; run_inside "$@" ;;
  *) echo "usage: wine32-root.sh make | exec COMMAND..." >&2; exit 2 ;;
esac
