#!/usr/bin/env bash
# The Windows DLL as a server loads it: the Windows build of the simulated server runs under Wine,
# loads the DLL, and a native Linux client must receive SERVER, PLAYER and tfc objective records.
# The 32-bit DLL needs a kernel that runs 32-bit programs; where it cannot, the same source's
# 64-bit Windows build is run under a 64-bit Wine instead, and the skip is said.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/smoke-common.sh
if ! command -v wine >/dev/null 2>&1; then
  echo "SKIPPED: the Wine smoke test did not run: Wine is not installed (scripts/install-deps.sh wine could not install it on this machine; its output above says why)"
  exit 0
fi
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
WINEPREFIX=$(mktemp -d)
export WINEPREFIX
trap 'wineserver -k 2>/dev/null || true; rm -rf "$WINEPREFIX"' EXIT

if /lib/ld-linux.so.2 --version >/dev/null 2>&1 && [ -x /usr/lib/wine/wine ]; then
  build=build-win32; loader=/usr/lib/wine/wine
else
  echo "smoke-wine: this kernel cannot run 32-bit programs: running the 64-bit Windows build instead"
  build=build-win64; loader=/usr/lib/wine/wine64
fi
serve_and_check "smoke-wine ($build)" "${SMOKE_PORT:-27402}" "SERVER PLAYER FLAG SENTRY" \
  "$loader" "$build/orlex_simhost.exe" --game tfc
