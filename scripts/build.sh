#!/usr/bin/env bash
# Configures (once) and builds one tree under build/: native | win32 | win64 | bench | fuzz,
# whole, or only the targets named after it.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
tree=$1
shift
targets=()
for t in "$@"; do targets+=(--target "$t"); done
dir="$here/build/$tree"
jobs=${JOBS:-$(nproc)}
args=(-S "$here" -B "$dir" -G "Unix Makefiles")
case "$tree" in
  # Line tables only: enough for the sanitizers' reports, and a fifth less compile time.
  native) args+=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DMIVEX_SANITIZE=ON
                 -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG") ;;
  win32|win64)
    arch=$([ "$tree" = win32 ] && echo i686 || echo x86_64)
    wine_tests=OFF
    [ "$("$here/scripts/wine-arch.sh")" = "$arch" ] && wine_tests=ON
    args+=(-DCMAKE_TOOLCHAIN_FILE="$here/cmake/toolchain-$arch-mingw32.cmake" -DCMAKE_BUILD_TYPE=Release
           -DMIVEX_WINE_TESTS=$wine_tests) ;;
  bench) args+=(-DCMAKE_BUILD_TYPE=Release -DMIVEX_BENCH=ON -DMIVEX_TESTS=OFF) ;;
  fuzz) args+=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DMIVEX_FUZZ=ON -DMIVEX_TESTS=OFF
               -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++) ;;
  *) echo "unknown tree $tree" >&2; exit 2 ;;
esac
# Configure once, and again when the tree's Wine tests are switched (the machine got,
# or lost, a 32-bit Wine since).
if [ ! -f "$dir/Makefile" ] ||
   { [ -n "${wine_tests:-}" ] && ! grep -qx "MIVEX_WINE_TESTS:BOOL=$wine_tests" "$dir/CMakeCache.txt"; }; then
  cmake "${args[@]}" >/dev/null
fi
set +e
cmake --build "$dir" -j"$jobs" "${targets[@]}" -- --no-print-directory 2>&1 | grep -v -E "^\[ *[0-9]+%\] (Building|Linking|Built target|Generating)|^-- "
status=${PIPESTATUS[0]}
exit "$status"
