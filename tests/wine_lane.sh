#!/usr/bin/env bash
# The Wine lanes' set-up and clean-up, run by ctest before and after the lane's tests (fixture
# wine_prefix) and by scripts/test.sh around the lane.
#   wine_lane.sh start WINE64 ARCH   ARCH win32 or win64: checks that the lane's programs can run
#       here, starts the lane's Wine server (kept alive until "stop", so that no test program
#       connects to a server that is shutting down), and makes the prefix if it is missing: a
#       64-bit one, whose syswow64 half serves the 32-bit programs of the win32 lane.
#   wine_lane.sh stop WINE64         stops the server, if one runs.
# WINEPREFIX names the prefix; the other Wine variables come from the caller.
set -euo pipefail
action=$1
wine64=$2
arch=${3:-win64}
wineserver=$(dirname "$wine64")/wineserver
[ -x "$wineserver" ] || wineserver=wineserver
: "${WINEPREFIX:?WINEPREFIX must name the prefix of the lane}"

if [ "$action" = stop ]; then
  "$wineserver" -k 2>/dev/null || true
  exit 0
fi

if [ "$arch" = win32 ]; then
  binfmt=/proc/sys/fs/binfmt_misc/qemu-i386
  why=""
  if [ ! -x "$(dirname "$wine64")/wine" ]; then
    why="Wine's 32-bit half (wine32:i386) is not installed"
  elif ! grep -qx enabled "$binfmt" 2>/dev/null; then
    why="no emulator is registered for 32-bit x86 programs ($binfmt)"
  elif ! "$(dirname "$wine64")/wine" --version >/dev/null 2>&1; then
    why="the 32-bit Wine loader does not start under $(sed -n 's/^interpreter //p' "$binfmt")"
  fi
  if [ -n "$why" ]; then
    echo "32-bit Windows programs cannot run on this machine: $why."
    echo "scripts/install-deps.sh sets this up (as root); or leave the win32 lane out: scripts/test.sh native asan tsan fuzz win64"
    exit 1
  fi
fi

# The server and the Wine services that the first program starts outlive this script: they get no
# handle of its output, which ctest reads until every holder has closed it.
mkdir -p "$WINEPREFIX"
status=0
"$wineserver" -p </dev/null >/dev/null 2>&1 || status=$?
# 2: a server already runs for this prefix (scripts/test.sh started it).
[ $status -eq 0 ] || [ $status -eq 2 ] || { echo "cannot start the Wine server for $WINEPREFIX"; exit 1; }

made=$WINEPREFIX/system.reg
[ "$arch" = win32 ] && made=$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll
log=$WINEPREFIX/lane-start.log
if [ ! -e "$made" ]; then
  echo "making the Wine prefix $WINEPREFIX"
  "$wine64" wineboot -i </dev/null >"$log" 2>&1 || true
  [ -e "$made" ] || { cat "$log"; echo "wineboot left no $made"; exit 1; }
fi
"$wine64" cmd /c exit </dev/null >"$log" 2>&1 || { cat "$log"; echo "Wine does not start programs in $WINEPREFIX"; exit 1; }
