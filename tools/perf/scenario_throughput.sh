#!/usr/bin/env bash
# Scenario throughput of the bench (a benchmark, not a test): frames per second and peak memory of
# a 1,000,001-frame closed-loop run, with no outputs and with the CSV and the chart.
# Usage: tools/perf/scenario_throughput.sh [BUILD_DIR]   (default build/native)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build/native}
bench=$build/bin/bench
scenario=$here/closed-loop-1m.scn
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
frames=1000001
measure() {
  local name=$1
  shift
  /usr/bin/time -v "$bench" --check "$scenario" "$@" >"$out/stdout" 2>"$out/time" || {
    cat "$out/stdout" "$out/time"
    exit 1
  }
  local seconds kb
  seconds=$(awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, p, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + p[i]; print s }' "$out/time")
  kb=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$out/time")
  awk -v n="$name" -v f=$frames -v s="$seconds" -v kb="$kb" \
    'BEGIN { printf "%-22s %8.2f s  %9.0f frames/s  peak %7.1f MB\n", n, s, f / s, kb / 1024 }'
}
measure "no outputs (--check)"
measure "csv" --csv "$out/run.csv"
measure "chart" --svg "$out/run.svg"
ls -l "$out/run.csv" "$out/run.svg" | awk '{ print "  " $5 " bytes  " $9 }'
