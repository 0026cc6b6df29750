#!/usr/bin/env bash
# Runs one fuzz target for a bounded time on its seeds, keeping what it finds in a work folder.
# Usage: run_fuzz.sh TARGET SECONDS WORK [SEED_FOLDER ...] [-- LIBFUZZER_OPTION ...]
# New inputs go to WORK/corpus (the seed folders are only read); a failing input is written to WORK
# as crash-*, leak-*, timeout-* or oom-*, and the run fails. With FUZZ_FRESH=1 the work folder's
# corpus is emptied first, so that a short run takes the same time however often it has run.
set -euo pipefail
target=$1 seconds=$2 work=$3
shift 3
seeds=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do
  [ -d "$1" ] && seeds+=("$1")
  shift
done
[ "${1:-}" = -- ] && shift
[ "${FUZZ_FRESH:-0}" = 1 ] && rm -rf "$work/corpus"
mkdir -p "$work/corpus"
dict="$(dirname "$0")/$(basename "$target").dict"
[ -f "$dict" ] && set -- -dict="$dict" "$@"
exec "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$work/" "$@" "$work/corpus" "${seeds[@]}"
