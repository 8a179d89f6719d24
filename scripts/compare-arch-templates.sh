#!/usr/bin/env bash
# The i686 build (the shipped one) and the x86_64 build must give byte-identical
# template strings for the same sensor scenario: the feature engine's arithmetic must
# not depend on the word size, the compiler's vector code or the C library's maths.
# Runs mivex-host.exe verify of both trees under Wine for a few scenarios and compares.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
scenarios=(
  "seed 4242; press 3 L2 good; repeat"
  "seed 77; press 8 R1 poor; repeat"
  "seed 9001; press 21 L5 light; repeat"
)

# template TREE SCENARIO: the template string the tree's verification dialog returns.
template() {
  local out
  out=$(cd "$here/build/$1/bin" &&
        OSTRELA_SCENARIO="$2" MIVEX_WINEPREFIX="$here/build/$1/wineprefix" \
          "$here/scripts/wine-run.sh" ./mivex-host.exe verify) || {
    echo "$1: mivex-host verify failed for \"$2\":" >&2
    echo "$out" >&2
    return 1
  }
  # The template string is every line after "template (N characters):".
  awk 'found { print } /^template \(/ { found = 1 } END { exit !found }' <<<"$out" || {
    echo "$1: no template for \"$2\":" >&2
    echo "$out" >&2
    return 1
  }
}

status=0
for s in "${scenarios[@]}"; do
  a=$(template win32 "$s") || { status=1; continue; }
  b=$(template win64 "$s") || { status=1; continue; }
  if [ "$a" = "$b" ]; then
    echo "same template ($(tr -d '\r\n' <<<"$a" | wc -c) characters) for \"$s\""
  else
    echo "DIFFERENT templates for \"$s\":" >&2
    echo "  i686:   $a" >&2
    echo "  x86_64: $b" >&2
    status=1
  fi
done
exit "$status"
