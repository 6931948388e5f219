#!/bin/sh
# A build folder whose configure failed is configured again by the next make: the Makefile's
# folders stand on the build file a configure generates, not on the cache a failed one leaves.
# Plants a real failed configure in each folder (a project that stops in configure) and asks make
# what it would do (make -n), then plants a finished one, which make must not configure again.
set -eu
source_dir=$(cd "${1:-$(dirname "$0")/..}" && pwd)
cmake=${2:-cmake}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/failing"
printf 'cmake_minimum_required(VERSION 3.13)\nproject(failing NONE)\nmessage(FATAL_ERROR "planted failure")\n' \
  > "$work/failing/CMakeLists.txt"

failures=0
for pair in build:build i386:build-i386 win32:build-win32 win64:build-win64 fuzz:build-fuzz test-sanitize:build-sanitize; do
  target=${pair%%:*}
  folder=${pair#*:}
  if "$cmake" -S "$work/failing" -B "$work/$folder" > "$work/configure.log" 2>&1; then
    echo "the planted configure did not fail"; exit 1
  fi
  [ -f "$work/$folder/CMakeCache.txt" ] || { echo "a failed configure left no cache here: nothing to check"; exit 1; }
  if ! make -n -s -f "$source_dir/Makefile" -C "$work" "$target" 2>&1 | grep -q -- "-S \. -B $folder "; then
    echo "FAILED: after a failed configure, make $target does not configure $folder again"
    failures=$((failures + 1))
  fi
  touch "$work/$folder/Makefile"
  if make -n -s -f "$source_dir/Makefile" -C "$work" "$target" 2>&1 | grep -q -- "-S \. -B $folder "; then
    echo "FAILED: make $target configures $folder again though its configure finished"
    failures=$((failures + 1))
  fi
done
[ "$failures" -eq 0 ] && echo "every build folder is configured again after a failed configure"
exit "$failures"
