#!/usr/bin/env bash
# The test suite against the Windows build, run under Wine: GoogleTest built from Debian's sources
# with MinGW, the unit tests, the simulated server and the end-to-end tests as Windows programs.
# 32-bit where this machine runs 32-bit programs, else the same source's 64-bit build under a
# 64-bit Wine (as the smoke check decides). Prints the tests skipped, with their reasons.
set -uo pipefail
cd "$(dirname "$0")/.."
JOBS=${JOBS:-2}

if /lib/ld-linux.so.2 --version >/dev/null 2>&1 && [ -x /usr/lib/wine/wine ]; then
  variant=win32; loader=/usr/lib/wine/wine
elif [ -x /usr/lib/wine/wine64 ]; then
  echo "test-win32: this kernel cannot run 32-bit programs: testing the 64-bit Windows build instead"
  variant=win64; loader=/usr/lib/wine/wine64
else
  echo "test-win32: Wine is not installed (scripts/install-deps.sh installs it)" >&2
  exit 1
fi
build=build-$variant-tests
prefix=$PWD/$build/wine-prefix
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap 'wineserver -k 2>/dev/null || true' EXIT

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="cmake/$variant.cmake" >/dev/null || exit 1
# One Wine folder for every test program, made before they start in parallel.
mkdir -p "$prefix"
timeout 300 "$loader" wineboot --init >/dev/null 2>&1 || { echo "test-win32: Wine could not start" >&2; exit 1; }
cmake --build "$build" -j "$JOBS" || exit 1

summary=$build/ctest-summary.txt
(cd "$build" && ctest --output-on-failure -j "$JOBS" --timeout 300) | tee "$summary"
status=${PIPESTATUS[0]}

echo "test-win32: tests skipped under Wine: $(grep -c '(Skipped)$' "$summary")"
log=$build/Testing/Temporary/LastTest.log
# GoogleTest writes "...: Skipped" and then the reason; the test's name follows a few lines on.
awk '/: Skipped$/ {getline reason} /^\[  SKIPPED \] [A-Za-z]/ && reason != "" {print "  " $4 ": " reason; reason = ""}' "$log"
echo "test-win32: not built for Windows: client_tests (the admin client is a Linux program) and" \
  "exported_symbols (the DLL's exports are checked by make dist)"
exit $status
