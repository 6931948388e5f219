#!/usr/bin/env bash
# The 32-bit Linux library as a server loads it: the 32-bit simulated server loads it by path,
# and a client must receive SERVER and PLAYER records from it.
set -euo pipefail
cd "$(dirname "$0")/.."
library=$(realpath dist/linux-i386/orlex_mm_i386.so)
port=${SMOKE_PORT:-27401}
log=$(mktemp)
timeout 120 scripts/run-i386.sh build-i386/orlex_simhost --plugin "$library" \
    --game cstrike --hostport "$port" --log --duration 110 < /dev/null > "$log" 2>&1 &
server=$!
status=0
build/tests/smoke_client 127.0.0.1 $((port + 13000)) 60 SERVER PLAYER BOMB || status=1
kill "$server" 2>/dev/null || true
wait "$server" 2>/dev/null || true
[ $status -eq 0 ] || { echo "smoke-i386: failed; server output:"; cat "$log"; }
rm -f "$log"
echo "smoke-i386: $([ $status -eq 0 ] && echo passed || echo FAILED)"
exit $status
