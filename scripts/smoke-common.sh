# Shared by the smoke checks: runs a server command in the background, has a client ask for
# records of the given kinds on port + 13000, stops the server and says how it went.
#   serve_and_check NAME PORT "KIND..." COMMAND...
serve_and_check() {
  local name=$1 port=$2 kinds=$3 log status=0 server
  shift 3
  log=$(mktemp)
  timeout 120 "$@" --hostport "$port" --log --duration 110 < /dev/null > "$log" 2>&1 &
  server=$!
  # shellcheck disable=SC2086
  build/tests/smoke_client 127.0.0.1 $((port + 13000)) 90 $kinds || status=1
  kill "$server" 2>/dev/null || true
  wait "$server" 2>/dev/null || true
  [ $status -eq 0 ] || { echo "$name: failed; server output:"; cat "$log"; }
  rm -f "$log"
  echo "$name: $([ $status -eq 0 ] && echo passed || echo FAILED)"
  return $status
}
