#!/bin/sh
# Runs a Windows program under Wine, headless and time-bounded, as the tests' emulator:
#   run-wine.sh PREFIX LOADER PROGRAM [ARGUMENTS...]
# PREFIX is the Wine folder, created on first use; LOADER is Wine's 32- or 64-bit loader.
# ORLEX_WINE_TIMEOUT bounds one program's run (seconds, default 600).
prefix=$1
loader=$2
shift 2
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
exec timeout -k 5 "${ORLEX_WINE_TIMEOUT:-600}" "$loader" "$@"
