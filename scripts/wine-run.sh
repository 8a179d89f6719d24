#!/usr/bin/env bash
# Runs a Windows program under Wine for tests and the demo.
# One Wine prefix per build tree (MIVEX_WINEPREFIX), created once and reused.
# Without a display, the program runs inside its own Xvfb server.
set -euo pipefail
: "${MIVEX_WINEPREFIX:?MIVEX_WINEPREFIX names the Wine prefix of the build tree}"
export WINEPREFIX="$MIVEX_WINEPREFIX"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

exe=$1
pe_offset=$(od -An -tu4 -j60 -N4 "$exe" | tr -d ' ')
machine=$(od -An -tx2 -j"$((pe_offset + 4))" -N2 "$exe" | tr -d ' ')
case "$machine" in
  8664) loader=/usr/lib/wine/wine64; export WINEARCH=win64 ;;
  *)    loader=/usr/lib/wine/wine;   export WINEARCH=win32 ;;
esac

mkdir -p "$(dirname "$WINEPREFIX")"
(
  flock 9
  if [ ! -f "$WINEPREFIX/.mivex-ready-3" ]; then
    rm -rf "$WINEPREFIX"
    if [ -z "${DISPLAY:-}" ]; then
      xvfb-run -a "$loader" wineboot --init >/dev/null 2>&1 || true
    else
      "$loader" wineboot --init >/dev/null 2>&1 || true
    fi
    # One virtual desktop instead of X11 top-level windows: without a window manager
    # (Xvfb) Wine would wait up to two seconds for every window it hides.
    "$loader" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1 || true
    "$loader" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x1024 /f >/dev/null 2>&1 || true
    # No sound driver: the machines that run the tests have no sound device, and Wine's
    # ALSA and PulseAudio drivers can hold up a process's exit after a sound was played.
    "$loader" reg add 'HKCU\Software\Wine\Drivers' /v Audio /d '' /f >/dev/null 2>&1 || true
    # A crash ends the program with a backtrace on standard error instead of waiting
    # for someone to close Wine's crash dialog.
    "$loader" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 || true
    /usr/lib/wine/wineserver -w || true
    touch "$WINEPREFIX/.mivex-ready-3"
  fi
) 9>"$WINEPREFIX.lock"

# Keep the server alive between the many short test programs.
# Wine's own background processes (services, explorer) start with the first program
# and would inherit its output pipes, holding up whoever reads them; start them here
# with their output discarded.
/usr/lib/wine/wineserver -p30 </dev/null >/dev/null 2>&1 || true
if [ -n "${DISPLAY:-}" ]; then
  "$loader" cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
fi
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$loader" "$@"
else
  exec "$loader" "$@"
fi
