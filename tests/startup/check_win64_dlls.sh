#!/usr/bin/env bash
# Static checks of the x64 plug-in DLLs that the Wine lane loads: a 64-bit PE file, the export table
# holds the sixteen entry points under their plain names and nothing else, and the import table
# names system DLLs only, so that a user copies one file and it loads.
# Usage: check_win64_dlls.sh OBJDUMP BIN_DIR
set -euo pipefail
objdump=$1
bin=$2

expected_names=$(printf '%s\n' Load Dispose GetPluginVersion SetVehicleSpec Initialize Elapse SetPower \
  SetBrake SetReverser KeyDown KeyUp HornBlow DoorOpen DoorClose SetSignal SetBeaconData | sort)
failures=0
fail() { echo "FAIL $1"; failures=$((failures + 1)); }

for name in Tavrel Quinsora Vesk; do
  dll=$bin/$name.dll
  [ -f "$dll" ] || { fail "$name: $dll is missing"; continue; }
  headers=$("$objdump" -p "$dll")

  grep -q 'file format pei-x86-64' <<<"$("$objdump" -f "$dll")" || fail "$name: not a 64-bit PE file"

  names=$(awk '/\[Ordinal\/Name Pointer\] Table/{t=1; next} t && /^\t\[ *[0-9]+\]/{print $NF} t && /^$/{exit}' <<<"$headers" | sort)
  [ "$names" = "$expected_names" ] || fail "$name: exports are [$(echo $names)], want [$(echo $expected_names)]"

  imports=$(awk '/DLL Name:/{print toupper($3)}' <<<"$headers" | sort -u)
  [ -n "$imports" ] || fail "$name: no import table found"
  for dllname in $imports; do
    case $dllname in KERNEL32.DLL|USER32.DLL|MSVCRT.DLL) ;; *) fail "$name: imports $dllname" ;; esac
  done
  [ $failures -eq 0 ] && echo "ok   $name.dll: 16 exports, system imports only ($(echo $imports))"
done

[ $failures -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
