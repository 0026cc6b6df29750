#!/usr/bin/env bash
# Every complete scenario shown in a docs page (a fenced block that names a plug-in) runs and meets
# its expectations, so a vehicle author who copies one gets what the page says.
# Usage: docs_examples.sh BENCH DOCS_PAGE...
set -euo pipefail
bench=$1
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
count=0
for page in "$@"; do
  # Write each fenced block to its own file; keep those with a "plugin" line.
  awk -v dir="$work" -v base="$(basename "$page" .md)" '
    /^```/ { if (inside) { close(file); inside = 0 } else { inside = 1; n++; file = dir "/" base "-" n ".scn" } ; next }
    inside { print > file }' "$page"
done
for example in "$work"/*.scn; do
  [ -e "$example" ] || continue
  grep -q '^plugin ' "$example" || continue
  count=$((count + 1))
  if ! (cd "$work" && "$bench" --check "$example" >/dev/null); then
    echo "FAIL: the example in $(basename "$example") does not run as documented:"
    (cd "$work" && "$bench" --check "$example" 2>&1 | tail -5) || true
    exit 1
  fi
  echo "ok   $(basename "$example")"
done
[ $count -gt 0 ] || { echo "FAIL: no example found"; exit 1; }
