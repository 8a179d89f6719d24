#!/usr/bin/env bash
# Which Windows build this machine runs under Wine, and with which Wine.
#   wine-arch.sh          prints "i686" or "x86_64"
#   wine-arch.sh --route  prints how: kernel64 | host | root | none
#   wine-arch.sh --why    prints one sentence saying which build runs and why
# Routes:
#   kernel64  the kernel runs no 32-bit code (some virtual machines refuse both 32-bit
#             ELF files and 32-bit code segments): the x86_64 build under wine64;
#   host      wine32 is installed on the machine: the i686 build under it;
#   root      wine32 from the private i386 root (scripts/wine32-root.sh): the i686 build;
#   none      the kernel runs 32-bit code but no 32-bit Wine is there yet (bootstrap
#             makes the root): the x86_64 build until then.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

# A static i386 ELF program of 96 bytes that only exits with status 42.
kernel_runs_32bit() {
  local probe="$here/.deps/elf32-probe"
  if [ ! -x "$probe" ]; then
    mkdir -p "$here/.deps"
    local tmp
    tmp=$(mktemp "$here/.deps/elf32-probe.XXXXXX")
    printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08'`
          `'\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00'`
          `'\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00'`
          `'\x05\x00\x00\x00\x00\x10\x00\x00\xbb\x2a\x00\x00\x00\xb8\x01\x00\x00\x00\xcd\x80' > "$tmp"
    chmod 755 "$tmp"
    mv -f "$tmp" "$probe"
  fi
  local status=0
  "$probe" 2>/dev/null || status=$?
  [ "$status" = 42 ]
}

host_wine32() { [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1; }
root_wine32() { [ -f "$here/.deps/i386-root.stamp" ] && [ -x "$here/.deps/i386-root/usr/lib/wine/wine" ]; }

if ! kernel_runs_32bit; then route=kernel64
elif host_wine32; then route=host
elif root_wine32; then route=root
else route=none
fi

case "${1:-}" in
  --route) echo "$route" ;;
  --why)
    case "$route" in
      kernel64) echo "x86_64 build: this machine's kernel runs no 32-bit code, so the x86_64 build of the same sources runs under 64-bit Wine" ;;
      host) echo "i686 build (the shipped one) under the machine's 32-bit Wine" ;;
      root) echo "i686 build (the shipped one) under 32-bit Wine from the private i386 Debian root in .deps/i386-root, as the machine's package lists give no wine32" ;;
      none) echo "x86_64 build: the kernel runs 32-bit code but there is no 32-bit Wine yet (scripts/bootstrap.sh makes one), so the x86_64 build runs under 64-bit Wine" ;;
    esac ;;
  *) if [ "$route" = host ] || [ "$route" = root ]; then echo i686; else echo x86_64; fi ;;
esac
