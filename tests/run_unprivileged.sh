#!/usr/bin/env bash
# Runs the named Google Tests as an unprivileged user, for the cases that only mean something when
# permissions hold (root writes into read-only files and folders). As root it drops to the user
# "nobody" with setpriv; as anyone else it runs them directly. A case that still skips is a failure.
# Exits 77 (ctest: skipped) when the test program cannot be reached without privileges.
# Usage: run_unprivileged.sh PROGRAM FILTER
set -uo pipefail
program=$1
filter=$2

run=("$program" "--gtest_filter=$filter")
if [ "$(id -u)" -eq 0 ]; then
  command -v setpriv >/dev/null || { echo "setpriv is missing"; exit 77; }
  drop=(setpriv --reuid=65534 --regid=65534 --clear-groups env HOME=/tmp TMPDIR=/tmp)
  if ! "${drop[@]}" test -x "$program"; then
    echo "an unprivileged user cannot reach $program (a folder on its path is closed)"
    exit 77
  fi
  run=("${drop[@]}" "${run[@]}")
fi

output=$(cd /tmp && "${run[@]}" 2>&1)
status=$?
printf '%s\n' "$output"
[ $status -eq 0 ] || exit $status
if grep -q '^\[  SKIPPED \]' <<<"$output"; then
  echo "FAIL: cases skipped even without privileges"
  exit 1
fi
grep -q '^\[  PASSED  \] [1-9]' <<<"$output" || { echo "FAIL: no case ran"; exit 1; }
