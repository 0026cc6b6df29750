#!/usr/bin/env bash
# Builds every preset and runs every test lane:
#   native  Linux: unit tests, start-up tests through dlopen, bench scenarios
#   asan    the same under AddressSanitizer and UndefinedBehaviorSanitizer
#   tsan    the same under ThreadSanitizer
#   fuzz    each fuzz target for a few seconds on its seeds (clang, libFuzzer, ASan and UBSan);
#           scripts/fuzz.sh runs one for longer
#   win32   the 32-bit DLLs: checked statically (exports, imports, argument bytes), then the
#           Windows tests, bench scenarios and profile comparison under Wine, through user-mode
#           emulation (the kernel here cannot run 32-bit code)
#   win64   the 64-bit DLLs: the same, under Wine (headless)
# Usage: scripts/test.sh [preset ...]   (default: all six)
set -euo pipefail
cd "$(dirname "$0")/.."

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(native asan tsan fuzz win32 win64)

# Status 2: everything is installed but 32-bit programs cannot run here (the reason is printed).
x86=true
scripts/install-deps.sh "${presets[@]}" || { status=$?; [ $status -eq 2 ] || exit $status; x86=false; }
jobs=$(nproc 2>/dev/null || echo 2)

# Wine stays headless and quiet. Each Wine lane keeps one server alive from before its first test
# program to after its last, so that no program connects to a server that is shutting down; the
# server is stopped on every way out of this script.
unset DISPLAY WAYLAND_DISPLAY
export WINEDEBUG=-all
wineserver=/usr/lib/wine/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver || echo wineserver)
wine_prefix=""
stop_wine_server() {
  [ -z "$wine_prefix" ] || WINEPREFIX="$wine_prefix" "$wineserver" -k 2>/dev/null || true
  wine_prefix=""
}
start_wine_server() {
  wine_prefix=$PWD/build/$1/wineprefix
  mkdir -p "$wine_prefix"
  local status=0
  WINEPREFIX="$wine_prefix" "$wineserver" -p </dev/null >/dev/null 2>&1 || status=$?
  [ $status -eq 0 ] || [ $status -eq 2 ] # 2: one already runs for this prefix
}
trap stop_wine_server EXIT
trap 'stop_wine_server; exit 130' INT TERM

start=$(date +%s)
failed=()
for preset in "${presets[@]}"; do
  echo "== $preset: configure and build"
  lane_start=$(date +%s)
  if ! { cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" -j "$jobs" >/dev/null; }; then
    # Build again in one job so the first error is readable.
    cmake --build --preset "$preset" -j 1 2>&1 | grep -m 20 -E 'error|Error' || true
    failed+=("$preset (build)")
    continue
  fi
  if [ "$preset" = win32 ] && ! $x86; then
    echo "== win32: NOT tested: 32-bit Windows programs cannot run on this machine (see above)"
    failed+=("win32 (no x86 emulation)")
    continue
  fi
  echo "== $preset: test"
  case $preset in
    win32 | win64)
      start_wine_server "$preset" || { echo "== $preset: cannot start the Wine server"; failed+=("$preset"); continue; }
      ;;
  esac
  if ! ctest --preset "$preset" -j "$jobs"; then
    failed+=("$preset")
  fi
  stop_wine_server
  echo "== $preset: $(( $(date +%s) - lane_start )) s"
done

echo "== all lanes: $(( $(date +%s) - start )) s"
if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "All lanes passed: ${presets[*]}"
