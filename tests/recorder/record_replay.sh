#!/usr/bin/env bash
# Replay is exact: runs a bundled scenario on the bench through the recorder (the recorder in front
# of the real plug-in, as in the simulator), then replays the recording on the bench against the
# same build. The first run must meet the scenario's own expectations; the replay must reproduce
# every output of every frame, with as many frames. With --changed-ini, the replay is also run
# against the plug-in with a changed INI line and must name the frames that differ.
# Usage: record_replay.sh BIN SUFFIX SCENARIO WORK [--wine WINE] [--changed-ini FROM TO]
set -euo pipefail
bin=$1 suffix=$2 scenario=$3 work=$4
shift 4
wine="" changed_from="" changed_to=""
while [ $# -gt 0 ]; do
  case $1 in
    --wine) wine=$2; shift 2 ;;
    --changed-ini) changed_from=$2 changed_to=$3; shift 3 ;;
    *) echo "unknown argument $1"; exit 2 ;;
  esac
done

# Paths as the program under test sees them: Unix paths reach a Windows program through drive Z:.
native() { if [ -n "$wine" ]; then echo "Z:$1"; else echo "$1"; fi; }
bench() { if [ -n "$wine" ]; then "$wine" "$bin/bench.exe" "$@"; else "$bin/bench" "$@"; fi; }

rm -rf "$work"
mkdir -p "$work/real"
name=$(awk '$1 == "plugin" { print $2; exit }' "$scenario")
cp "$bin/$name$suffix" "$work/real/"

# The scenario's INI lines become the real plug-in's INI file; the scenario that runs the recorder
# gets the recorder's INI lines in their place.
ini_pattern='^[ \t]*ini([ \t]|$)'
if grep -Eq "$ini_pattern" "$scenario"; then
  grep -E "$ini_pattern" "$scenario" | sed -E 's/^[ \t]*ini[ \t]?//' | sed 's/$/\r/' >"$work/real/$name.ini"
fi
{
  grep -Ev "$ini_pattern" "$scenario"
  echo "ini [Recorder]"
  echo "ini Plugin=$(native "$work/real/$name$suffix")"
  echo "ini Recording=$(native "$work/recording.scn")"
} >"$work/through-recorder.scn"

out=$(bench --check "$(native "$work/through-recorder.scn")" --plugin "$(native "$bin/Recorder$suffix")" 2>&1) || {
  echo "$out"; echo "FAIL: the scenario does not pass through the recorder"; exit 1; }
echo "$out"
frames=$(sed -nE 's/.*expectation\(s\) met, ([0-9]+) frames.*/\1/p' <<<"$out")
[ -f "$work/recording.scn" ] || { echo "FAIL: no recording written"; exit 1; }

out=$(bench --check "$(native "$work/recording.scn")" 2>&1) || {
  echo "$out"; echo "FAIL: the replay differs from the recording"; exit 1; }
echo "$out"
replayed=$(sed -nE 's/.*in all ([0-9]+) frame\(s\).*/\1/p' <<<"$out")
[ -n "$frames" ] && [ "$frames" = "$replayed" ] || { echo "FAIL: $frames frames run, $replayed replayed"; exit 1; }
echo "ok   $name: $frames frames recorded and replayed exactly ($(wc -c <"$work/recording.scn") bytes)"

if [ -n "$changed_from" ]; then
  sed "s/^ini $changed_from\r\{0,1\}\$/ini $changed_to/" "$work/recording.scn" >"$work/changed.scn"
  cmp -s "$work/recording.scn" "$work/changed.scn" && { echo "FAIL: no line 'ini $changed_from' to change"; exit 1; }
  status=0
  out=$(bench --check "$(native "$work/changed.scn")" 2>&1) || status=$?
  echo "$out" | tail -n 3
  [ $status -eq 1 ] && grep -q "difference(s) from the recording in $frames frame(s); the first: .*changed.scn:[0-9]*: frame [0-9]* at" <<<"$out" || {
    echo "FAIL: a changed INI file should fail the replay (status 1) and name the first difference"; exit 1; }
  echo "ok   $name: with 'ini $changed_to' the replay names $(grep ': frame [0-9]* at' <<<"$out" | grep -vc 'difference(s)') differing frame(s)"
fi
