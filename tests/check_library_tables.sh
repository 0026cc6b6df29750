#!/usr/bin/env bash
# Static checks of the built plug-in libraries. Windows DLLs: the file is a PE file of the right
# architecture, the export table holds the sixteen entry points under their plain names and nothing
# else, and the import table names system DLLs only, so that a user copies one file and it loads;
# for the 32-bit DLLs, which cannot run on this host, each entry point must also pop the argument
# bytes of the host's __stdcall convention. Linux libraries: the dynamic symbol table defines the
# sixteen entry points and nothing else, and (except in the sanitizer builds, "linux-sanitized")
# the library needs no shared library but the C library's, so it loads in a host with any C++
# runtime or none.
# Usage: check_library_tables.sh win32|win64|linux|linux-sanitized OBJDUMP_OR_NM BIN_DIR NAME...
set -euo pipefail
arch=$1
objdump=$2
bin=$3
shift 3
plugins=("$@")
[ ${#plugins[@]} -gt 0 ] || { echo "no plug-in names given"; exit 2; }
case $arch in
  win32) format=pei-i386 ;;
  win64) format=pei-x86-64 ;;
  linux|linux-sanitized) ;;
  *) echo "unknown architecture $arch"; exit 2 ;;
esac

declare -A pops=(
  [Elapse]=52 [SetVehicleSpec]=20 [SetBeaconData]=16
  [Initialize]=4 [SetPower]=4 [SetBrake]=4 [SetReverser]=4 [KeyDown]=4 [KeyUp]=4 [HornBlow]=4 [SetSignal]=4
  [Load]=0 [Dispose]=0 [GetPluginVersion]=0 [DoorOpen]=0 [DoorClose]=0
)
expected_names=$(printf '%s\n' "${!pops[@]}" | sort)
failures=0
fail() { echo "FAIL $1"; failures=$((failures + 1)); }

if [ "$arch" = linux ] || [ "$arch" = linux-sanitized ]; then
  nm=$objdump
  for name in "${plugins[@]}"; do
    library=$bin/$name.so
    [ -f "$library" ] || { fail "$name: $library is missing"; continue; }
    names=$("$nm" -D --defined-only "$library" | awk '{print $3}' | sort)
    [ "$names" = "$expected_names" ] || fail "$name: exports are [$(echo $names)], want [$(echo $expected_names)]"
    needs="shared runtimes"
    if [ "$arch" = linux ]; then
      # The dynamic section's NEEDED entries, read from the file itself (no loader involved).
      needed=$(LC_ALL=C readelf -d "$library" | awk '/\(NEEDED\)/{gsub(/[][]/,"",$NF); print $NF}' | sort)
      for lib in $needed; do
        case $lib in libc.so.*|libm.so.*|libdl.so.*|ld-linux*) ;; *) fail "$name: needs $lib" ;; esac
      done
      needs="needs only $(echo $needed)"
    fi
    [ $failures -eq 0 ] && echo "ok   $name.so: exports the 16 entry points and nothing else; $needs"
  done
  [ $failures -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
  exit 0
fi

for name in "${plugins[@]}"; do
  dll=$bin/$name.dll
  [ -f "$dll" ] || { fail "$name: $dll is missing"; continue; }
  headers=$("$objdump" -p "$dll")

  grep -q "file format $format" <<<"$("$objdump" -f "$dll")" || fail "$name: not a $format file"

  names=$(awk '/\[Ordinal\/Name Pointer\] Table/{t=1; next} t && /^\t\[ *[0-9]+\]/{print $NF} t && /^$/{exit}' <<<"$headers" | sort)
  [ "$names" = "$expected_names" ] || fail "$name: exports are [$(echo $names)], want [$(echo $expected_names)]"

  imports=$(awk '/DLL Name:/{print toupper($3)}' <<<"$headers" | sort -u)
  [ -n "$imports" ] || fail "$name: no import table found"
  for dllname in $imports; do
    case $dllname in KERNEL32.DLL|USER32.DLL|MSVCRT.DLL) ;; *) fail "$name: imports $dllname" ;; esac
  done

  if [ "$arch" = win64 ]; then
    [ $failures -eq 0 ] && echo "ok   $name.dll: 16 exports, system imports only ($(echo $imports))"
    continue
  fi

  # Export name -> RVA, through the ordinal of each name.
  base=$(awk '/^ImageBase/{print $2}' <<<"$headers")
  declare -A rva_of_ordinal=()
  while read -r ordinal rva; do rva_of_ordinal[$ordinal]=$rva; done < <(
    awk '/^Export Address Table -- Ordinal Base/{t=1; next} t && /Export RVA/{gsub(/[][+]/," "); print $3, $4} t && /^$/{exit}' <<<"$headers")
  while read -r ordinal export; do
    rva=${rva_of_ordinal[$ordinal]:-}
    [ -n "$rva" ] || { fail "$name: no address for $export"; continue; }
    address=$(printf '%x' $((0x$base + 0x$rva)))
    # The first return instruction of the function at that address, following a tail call. The
    # code is disassembled from the address itself, so stripped files (the release) work too.
    for _ in 1 2 3; do
      # (awk stops reading at the answer; objdump's broken pipe is no failure.)
      ret=$({ "$objdump" -d --no-show-raw-insn --start-address=0x$address --stop-address=$((0x$address + 4096)) "$dll" || true; } |
        awk '/^[0-9a-f]+ </{if (t) exit; t=1; next}
          t && /\tret/{print $NF; exit} t && /\tjmp +(0x)?[0-9a-f]+( <|$)/{sub(/^0x/, "", $3); print "jmp", $3; exit}')
      case $ret in jmp\ *) address=${ret#jmp } ;; *) break ;; esac
    done
    case $ret in ret) popped=0 ;; \$0x*) popped=$((16#${ret#\$0x})) ;; *) fail "$name: $export has no return"; continue ;; esac
    want=${pops[$export]:-}
    [ "$popped" = "$want" ] || fail "$name: $export pops $popped bytes, want $want"
  done < <(awk '/\[Ordinal\/Name Pointer\] Table/{t=1; next} t && /^\t\[ *[0-9]+\]/{gsub(/[][]/," "); print $1 + 1, $2} t && /^$/{exit}' <<<"$headers")
  unset rva_of_ordinal
  [ $failures -eq 0 ] && echo "ok   $name.dll: 16 exports, system imports only ($(echo $imports)), argument bytes as the host expects"
done

[ $failures -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
