#!/bin/sh
# The library must export the six entry points and nothing else: any other symbol could clash
# with the server's or another plug-in's.
set -eu
library=$1
expected="GetEngineFunctions
GetEntityAPI2
GiveFnptrsToDll
Meta_Attach
Meta_Detach
Meta_Query"
actual=$(nm -D --defined-only "$library" | awk '{print $3}' | sort)
if [ "$actual" != "$expected" ]; then
  echo "exported symbols of $library differ:"
  printf 'expected:\n%s\nactual:\n%s\n' "$expected" "$actual"
  exit 1
fi
needed=$(readelf -d "$library" | awk '/NEEDED/ {print $5}')
case "$needed" in
  *libstdc++*|*libgcc_s*) echo "$library needs a C++ runtime at run time: $needed"; exit 1 ;;
esac
echo "exports: ok"
