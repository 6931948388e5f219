#!/usr/bin/env bash
# make run: the simulated server with the plug-in, and orlex_web watching it. The dashboard's
# address comes first; quitting the simulated server (quit, Ctrl-C) ends both.
# Usage: scripts/run.sh [orlex_simhost options]; WEB_LISTEN (default 127.0.0.1:8080; port 0 picks a
# free one) moves the dashboard; HOSTPORT (default 27015) is the game port, the plug-in's is 13000 above;
# WEB_RECORD=DIR records what it shows into DIR (orlex_web --record; replay with orlex_web --replay FILE).
# The plug-in listens on 127.0.0.1 only: --set orlex_mm_ip=0 among the options opens it to every interface.
# ALERTS=FILE gives orlex_web that alerts file; ALERTS=demo writes one whose rules (an admin call in
# chat, the server down 10 s) post to a local receiver started here, which prints what it gets.
# LOGPORT (default the plug-in's port + 1) is where the gateway takes the server's log.
# The server's map files are generated into BUILD_DIR/run-game (or --files DIR is read), which the
# gateway is given as its --game-dir: the radar shows the map under the players.
# BUILD_DIR (default ./build) is the build folder whose programs run. The simulated server's rcon
# password is in BUILD_DIR/rcon_password (made at the first run), which orlex_web reads too.
# Each run makes a new admin token, printed second (BUILD_DIR/orlex_web.users holds only its hash);
# requests without it see the public view (each server 30 s late); the audit trail is
# BUILD_DIR/orlex_web.audit. The matches, players and kills are kept in BUILD_DIR/history.sqlite
# (orlex_web --history; /api/history/).
set -uo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-./build}
listen=${WEB_LISTEN:-127.0.0.1:8080}
hostport=${HOSTPORT:-27015}
args=("$@")
given=no
game_dir=""
for ((i = 0; i < ${#args[@]}; i++)); do
  [ "${args[$i]}" = "--hostport" ] && hostport=${args[$((i + 1))]:-27015} && given=yes
  [ "${args[$i]}" = "--files" ] && game_dir=${args[$((i + 1))]:-}
done
[ "$given" = yes ] || args=(--hostport "$hostport" "${args[@]}")
# The map files the server plays are kept where the dashboard reads them, to draw its radar's map.
if [ -z "$game_dir" ]; then
  game_dir="$build"/run-game
  args=(--write-files "$game_dir" "${args[@]}")
fi
args=(--set orlex_mm_ip=127.0.0.1 "${args[@]}")

# The remote console's password: made once, readable by this user only, and never on a command line.
password_file="$(cd "$build" && pwd)/rcon_password"
if [ ! -s "$password_file" ]; then
  (umask 077 && head -c 12 /dev/urandom | od -An -tx1 | tr -d ' \n' > "$password_file" && echo >> "$password_file")
fi
servers="$build"/orlex_web.servers
echo "simulated 127.0.0.1:$((hostport + 13000)) rcon-password-file=$password_file" > "$servers"
args=(--rcon-password-file "$password_file" "${args[@]}")

# An admin for this run: the token is printed, never given on a command line; the file has its hash.
users="$build"/orlex_web.users
token=$(head -c 16 /dev/urandom | od -An -tx1 | tr -d ' \n')
hash=$(printf '%s\n' "$token" | "$build"/orlex_web --hash-token) || exit 1
(umask 077 && rm -f "$users" && echo "admin admin $hash" > "$users")

record=()
[ -n "${WEB_RECORD:-}" ] && record=(--record "$WEB_RECORD")
alerts=()
receiver=""
if [ "${ALERTS:-}" = demo ]; then
  scripts/alert-receiver.py > "$build"/alert-receiver.log 2>&1 &
  receiver=$!
  for _ in $(seq 50); do grep -q "^alert receiver at" "$build"/alert-receiver.log && break; sleep 0.1; done
  url=$(sed -n 's|^alert receiver at \(http://[^ ]*\)$|\1|p' "$build"/alert-receiver.log)
  cat > "$build"/alerts-demo.json <<JSON
{"webhooks": [{"name": "local", "url": "$url", "format": "json"}],
 "rules": [{"kind": "chat", "webhook": "local"}, {"kind": "down", "seconds": 10, "webhook": "local"}],
 "cooldown": 60}
JSON
  alerts=(--alerts "$build"/alerts-demo.json)
  echo "orlex_web: alerts post to $url (what it gets: tail -f $build/alert-receiver.log)"
elif [ -n "${ALERTS:-}" ]; then
  alerts=(--alerts "$ALERTS")
fi
# The server's log goes to the gateway too, as an operator's logaddress_add sends it.
logport=${LOGPORT:-$((hostport + 13001))}
args=(--exec "logaddress_add 127.0.0.1 $logport" "${args[@]}")
"$build"/orlex_web --config "$servers" --listen "$listen" "${record[@]}" "${alerts[@]}" \
  --log-listen "127.0.0.1:$logport" --users "$users" --audit "$build"/orlex_web.audit --public \
  --game-dir "$game_dir" --history "$build"/history.sqlite \
  > "$build"/orlex_web.log 2>&1 &
web=$!
trap 'kill "$web" $receiver 2>/dev/null; wait "$web" 2>/dev/null' EXIT

# The address it prints once it listens (the port it really has); reading recordings may take a while.
address=""
for ((waited = 0; waited < 300 && ${#address} == 0; waited++)); do
  if ! kill -0 "$web" 2>/dev/null; then
    echo "make run: the dashboard did not start:" >&2
    cat "$build"/orlex_web.log >&2
    echo "make run: choose another address for it, e.g. WEB_LISTEN=127.0.0.1:8081 make run (port 0 picks a free one)" >&2
    exit 1
  fi
  sleep 0.1
  address=$(sed -n 's|^orlex_web: dashboard at \(http://[^ ]*\)$|\1|p' "$build"/orlex_web.log | head -n 1)
done
if [ -z "$address" ]; then
  echo "make run: the dashboard did not start listening within 30 seconds (log: $build/orlex_web.log)" >&2
  exit 1
fi
echo "orlex_web: the dashboard is at $address (log: $build/orlex_web.log)"
echo "orlex_web: admin token for this run: $token (log in once at ${address}?token=$token; without it: the public view, 30 s late)"
echo "orlex_web: every action is audited in $build/orlex_web.audit"
[ -n "${WEB_RECORD:-}" ] && echo "orlex_web: recording into $WEB_RECORD (replay: $build/orlex_web --replay $WEB_RECORD/FILE)"
"$build"/orlex_simhost "${args[@]}"
