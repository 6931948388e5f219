#!/usr/bin/env bash
# make run: the simulated server with the plug-in, and orlex_web watching it. The dashboard's
# address comes first; quitting the simulated server (quit, Ctrl-C) ends both.
# Usage: scripts/run.sh [orlex_simhost options]; WEB_LISTEN (default 127.0.0.1:8080) moves the dashboard;
# WEB_RECORD=DIR records what it shows into DIR (orlex_web --record; replay with orlex_web --replay FILE).
set -uo pipefail
cd "$(dirname "$0")/.."
listen=${WEB_LISTEN:-127.0.0.1:8080}
hostport=27015
args=("$@")
for ((i = 0; i < ${#args[@]}; i++)); do
  [ "${args[$i]}" = "--hostport" ] && hostport=${args[$((i + 1))]:-27015}
done

record=()
[ -n "${WEB_RECORD:-}" ] && record=(--record "$WEB_RECORD")
./build/orlex_web --server "simulated=127.0.0.1:$((hostport + 13000))" --listen "$listen" "${record[@]}" \
  > /dev/null 2> build/orlex_web.log &
web=$!
trap 'kill "$web" 2>/dev/null; wait "$web" 2>/dev/null' EXIT
echo "orlex_web: the dashboard is at http://$listen/ (log: build/orlex_web.log)"
[ -n "${WEB_RECORD:-}" ] && echo "orlex_web: recording into $WEB_RECORD (replay: ./build/orlex_web --replay $WEB_RECORD/FILE)"
sleep 0.3
if ! kill -0 "$web" 2>/dev/null; then
  echo "orlex_web did not start:" >&2
  cat build/orlex_web.log >&2
fi
./build/orlex_simhost "${args[@]}"
