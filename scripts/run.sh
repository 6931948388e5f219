#!/usr/bin/env bash
# make run: the simulated server with the plug-in, and orlex_web watching it. The dashboard's
# address comes first; quitting the simulated server (quit, Ctrl-C) ends both.
# Usage: scripts/run.sh [orlex_simhost options]; WEB_LISTEN (default 127.0.0.1:8080) moves the dashboard.
set -uo pipefail
cd "$(dirname "$0")/.."
listen=${WEB_LISTEN:-127.0.0.1:8080}
hostport=27015
args=("$@")
for ((i = 0; i < ${#args[@]}; i++)); do
  [ "${args[$i]}" = "--hostport" ] && hostport=${args[$((i + 1))]:-27015}
done

./build/orlex_web --server "simulated=127.0.0.1:$((hostport + 13000))" --listen "$listen" \
  > /dev/null 2> build/orlex_web.log &
web=$!
trap 'kill "$web" 2>/dev/null; wait "$web" 2>/dev/null' EXIT
echo "orlex_web: the dashboard is at http://$listen/ (log: build/orlex_web.log)"
sleep 0.3
if ! kill -0 "$web" 2>/dev/null; then
  echo "orlex_web did not start:" >&2
  cat build/orlex_web.log >&2
fi
./build/orlex_simhost "${args[@]}"
