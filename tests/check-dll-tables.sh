#!/usr/bin/env bash
# Checks the shipped 32-bit module's tables: a 32-bit DLL with a version
# resource, exactly the five host entry points as exports, and imports from
# system DLLs plus the host's two decorated functions from "Orbiter.exe".
# Usage: check-dll-tables.sh DLL OBJDUMP INITLIB-NAME DATE2INT-NAME
set -u
dll=$1 objdump=$2 initlib=$3 date2int=$4
failures=0
check() { # description, expected, actual
  if [ "$2" == "$3" ]; then
    echo "ok: $1"
  else
    echo "FAIL: $1"; echo "  expected: $2"; echo "  actual:   $3"
    failures=$((failures + 1))
  fi
}

headers=$("$objdump" -p "$dll") || { echo "FAIL: $objdump cannot read $dll"; exit 1; }

check "32-bit PE image" "pei-i386" "$(echo "$headers" | sed -n 's/.*file format \(\S*\).*/\1/p' | head -n1)"

exports=$(echo "$headers" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
  sed -n 's/^\s*\[\s*[0-9]*\] \(.*\)$/\1/p' | sort | tr '\n' ' ')
check "exports" "ExitModule GetModuleVersion InitModule opcCloseRenderViewport opcOpenRenderViewport " "$exports"

dlls=$(echo "$headers" | sed -n 's/^\s*DLL Name: \(.*\)$/\1/p' | sort | tr '\n' ' ')
check "imported DLLs" "KERNEL32.dll Orbiter.exe USER32.dll msvcrt.dll " "$dlls"

host=$(echo "$headers" | sed -n '/DLL Name: Orbiter.exe/,/^$/p' |
  sed -n 's/^\s*[0-9a-f]\+\s\+[0-9]\+\s\+\(\S.*\)$/\1/p' | sort | tr '\n' ' ')
expected_host=$(printf '%s\n' "$initlib" "$date2int" | sort | tr '\n' ' ')
check "functions imported from Orbiter.exe" "$expected_host" "$host"

types=$(echo "$headers" | sed -n '/The .rsrc Resource Directory section/,/Resources start/p' |
  sed -n 's/^0[0-9a-f]*\s\+Entry: ID: 0x0*\([0-9a-f]*\),.*/\1/p' | head -n1)
check "version resource (type 16)" "10" "$types"

echo "$((5 - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
