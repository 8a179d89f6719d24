#!/usr/bin/env bash
# Runs every benchmark of build/bench; each prints its ratios against its peer.
# Extra arguments go to every benchmark (for example --benchmark_filter=...).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bin="$here/build/bench/bin"
status=0
for b in crypto_bench integers_bench vandrel_bench ostrela_bench; do
  [ -x "$bin/$b" ] || { echo "missing $bin/$b" >&2; status=1; continue; }
  echo "== $b"
  "$bin/$b" "$@" || status=1
done
exit "$status"
