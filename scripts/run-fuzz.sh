#!/usr/bin/env bash
# Runs every fuzz target of build/fuzz for FUZZ_SECONDS (default 60) each, under ASan
# and UBSan, from a corpus kept in build/fuzz/corpus/<target>.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bin="$here/build/fuzz/bin"
seconds=${FUZZ_SECONDS:-60}
status=0
for f in fuzz_feature_codec fuzz_ostrela_scenario fuzz_vandrel_records fuzz_vandrel_extract \
         fuzz_counted_string fuzz_finger_texts fuzz_hex_decode fuzz_template_string fuzz_mivex_tool_input; do
  [ -x "$bin/$f" ] || { echo "missing $bin/$f" >&2; status=1; continue; }
  corpus="$here/build/fuzz/corpus/$f"
  mkdir -p "$corpus"
  echo "== $f (${seconds}s)"
  "$bin/$f" -max_total_time="$seconds" -print_final_stats=1 "$corpus" 2>&1 | tail -n 12 || status=1
done
exit "$status"
