#!/usr/bin/env bash
# Makes the release from the committed HEAD: release builds of the plug-ins and the bench for
# 32-bit Windows, 64-bit Windows and Linux, packed as
#   build/release/dist/notchwork-<version>-windows.zip
#   build/release/dist/notchwork-<version>-linux-x86_64.tar.gz
#   build/release/dist/SHA256SUMS
# and then tried as a user would (tests/check_release.sh). The builds run in a clean export of the
# commit, without ccache, with every time stamp taken from the commit's time, so that the same
# commit gives the same bytes anywhere.
#
# Usage: scripts/release.sh            one release build, checked
#        scripts/release.sh --verify   two release builds, in two different folders one after the
#                                      other, whose archives must be byte-identical
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

verify=0
case "${1:-}" in
  "") ;;
  --verify) verify=1 ;;
  *) echo "usage: scripts/release.sh [--verify]" >&2; exit 2 ;;
esac

# Status 2: everything is installed but 32-bit programs cannot run here; the release check then
# skips the x86 bench and says so.
scripts/install-deps.sh release || { status=$?; [ $status -eq 2 ] || exit $status; }

commit=$(git rev-parse HEAD)
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "== note: uncommitted changes are not in the release; it is built from commit ${commit:0:12}"
fi
export SOURCE_DATE_EPOCH=$(git log -1 --format=%ct "$commit")
export LC_ALL=C TZ=UTC
# The release builds bypass ccache, so that nothing of an earlier build can reach their bytes.
unset CMAKE_C_COMPILER_LAUNCHER CMAKE_CXX_COMPILER_LAUNCHER
export CCACHE_DISABLE=1
unset DISPLAY WAYLAND_DISPLAY
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEPREFIX="$repo/build/release/wineprefix"
wine64=$(command -v wine64 || echo /usr/lib/wine/wine64)
jobs=$(nproc 2>/dev/null || echo 2)
# The Debian interpreter, where the Debian Markdown package lives.
python=$([ -x /usr/bin/python3 ] && echo /usr/bin/python3 || command -v python3)
name=notchwork

