#!/usr/bin/env bash
# Checks the built deliverables the way a server would meet them: what they export, what they
# need from the system, and which processor they are for.
set -euo pipefail
dist=${1:-dist}
so=$dist/linux-i386/orlex_mm_i386.so
dll=$dist/win32/orlex_mm.dll
entry_points="GetEngineFunctions
GetEntityAPI2
GiveFnptrsToDll
Meta_Attach
Meta_Detach
Meta_Query"
failed=0
fail() { echo "check-dist: $*"; failed=1; }

# Linux: a 32-bit library exporting the six entry points and nothing else, needing only the C
# library, at symbol versions that old servers have.
readelf -h "$so" | grep -q 'Machine:.*Intel 80386' || fail "$so is not an i386 library"
[ "$(nm -D --defined-only "$so" | awk '{print $3}' | sort)" = "$entry_points" ] || fail "$so exports more or less than the six entry points"
needed=$(readelf -d "$so" | awk '/NEEDED/ {print $5}' | tr -d '[]' | sort | tr '\n' ' ')
[ "$needed" = "libc.so.6 " ] || fail "$so needs more than the C library: $needed"
newest=$(objdump -T "$so" | grep -o 'GLIBC_[0-9.]*' | sort -uV | tail -1)
[ "$(printf '%s\nGLIBC_2.3\n' "$newest" | sort -V | tail -1)" = "GLIBC_2.3" ] || fail "$so needs $newest (at most GLIBC_2.3 allowed)"
echo "check-dist: $so: i386, six entry points, needs libc.so.6 up to $newest"

# Windows: a 32-bit DLL exporting the six entry points undecorated, importing only system DLLs.
objdump=i686-w64-mingw32-objdump
$objdump -f "$dll" | grep -q 'file format pei-i386' || fail "$dll is not a 32-bit Windows DLL"
exports=$($objdump -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk '/\[/ && !/Ordinal/ {print $3}' | sort)
[ "$exports" = "$entry_points" ] || fail "$dll exports: $(echo $exports)"
imports=$($objdump -p "$dll" | awk '/DLL Name:/ {print $3}' | sort -u | tr '\n' ' ')
[ "$imports" = "KERNEL32.dll WS2_32.dll msvcrt.dll " ] || fail "$dll imports $imports"
echo "check-dist: $dll: i386, six undecorated entry points, imports $imports"

exit $failed
