#!/usr/bin/env bash
# Runs one fuzz target for as long as asked, building it first (preset "fuzz").
#   scripts/fuzz.sh TARGET SECONDS [LIBFUZZER_OPTION ...]
#   scripts/fuzz.sh soak SECONDS     the settings re-read soak under ThreadSanitizer (preset "tsan")
#   scripts/fuzz.sh list
# Targets: ini_text_fuzz, scenario_fuzz, door_entry_fuzz, meter_entry_fuzz, overspeed_entry_fuzz.
# New inputs are kept in build/fuzz/tests/fuzz/work/TARGET/corpus, a failing input beside it
# (crash-*, timeout-*, oom-*); replay one with build/fuzz/bin/TARGET FILE. To keep inputs in the
# seeds: build/fuzz/bin/TARGET -merge=1 tests/fuzz/corpus/TARGET build/fuzz/tests/fuzz/work/TARGET/corpus
# Extra options go to libFuzzer, e.g. -jobs=2 -workers=2 or -max_len=100000.
set -euo pipefail
cd "$(dirname "$0")/.."

targets=(ini_text_fuzz scenario_fuzz door_entry_fuzz meter_entry_fuzz overspeed_entry_fuzz)
if [ "${1:-}" = list ] || [ $# -lt 2 ]; then
  echo "usage: scripts/fuzz.sh TARGET SECONDS [LIBFUZZER_OPTION ...]"
  echo "targets: ${targets[*]}"
  [ "${1:-}" = list ]
  exit
fi
target=$1 seconds=$2
shift 2
case "$seconds" in ''|*[!0-9]*) echo "SECONDS must be a whole number, got '$seconds'" >&2; exit 2 ;; esac

if [ "$target" = soak ]; then
  scripts/install-deps.sh native
  cmake --preset tsan >/dev/null
  cmake --build --preset tsan -j "$(nproc 2>/dev/null || echo 2)" --target settings_race_test >/dev/null
  echo "== settings soak for 2 x $seconds s"
  ATS_SOAK_SECONDS=$seconds exec build/tsan/bin/settings_race_test --gtest_filter='SettingsSoak.*'
fi
case " ${targets[*]} " in *" $target "*) ;; *) echo "unknown target '$target'; targets: ${targets[*]}" >&2; exit 2 ;; esac

scripts/install-deps.sh native
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc 2>/dev/null || echo 2)" --target "$target" >/dev/null

# The seeds, as the test lane uses them.
seeds=(tests/fuzz/corpus/"$target")
case "$target" in
  ini_text_fuzz) seeds+=(tests/profile/fixtures) ;;
  scenario_fuzz) seeds+=(scenarios tests/bench/fixtures) ;;
esac
echo "== $target for $seconds s"
exec bash tests/fuzz/run_fuzz.sh "build/fuzz/bin/$target" "$seconds" "build/fuzz/tests/fuzz/work/$target" \
  "${seeds[@]}" -- "$@"
