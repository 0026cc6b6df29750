#!/usr/bin/env bash
# Tries the release archives as a user would. Checks the sums, unpacks each archive into a fresh
# folder and checks: exactly the files a user needs and nothing else; every DLL of the right
# architecture with the sixteen exports and system imports only (check_library_tables.sh); a
# version resource in every DLL and exe; no folder of the build machine in any binary; the x64
# bench.exe run under Wine against every bundled scenario, the x86 one where this machine runs
# 32-bit Windows programs; the Linux bench run against every bundled scenario.
# Usage: check_release.sh DIST [BUILD_ROOT]   (BUILD_ROOT: a folder whose name must not appear in
#                                               the binaries; default: this repository)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
dist=$(cd "$1" && pwd)
build_root=${2:-$(cd "$here/.." && pwd)}
export LC_ALL=C
unset DISPLAY WAYLAND_DISPLAY
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX=${WINEPREFIX:-$build_root/build/release/wineprefix}
wine64=$(command -v wine64 || echo /usr/lib/wine/wine64)

failures=0
fail() { echo "FAIL $1"; failures=$((failures + 1)); }

zip=$(ls "$dist"/*-windows.zip)
tgz=$(ls "$dist"/*-linux-x86_64.tar.gz)
base=$(basename "$zip" -windows.zip)
version=${base##*-}
echo "== checking $base (version $version)"
(cd "$dist" && sha256sum --quiet -c SHA256SUMS) && echo "ok   SHA256SUMS" || fail "SHA256SUMS does not match"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/windows" "$work/linux"
python3 -m zipfile -e "$zip" "$work/windows"
tar -xzf "$tgz" -C "$work/linux"

# The exact contents: what a user needs, nothing else.
scenarios=$(cd "$here/../scenarios" && ls *.scn | sed 's|^|scenarios/|')
pages="README.html
docs/bench-for-authors.html
docs/platforms.html
docs/quinsora.html
docs/recorder.html
docs/scenarios.html
docs/tavrel.html
docs/vesk.html"
want_windows=$( { echo "$pages"; echo "$scenarios"; echo LICENSE.txt; echo CHANGELOG.txt
  for arch in x86 x64; do for f in Tavrel.dll Quinsora.dll Vesk.dll Recorder.dll bench.exe Tavrel.ini Quinsora.ini Vesk.ini; do
    echo "$arch/$f"; done; done; } | sort)
want_linux=$( { echo "$pages"; echo "$scenarios"; echo LICENSE; echo CHANGELOG.md
  for f in Tavrel.so Quinsora.so Vesk.so Recorder.so bench; do echo "$f"; done; } | sort)
win=$work/windows/$base
lin=$work/linux/$base-linux-x86_64
[ -d "$win" ] || fail "the zip has no top folder $base"
[ -d "$lin" ] || fail "the tar.gz has no top folder $base-linux-x86_64"
have_windows=$(cd "$win" && find . -type f | sed 's|^\./||' | sort)
have_linux=$(cd "$lin" && find . -type f | sed 's|^\./||' | sort)
if [ "$have_windows" = "$want_windows" ]; then echo "ok   zip: $(wc -l <<<"$have_windows") files, the expected ones"
else fail "zip contents differ from the expected list:"; diff <(echo "$want_windows") <(echo "$have_windows") || true; fi
if [ "$have_linux" = "$want_linux" ]; then echo "ok   tar.gz: $(wc -l <<<"$have_linux") files, the expected ones"
else fail "tar.gz contents differ from the expected list:"; diff <(echo "$want_linux") <(echo "$have_linux") || true; fi

# The libraries' tables and the version resources.
# The recorder has the same sixteen entry points and the same import rules as the plug-ins.
plugins=(Tavrel Quinsora Vesk Recorder)
bash "$here/check_library_tables.sh" win32 i686-w64-mingw32-objdump "$win/x86" "${plugins[@]}" || fail "x86 DLL tables"
bash "$here/check_library_tables.sh" win64 x86_64-w64-mingw32-objdump "$win/x64" "${plugins[@]}" || fail "x64 DLL tables"
bash "$here/check_library_tables.sh" linux nm "$lin" "${plugins[@]}" || fail "Linux library tables"
python3 "$here/check_version_resource.py" "$version" "$win"/x86/*.dll "$win"/x86/bench.exe "$win"/x64/*.dll \
  "$win"/x64/bench.exe || fail "version resources"
readelf -h "$lin/bench" | grep -q 'Machine:.*X86-64' || fail "bench is not an x86-64 Linux program"
[ -x "$lin/bench" ] || fail "bench is not executable"

# No folder of the build machine in a shipped binary.
for binary in "$win"/x86/*.dll "$win"/x86/*.exe "$win"/x64/*.dll "$win"/x64/*.exe "$lin"/*.so "$lin"/bench; do
  if grep -q -a -F "$build_root" "$binary"; then fail "${binary#$work/} holds the build folder $build_root"; fi
done
[ $failures -eq 0 ] && echo "ok   no build folder in any binary"

# The INI files as the plug-ins made them; both architectures ship the same.
for ini in Tavrel Quinsora Vesk; do
  cmp -s "$win/x86/$ini.ini" "$win/x64/$ini.ini" || fail "x86/$ini.ini and x64/$ini.ini differ"
done
grep -q '^\[Key\]' "$win/x64/Tavrel.ini" || fail "Tavrel.ini has no [Key] section"
grep -q '^UpDateTime=400' "$win/x64/Quinsora.ini" || fail "Quinsora.ini has no UpDateTime=400"
grep -q '^\[LOCK\]' "$win/x64/Vesk.ini" || fail "Vesk.ini has no [LOCK] section"

# The documents work offline: every link between them leads to a file in the archive.
while read -r page; do
  while read -r link; do
    case $link in http*|mailto:*|"") continue ;; esac
    [ -e "$(dirname "$page")/$link" ] || fail "${page#$work/}: link to $link leads nowhere"
  done < <(grep -o 'href="[^"#]*' "$page" | sed 's/^href="//')
done < <(find "$win" "$lin" -name '*.html')
[ $failures -eq 0 ] && echo "ok   the HTML documents link only to files in the archive"

# run_scenarios LABEL FOLDER PREFIX COMMAND...: every bundled scenario run from FOLDER, as a user
# would, its path starting with PREFIX.
run_scenarios() {
  local label=$1 folder=$2 prefix=$3
  shift 3
  local bad=0
  for scenario in $scenarios; do
    if ! (cd "$folder" && "$@" --check "$prefix$scenario" >"$work/run.log" 2>&1); then
      fail "$label: ${scenario##*/}"; sed 's/^/    /' "$work/run.log" | head -20; bad=1
    fi
  done
  [ $bad -eq 0 ] && echo "ok   $label: $(wc -w <<<"$scenarios") bundled scenarios pass"
  return 0
}
run_scenarios "x64 bench.exe under Wine" "$win/x64" ../ "$wine64" bench.exe
# A 32-bit Windows program runs here only where Wine has its 32-bit side (the x86 lane sets it up).
wine32=""
for candidate in "${ATS_WINE32:-}" "$(command -v wine 2>/dev/null || true)" /usr/lib/wine/wine; do
  [ -n "$candidate" ] && [ -x "$candidate" ] && [ "$candidate" != "$wine64" ] || continue
  if (cd "$win/x86" && timeout 120 "$candidate" bench.exe --help 2>&1 | grep -q '^usage: bench'); then wine32=$candidate; break; fi
done
if [ -n "$wine32" ]; then
  run_scenarios "x86 bench.exe under $wine32" "$win/x86" ../ "$wine32" bench.exe
else
  echo "SKIP x86 bench.exe: this machine cannot run 32-bit Windows programs (no 32-bit Wine); its DLLs were checked statically above"
fi
run_scenarios "Linux bench" "$lin" "" ./bench

[ $failures -eq 0 ] || { echo "$failures release check(s) failed"; exit 1; }
echo "== release check passed"
