#!/usr/bin/env bash
# Runs a Windows program under Wine for tests and the demo:
#   MIVEX_WINEPREFIX=<prefix> wine-run.sh PROGRAM.exe [ARGS...]
# One Wine prefix per build tree (MIVEX_WINEPREFIX), made once and reused. The i686
# build runs under 32-bit Wine (the machine's, or the private root's), the x86_64 build
# under wine64. Inside a run whose session holds the prefix (MIVEX_WINE_SESSION, set
# by run-tests.sh and demo.sh) the program joins that session; otherwise it gets a
# session of its own, inside its own Xvfb when there is no display, that ends with it
# (scripts/wine-lib.sh says why).
# When Wine itself could not start the program, or was killed, it says so on standard
# error and exits with status 125; otherwise with the program's status.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/scripts/wine-lib.sh"
: "${MIVEX_WINEPREFIX:?MIVEX_WINEPREFIX names the Wine prefix of the build tree}"
exe=$1
if [ ! -f "$exe" ]; then
  echo "wine-run: no program $exe" >&2
  exit 125
fi
arch=$(pe_arch "$exe") || { echo "wine-run: $exe is not a Windows program" >&2; exit 125; }
wine_commands "$arch" || exit 125
export WINEPREFIX="$MIVEX_WINEPREFIX"

own_session=yes
case ":${MIVEX_WINE_SESSION:-}:" in
  *":$WINEPREFIX:"*) own_session=no ;;
esac
if [ "$own_session" = yes ]; then
  xvfb_pid=
  trap xvfb_stop EXIT
  if [ -z "${DISPLAY:-}" ]; then xvfb_start || exit 125; fi
  wine_lock "$WINEPREFIX"
  trap 'wine_session_stop "$WINEPREFIX"; xvfb_stop' EXIT
  wine_session_start "$WINEPREFIX" || exit 125
fi

# Standard error is kept to tell Wine's own start failures from the program's.
errfile=$(mktemp)
status=0
without_locks "${wine_loader[@]}" "$@" 2>"$errfile" || status=$?
cat "$errfile" >&2
wine_diagnose "$status" "$exe" "$errfile" || status=$?
rm -f "$errfile"
exit "$status"
