#!/usr/bin/env bash
# Runs the tests of every built tree in one ctest run, ending in ctest's summary.
set -euo pipefail
wineserver_stop() { :; }
here=$(cd "$(dirname "$0")/.." && pwd)
trees=()
for t in native win32 win64; do
  [ -f "$here/build/$t/CTestTestfile.cmake" ] && trees+=("\"$t\"")
done
printf 'subdirs(%s)\n' "${trees[*]}" > "$here/build/CTestTestfile.cmake"
# One X server for the whole run (Wine programs that open windows need a display).
if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 90 140); do
    [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=":$n"
    trap 'kill $xvfb_pid 2>/dev/null; wineserver_stop' EXIT
    break
  done
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${DISPLAY#:}" ] && break; sleep 0.1; done
fi
wineserver_stop() {
  for p in "$here"/build/win*/wineprefix; do
    [ -d "$p" ] && WINEPREFIX="$p" /usr/lib/wine/wineserver -k 2>/dev/null || true
  done
}
cd "$here/build"
exec ctest --output-on-failure -j"${JOBS:-$(nproc)}" "$@"
