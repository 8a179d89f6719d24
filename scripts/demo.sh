#!/usr/bin/env bash
# The library's main job, run through the real exports and dialogs under Wine.
# Without a display it runs inside Xvfb and plays the user itself.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
arch=$("$here/scripts/wine-arch.sh")
tree=$([ "$arch" = i686 ] && echo win32 || echo win64)
bin="$here/build/$tree/bin"
export MIVEX_WINEPREFIX="$here/build/$tree/wineprefix"
cd "$bin"
close=()
if [ -z "${DISPLAY:-}" ]; then
  echo "No display: running under Xvfb; the dialog is closed after 3 seconds as a user would."
  close=(--close-after 3)
fi
"$here/scripts/wine-run.sh" ./mivex-host.exe enroll --user "demo user" "${close[@]}" 2>/dev/null
