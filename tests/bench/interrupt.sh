#!/usr/bin/env bash
# An interrupted bench removes its private folder: for SIGINT, SIGTERM and SIGHUP, a run of the slow
# fake plug-in is interrupted once its folder exists; the bench must end by that signal and leave
# the temporary folder (TMPDIR) empty.
# Usage: interrupt.sh BENCH FAKE_PLUGIN SLOW_SCENARIO
set -euo pipefail
bench=$1 plugin=$2 scenario=$3
export TMPDIR
TMPDIR=$(mktemp -d)
trap 'rm -rf "$TMPDIR"' EXIT
set -m  # background jobs keep SIGINT, as a program started from a terminal does
status=0
for signal in INT TERM HUP; do
  "$bench" --check --plugin "$plugin" "$scenario" >/dev/null 2>&1 &
  pid=$!
  for _ in $(seq 100); do
    [ -n "$(ls -A "$TMPDIR")" ] && break
    sleep 0.05
  done
  sleep 0.3  # into the frames
  kill -s "$signal" "$pid"
  rc=0
  wait "$pid" || rc=$?
  expected=$((128 + $(kill -l "$signal")))
  left=$(ls -A "$TMPDIR")
  if [ "$rc" -ne "$expected" ] || [ -n "$left" ]; then
    echo "FAIL: SIG$signal: exit $rc (expected $expected), left in the temporary folder: ${left:-nothing}"
    status=1
  else
    echo "ok   SIG$signal: exit $rc, nothing left"
  fi
done
exit $status
