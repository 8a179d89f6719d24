#!/usr/bin/env bash
# The library's main job, run through the real exports and dialogs under Wine: a person
# (played by mivex-host) enrols two fingers in the dialog, then that person and another
# one verify, and the templates are compared with the feature engine.
# Without a display it runs inside Xvfb. The dialog picture lands in build/demo/.
# Afterwards no X server, wineserver or Wine program of the demo may be left running.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/scripts/wine-lib.sh"
wine_mark_run
arch=$("$here/scripts/wine-arch.sh")
tree=$([ "$arch" = i686 ] && echo win32 || echo win64)
bin="$here/build/$tree/bin"
out="$here/build/demo"
mkdir -p "$out"
export MIVEX_WINEPREFIX="$here/build/$tree/wineprefix"
# The simulated sensor follows this file; the demo rewrites it to change fingers.
scenario="$out/sensor-scenario.txt"
: > "$scenario"
export OSTRELA_SCENARIO_FILE="Z:$scenario"
unset OSTRELA_SCENARIO
winpath() { echo "Z:$1" | tr / '\\'; }
# Real prints for the demo's second part, read where they lie (never copied).
real_prints="$here/../shared/data/fingerprints/fvc2000_db2_b"
real_args=()
if [ -f "$real_prints/101_1.png" ]; then
  real_args=(--real-prints "$(winpath "$(cd "$real_prints" && pwd)")")
fi
echo "Mivex demo: Mivex.dll, Vandrel.dll and Ostrela.dll ($tree build) under Wine"
echo "($("$here/scripts/wine-arch.sh" --why))"
echo
cd "$bin"
status=0
# Wine's and the library's diagnostics go to a log; the runner's own verdict is shown.
"$here/scripts/wine-run.sh" ./mivex-host.exe demo --scenario-file "$(winpath "$scenario")" \
  --screenshot "$(winpath "$out/enroll-dialog.bmp")" "${real_args[@]}" 2>"$out/stderr.txt" || status=$?
grep '^wine-run:' "$out/stderr.txt" >&2 || true
if [ -f "$out/enroll-dialog.bmp" ] && command -v convert >/dev/null; then
  convert "$out/enroll-dialog.bmp" "$out/enroll-dialog.png" && rm -f "$out/enroll-dialog.bmp"
  echo "Picture of the enrollment dialog: build/demo/enroll-dialog.png"
fi
check_no_leftovers || status=1
exit "$status"
