#!/usr/bin/env bash
# Prints the Windows architecture whose programs this machine can run under Wine:
# "i686" when the kernel executes 32-bit x86 code (wine32 works), else "x86_64" (wine64).
# Some virtual machines run no 32-bit code at all: neither 32-bit ELF files nor
# 32-bit code segments in 64-bit processes, and wine32 cannot start there.
if [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo i686
else
  echo x86_64
fi
