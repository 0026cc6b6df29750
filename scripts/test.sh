#!/usr/bin/env bash
# Builds every preset and runs every test lane:
#   native  Linux: unit tests, start-up tests through dlopen, bench scenarios
#   asan    the same under AddressSanitizer and UndefinedBehaviorSanitizer
#   tsan    the same under ThreadSanitizer
#   fuzz    each fuzz target for a few seconds on its seeds (clang, libFuzzer, ASan and UBSan);
#           scripts/fuzz.sh runs one for longer
#   win32   the 32-bit DLLs, checked statically (exports, imports, argument bytes)
#   win64   the Windows tests, bench scenarios and profile comparison under Wine (headless)
# Usage: scripts/test.sh [preset ...]   (default: all six)
set -euo pipefail
cd "$(dirname "$0")/.."

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(native asan tsan fuzz win32 win64)

scripts/install-deps.sh
jobs=$(nproc 2>/dev/null || echo 2)

# Wine stays headless and quiet, and keeps one server alive across the test programs.
unset DISPLAY WAYLAND_DISPLAY
export WINEDEBUG=-all

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
  echo "== $preset: test"
  if ! ctest --preset "$preset" -j "$jobs"; then
    failed+=("$preset")
  fi
  echo "== $preset: $(( $(date +%s) - lane_start )) s"
done
[ -x /usr/lib/wine/wineserver ] && WINEPREFIX="$PWD/build/win64/wineprefix" /usr/lib/wine/wineserver -k 2>/dev/null || true

echo "== all lanes: $(( $(date +%s) - start )) s"
if [ ${#failed[@]} -gt 0 ]; then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "All lanes passed: ${presets[*]}"