# build_release WORK DIST: exports the commit into WORK/src, builds it there and packs into DIST.
build_release() {
  local work=$1 dist=$2
  rm -rf "$work" "$dist"
  mkdir -p "$work/src" "$dist"
  git archive --format=tar "$commit" | tar -x -C "$work/src"
  local src=$work/src
  local version
  version=$(sed -n 's/^project([a-z_]* VERSION \([0-9.]*\) .*/\1/p' "$src/CMakeLists.txt")
  [ -n "$version" ] || { echo "no version in CMakeLists.txt" >&2; exit 1; }

  for preset in release-linux release-win32 release-win64; do
    echo "== $preset: configure and build"
    local targets=(Tavrel Quinsora Vesk Recorder bench)
    [ "$preset" = release-win64 ] && targets+=(ini_writer)
    (cd "$src" && cmake --preset "$preset" >/dev/null &&
      cmake --build --preset "$preset" -j "$jobs" --target "${targets[@]}" >/dev/null)
  done
  local linux=$src/build/release-linux/bin win32=$src/build/release-win32/bin win64=$src/build/release-win64/bin

  echo "== INI files: made by the plug-ins themselves, in a fresh folder under Wine"
  local inis=$work/inis
  mkdir -p "$inis"
  cp "$win64/Tavrel.dll" "$win64/Quinsora.dll" "$win64/ini_writer.exe" "$inis/"
  (cd "$inis" &&
    "$wine64" ini_writer.exe load "Z:$inis/Tavrel.dll" &&
    "$wine64" ini_writer.exe load "Z:$inis/Quinsora.dll" &&
    "$wine64" ini_writer.exe vesk-defaults "Z:$inis/Vesk.ini") 2>/dev/null
  for ini in Tavrel Quinsora Vesk; do
    [ -s "$inis/$ini.ini" ] || { echo "no $ini.ini was made" >&2; exit 1; }
  done

  echo "== user documentation"
  local docs=$work/docs
  mkdir -p "$docs/docs"
  local links=(install.md=../README.html tavrel.md=tavrel.html quinsora.md=quinsora.html vesk.md=vesk.html
    platforms.md=platforms.html scenarios.md=scenarios.html recorder.md=recorder.html
    bench-for-authors.md=bench-for-authors.html)
  "$python" "$src/scripts/pack_release.py" html "$docs/README.html" "$src/docs/install.md" \
    "Tavrel, Quinsora and Vesk: installing and using the plug-ins" \
    install.md=README.html tavrel.md=docs/tavrel.html quinsora.md=docs/quinsora.html vesk.md=docs/vesk.html \
    platforms.md=docs/platforms.html scenarios.md=docs/scenarios.html recorder.md=docs/recorder.html \
    bench-for-authors.md=docs/bench-for-authors.html ../CHANGELOG.md=CHANGELOG.txt
  for page in tavrel quinsora vesk platforms scenarios recorder bench-for-authors; do
    "$python" "$src/scripts/pack_release.py" html "$docs/docs/$page.html" "$src/docs/$page.md" \
      "$(head -1 "$src/docs/$page.md" | sed 's/^# //')" "${links[@]}"
  done

  echo "== packing"
  local windows=$work/stage-windows/$name-$version
  mkdir -p "$windows/x86" "$windows/x64" "$windows/scenarios"
  for arch in x86 x64; do
    local bin=$win32
    [ $arch = x64 ] && bin=$win64
    cp "$bin/Tavrel.dll" "$bin/Quinsora.dll" "$bin/Vesk.dll" "$bin/Recorder.dll" "$bin/bench.exe" "$windows/$arch/"
    cp "$inis/Tavrel.ini" "$inis/Quinsora.ini" "$inis/Vesk.ini" "$windows/$arch/"
  done
  cp "$src"/scenarios/*.scn "$windows/scenarios/"
  cp -r "$docs/README.html" "$docs/docs" "$windows/"
  cp "$src/LICENSE" "$windows/LICENSE.txt"
  cp "$src/CHANGELOG.md" "$windows/CHANGELOG.txt"

  local linuxstage=$work/stage-linux/$name-$version-linux-x86_64
  mkdir -p "$linuxstage/scenarios"
  cp "$linux/Tavrel.so" "$linux/Quinsora.so" "$linux/Vesk.so" "$linux/Recorder.so" "$linux/bench" "$linuxstage/"
  cp "$src"/scenarios/*.scn "$linuxstage/scenarios/"
  cp -r "$docs/README.html" "$docs/docs" "$linuxstage/"
  cp "$src/LICENSE" "$src/CHANGELOG.md" "$linuxstage/"

  "$python" "$src/scripts/pack_release.py" zip "$windows" "$dist/$name-$version-windows.zip"
  "$python" "$src/scripts/pack_release.py" tar "$linuxstage" "$dist/$name-$version-linux-x86_64.tar.gz"
  (cd "$dist" && sha256sum "$name-$version-windows.zip" "$name-$version-linux-x86_64.tar.gz" >SHA256SUMS)
}

start=$(date +%s)
dist=$repo/build/release/dist
build_release "$repo/build/release/work" "$dist"
echo "== release built in $(( $(date +%s) - start )) s from commit ${commit:0:12}"
ls -l "$dist"

bash tests/check_release.sh "$dist" "$repo"

if [ $verify -eq 1 ]; then
  echo
  echo "== second build, in another folder, to show the same commit gives the same bytes"
  second=$repo/build/release/another-folder-for-the-second-build
  build_release "$second/work" "$second/dist"
  if cmp "$dist/SHA256SUMS" "$second/dist/SHA256SUMS" && for f in "$dist"/*; do cmp "$f" "$second/dist/${f##*/}" || exit 1; done; then
    echo "== reproducible: both builds gave byte-identical archives"
    cat "$dist/SHA256SUMS"
  else
    echo "FAILED: the two builds differ (compare $dist and $second/dist)"
    exit 1
  fi
fi
echo "== done in $(( $(date +%s) - start )) s: $dist"
