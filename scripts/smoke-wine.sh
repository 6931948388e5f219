#!/usr/bin/env bash
# The Windows DLL as a server loads it: the Windows build of the simulated server runs under Wine,
# loads the DLL, and a native Linux client must receive SERVER and PLAYER records from it.
# The 32-bit DLL needs a kernel that runs 32-bit programs; where it cannot, the same source's
# 64-bit Windows build is run under a 64-bit Wine instead, and the skip is said.
set -euo pipefail
cd "$(dirname "$0")/.."
port=${SMOKE_PORT:-27402}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX=$(mktemp -d)
trap 'wineserver -k 2>/dev/null || true; rm -rf "$WINEPREFIX"' EXIT

if /lib/ld-linux.so.2 --version >/dev/null 2>&1 && [ -x /usr/lib/wine/wine ]; then
  build=build-win32; loader=/usr/lib/wine/wine
else
  echo "smoke-wine: this kernel cannot run 32-bit programs: running the 64-bit Windows build instead"
  build=build-win64; loader=/usr/lib/wine/wine64
fi
log=$(mktemp)
timeout 120 "$loader" "$build/orlex_simhost.exe" --game tfc --hostport "$port" --log --duration 110 \
    < /dev/null > "$log" 2>&1 &
server=$!
status=0
build/tests/smoke_client 127.0.0.1 $((port + 13000)) 90 SERVER PLAYER FLAG SENTRY || status=1
kill "$server" 2>/dev/null || true
wait "$server" 2>/dev/null || true
[ $status -eq 0 ] || { echo "smoke-wine: failed; server output:"; cat "$log"; }
rm -f "$log"
echo "smoke-wine ($build): $([ $status -eq 0 ] && echo passed || echo FAILED)"
exit $status
