#!/usr/bin/env bash
# Checks scripts/wine-run.sh on the Windows build Wine runs here, with a prefix of its
# own: a program's exit status comes through; a program Wine cannot start (a DLL it
# imports is missing) is reported as such, with status 125; and a program run outside
# a run's session leaves no wineserver or Wine program behind (its session ends with
# it, so a later program never starts into a session that is going away).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/scripts/wine-lib.sh"
arch=$("$here/scripts/wine-arch.sh")
tree=$([ "$arch" = i686 ] && echo win32 || echo win64)
cc=$([ "$arch" = i686 ] && echo i686-w64-mingw32-gcc || echo x86_64-w64-mingw32-gcc)
work="$here/build/$tree/wine-runner-check"
export MIVEX_WINEPREFIX="$work/wineprefix"
mkdir -p "$work"
cd "$work"

printf '#include <stdlib.h>\nint main(int argc, char** argv) { return argc > 1 ? atoi(argv[1]) : 0; }\n' > exits.c
printf '__declspec(dllexport) int absent(void) { return 1; }\n' > absent.c
printf '__declspec(dllimport) int absent(void);\nint main(void) { return absent(); }\n' > imports.c
"$cc" -O1 exits.c -o exits.exe
"$cc" -shared absent.c -o absent.dll -Wl,--out-implib,libabsent.a
"$cc" -O1 imports.c -o imports.exe -L. -labsent
rm -f absent.dll

failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }

# A program's own status, and nothing said about Wine.
wine_mark_run
status=0
"$here/scripts/wine-run.sh" ./exits.exe 7 2>stderr.txt || status=$?
[ "$status" = 7 ] || fail "exits.exe 7 ended with status $status, not 7"
if grep -q '^wine-run:' stderr.txt; then fail "a program's own failure was reported as Wine's: $(cat stderr.txt)"; fi
# Its session ended with it.
if ! check_no_leftovers; then fail "the program's own session outlived it"; fi

# Wine could not start the program: said plainly, status 125.
wine_mark_run
status=0
"$here/scripts/wine-run.sh" ./imports.exe 2>stderr.txt || status=$?
[ "$status" = 125 ] || fail "imports.exe (absent.dll missing) ended with status $status, not 125"
grep -q '^wine-run: Wine could not start ./imports.exe' stderr.txt ||
  fail "no 'Wine could not start' line for imports.exe: $(cat stderr.txt)"
if ! check_no_leftovers; then fail "the failed program's session outlived it"; fi

[ "$failures" = 0 ] && echo "wine-run.sh: statuses, start failures and session ends as expected ($tree)"
exit $((failures > 0))
