#!/usr/bin/env bash
# The 32-bit Linux library as a server loads it: the 32-bit simulated server loads it by path,
# and a client must receive SERVER, PLAYER and BOMB records from it.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/smoke-common.sh
library=$(realpath dist/linux-i386/orlex_mm_i386.so)
serve_and_check smoke-i386 "${SMOKE_PORT:-27401}" "SERVER PLAYER BOMB" \
  scripts/run-i386.sh build-i386/orlex_simhost --plugin "$library" --game cstrike
