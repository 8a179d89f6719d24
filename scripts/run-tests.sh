#!/usr/bin/env bash
# Runs the tests of every built tree in one ctest run, ending in ctest's summary; then
# ends the run's Wine session and X server and fails if any process of the run is left.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/scripts/wine-lib.sh"
wine_mark_run

trees=()
wine_trees=()
for t in native win32 win64; do
  [ -f "$here/build/$t/CTestTestfile.cmake" ] || continue
  trees+=("\"$t\"")
  if grep -qx 'MIVEX_WINE_TESTS:BOOL=ON' "$here/build/$t/CMakeCache.txt"; then wine_trees+=("$t"); fi
done
printf 'subdirs(%s)\n' "${trees[*]}" > "$here/build/CTestTestfile.cmake"
# The i686 and x86_64 builds must give the same template strings (both trees built).
if [ "$("$here/scripts/wine-arch.sh")" = i686 ] &&
   [ -f "$here/build/win32/bin/mivex-host.exe" ] && [ -f "$here/build/win64/bin/mivex-host.exe" ]; then
  printf 'add_test(wine.templates_i686_x86_64 "%s")\nset_tests_properties(wine.templates_i686_x86_64 PROPERTIES LABELS wine RESOURCE_LOCK wine-desktop COST 1000 TIMEOUT 300)\n' \
    "$here/scripts/compare-arch-templates.sh" >> "$here/build/CTestTestfile.cmake"
fi
# The Wine runner itself: statuses, start failures, sessions that end with their program.
if [ ${#wine_trees[@]} -gt 0 ]; then
  printf 'add_test(wine.wine_runner "%s")\nset_tests_properties(wine.wine_runner PROPERTIES LABELS wine RESOURCE_LOCK wine-desktop COST 1000 TIMEOUT 300)\n' \
    "$here/scripts/check-wine-runner.sh" >> "$here/build/CTestTestfile.cmake"
fi

# One X server and one Wine session per tree with Wine tests, for the whole run.
xvfb_pid=
sessions=()
end_run() {
  local t
  if [ -n "${preparing:-}" ]; then wait "$preparing" || true; preparing=; fi
  for t in "${sessions[@]}"; do
    wine_commands "$([ "$t" = win32 ] && echo i686 || echo x86_64)"
    wine_session_stop "$here/build/$t/wineprefix"
  done
  sessions=()
  xvfb_stop
}
trap end_run EXIT
trap 'exit 130' INT TERM
if [ ${#wine_trees[@]} -gt 0 ]; then
  if [ -z "${DISPLAY:-}" ]; then xvfb_start; fi
  for t in "${wine_trees[@]}"; do
    prefix="$here/build/$t/wineprefix"
    wine_commands "$([ "$t" = win32 ] && echo i686 || echo x86_64)"
    wine_lock "$prefix"
    sessions+=("$t")
    wine_session_start "$prefix"
    export MIVEX_WINE_SESSION="${MIVEX_WINE_SESSION:+$MIVEX_WINE_SESSION:}$prefix"
  done
fi

# The x86_64 tree, built only for the template comparison, gets its prefix made beside
# the run, so the comparison does not wait for it. The lock is taken here, before ctest
# starts, and held by the background shell until the prefix is ready.
prefix64="$here/build/win64/wineprefix"
preparing=
if [ "$("$here/scripts/wine-arch.sh")" = i686 ] && [ -f "$here/build/win64/bin/mivex-host.exe" ] &&
   [ ! -f "$prefix64/.mivex-ready-4" ]; then
  wine_lock "$prefix64"
  (
    wine_commands x86_64
    wine_session_start "$prefix64" && wine_session_stop "$prefix64"
  ) >/dev/null 2>&1 &
  preparing=$!
  eval "exec ${wine_lock_fds[-1]}>&-"
  unset 'wine_lock_fds[-1]'
fi

status=0
(cd "$here/build" && without_locks ctest --output-on-failure -j"${JOBS:-$(nproc)}" "$@") || status=$?
end_run
trap - EXIT
check_no_leftovers || status=1
exit "$status"
