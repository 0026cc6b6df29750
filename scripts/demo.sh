#!/usr/bin/env bash
# Builds the Linux plug-ins and the bench, then runs the three demo scenarios: a station stop with
# Tavrel, stepped meters with Quinsora, a runaway descent with Vesk. Prints each timeline and the
# path of each chart (SVG, opens in any browser).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh native
echo "== building the plug-ins and the bench (preset native)"
cmake --preset native >/dev/null
cmake --build --preset native -j "$(nproc 2>/dev/null || echo 2)" --target bench >/dev/null

mkdir -p build/demo
for demo in tavrel-station-stop quinsora-stepped-meters vesk-runaway-descent; do
  echo
  echo "== demo: scenarios/$demo.scn"
  build/native/bin/bench "scenarios/$demo.scn" --svg "build/demo/$demo.svg" --csv "build/demo/$demo.csv"
done
echo
echo "Charts: $(ls "$PWD"/build/demo/*.svg | tr '\n' ' ')"
