#!/usr/bin/env bash
# What make run starts (scripts/run.sh) tells the truth: the dashboard's address is its first line
# and answers, the plug-in listens on 127.0.0.1 only and the start line says so; a dashboard port
# already taken stops it with the WEB_LISTEN hint, before any simulated server starts. The second
# line is this run's admin token: it acts (a say over rcon), while a request without it gets the
# public view; the users file holds only its hash, readable by its owner only; no command line holds it;
# the radar has the server's map; the history keeps its matches.
# Usage: check_run_script.sh SOURCE_DIR BUILD_DIR
set -uo pipefail
source_dir=$1
export BUILD_DIR=$2
. "$source_dir/scripts/ports.sh"
work=$(mktemp -d)
groups=()
cleanup() {
  local group
  for group in "${groups[@]}"; do kill -TERM -- "-$group" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap "exit 143" TERM INT
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

# Waits up to SECONDS for a fixed string in a file.
wait_for() {
  local file=$1 text=$2 tenths=$(($3 * 10))
  for ((; tenths > 0; tenths--)); do grep -qF -- "$text" "$file" 2>/dev/null && return 0; sleep 0.1; done
  return 1
}

# One HTTP exchange with bash's /dev/tcp (no token on a command line): the answer on standard output.
# http_exchange PORT METHOD PATH [TOKEN [BODY]]
http_exchange() {
  local port=$1 method=$2 target=$3 token=${4:-} body=${5:-} auth=""
  [ -n "$token" ] && auth="Authorization: Bearer $token"$'\r\n'
  exec 3<> "/dev/tcp/127.0.0.1/$port" || return 1
  printf '%s %s HTTP/1.0\r\nHost: 127.0.0.1\r\n%sContent-Type: application/json\r\nContent-Length: %d\r\n\r\n%s' \
    "$method" "$target" "$auth" "${#body}" "$body" >&3
  timeout 10 cat <&3
  exec 3<&-
}

# The admin of the run (second line), the public view without a token, the files, a say over rcon.
check_admin() {
  local port=$1 token
  sed -n 2p "$work/run.log" | grep -q '^orlex_web: admin token for this run: [0-9a-f]\{32\} ' ||
    fail "the second line is not the admin token: $(sed -n 2p "$work/run.log")"
  token=$(sed -n 's|^orlex_web: admin token for this run: \([0-9a-f]*\) .*|\1|p' "$work/run.log")
  [ -n "$token" ] || return
  printf '%s\n' "$token" > "$work/token"
  http_exchange "$port" GET /api/session "$token" | grep -q '"role":"admin"' || fail "the token is not an admin's"
  http_exchange "$port" GET /api/session | grep -q '"public":true' || fail "no public view without a token"
  [ "$(stat -c %a "$BUILD_DIR/orlex_web.users")" = 600 ] || fail "the users file is not mode 0600"
  grep -qF -f "$work/token" "$BUILD_DIR/orlex_web.users" && fail "the users file holds the token itself"
  grep -lsF -f "$work/token" /proc/[0-9]*/cmdline > "$work/holders" && fail "a command line holds the token"
  # rcon goes to the game port of the SERVER record: once the gateway has it, the say is done.
  for ((tenths = 0; tenths < 600; tenths++)); do
    http_exchange "$port" GET /api/servers/simulated "$token" | grep -q '"server":{' && break
    sleep 0.1
  done
  http_exchange "$port" POST /api/servers/simulated/actions "$token" '{"action":"say","text":"make run"}' |
    grep -q '"ok":true' || fail "an admin's say over rcon was not done: $(tail -n 3 "$BUILD_DIR/orlex_web.log")"
  grep -q '"action":"say"' "$BUILD_DIR/orlex_web.audit" || fail "the say is not in $BUILD_DIR/orlex_web.audit"
  [ -s "$BUILD_DIR/history.sqlite" ] || fail "no history kept in $BUILD_DIR/history.sqlite"
  http_exchange "$port" GET /api/history/matches "$token" | grep -q '"matches":\[{' ||
    fail "the history has no match of the simulated server"
}

hostport=$(pick_hostport) || { echo "FAILED: no free game port"; exit 1; }
plugin_port=$((hostport + 13000))
WEB_LISTEN=127.0.0.1:0 HOSTPORT=$hostport setsid "$source_dir/scripts/run.sh" --duration 120 \
  > "$work/run.log" 2>&1 < /dev/null &
groups+=($!)
if ! wait_for "$work/run.log" "orlex_simhost:" 60; then
  fail "no start line from the simulated server:"; cat "$work/run.log"
else
  head -n 1 "$work/run.log" | grep -q '^orlex_web: the dashboard is at http://127\.0\.0\.1:[0-9]*/ ' ||
    fail "the first line is not the dashboard's address: $(head -n 1 "$work/run.log")"
  dashboard=$(sed -n 's|^orlex_web: the dashboard is at http://127\.0\.0\.1:\([0-9]*\)/ .*|\1|p' "$work/run.log")
  http_answers 127.0.0.1 "${dashboard:-0}" || fail "the dashboard at port ${dashboard:-?} does not answer"
  grep -q "the plug-in listens on 127\.0\.0\.1:$plugin_port five seconds" "$work/run.log" ||
    fail "the start line does not name 127.0.0.1:$plugin_port: $(grep orlex_simhost: "$work/run.log")"
  for ((tenths = 0; tenths < 600 && $(listeners_on "$plugin_port" | wc -l) == 0; tenths++)); do sleep 0.1; done
  bound_to_loopback_only "$plugin_port" ||
    fail "the plug-in's port $plugin_port is not bound to 127.0.0.1 only: $(listeners_on "$plugin_port" | tr '\n' ' ')(hex)"
  check_admin "${dashboard:-0}"
  # The radar's map: the server's map files where the dashboard reads them.
  token=$(cat "$work/token" 2>/dev/null)
  state() { http_exchange "$dashboard" GET /api/servers/simulated "$token" 2>/dev/null | tail -n 1; }
  for ((tenths = 0; tenths < 600; tenths++)); do
    state | grep -q '"map":{"image":"/api/servers/simulated/map.png"' && break
    sleep 0.1
  done
  [ "$tenths" -lt 600 ] || fail "the dashboard has no map picture: $(state | head -c 300)"
  http_exchange "$dashboard" GET /api/servers/simulated/map.png "$token" 2>/dev/null | head -c 400 |
    grep -aqi '^content-type: image/png' || fail "the map picture is not served"
fi

# A port held by another dashboard.
setsid "$BUILD_DIR/orlex_web" --server held=127.0.0.1:9 --listen 127.0.0.1:0 > "$work/holder.log" 2>&1 &
groups+=($!)
wait_for "$work/holder.log" "dashboard at" 30 || fail "the holding dashboard did not start"
held=$(sed -n 's|^orlex_web: dashboard at http://127\.0\.0\.1:\([0-9]*\)/$|\1|p' "$work/holder.log")
if WEB_LISTEN=127.0.0.1:$held HOSTPORT=$(pick_hostport) timeout 60 "$source_dir/scripts/run.sh" --duration 5 \
  > "$work/taken.log" 2>&1 < /dev/null; then
  fail "run.sh went on with its dashboard's port taken"
fi
grep -q "WEB_LISTEN=" "$work/taken.log" || fail "no WEB_LISTEN hint when the port is taken: $(cat "$work/taken.log")"
grep -q "orlex_simhost:" "$work/taken.log" && fail "the simulated server started without its dashboard"

[ "$failures" -eq 0 ] && echo "make run: the dashboard first, the plug-in on loopback, a taken port stops it"
exit "$failures"
