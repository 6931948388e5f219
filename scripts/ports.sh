# Sourced: TCP and UDP ports as /proc/net shows them, and whether a page answers there, for the
# scripts that start servers.

# The listening TCP sockets on PORT, as address:port in hex ("0100007F:9C57" is 127.0.0.1:40023).
listeners_on() {
  local hex
  hex=$(printf '%04X' "$1")
  awk -v port="$hex" '$4 == "0A" && substr($2, length($2) - 3) == port { print $2 }' /proc/net/tcp /proc/net/tcp6 2>/dev/null
}

# Whether only 127.0.0.1 holds PORT (and something does).
bound_to_loopback_only() {
  local bound address
  bound=$(listeners_on "$1")
  [ -n "$bound" ] || return 1
  for address in $bound; do [ "$address" = "$(printf '0100007F:%04X' "$1")" ] || return 1; done
}

port_in_use() {
  local hex
  hex=$(printf '%04X' "$1")
  awk -v port="$hex" 'substr($2, length($2) - 3) == port { found = 1 } END { exit !found }' \
    /proc/net/tcp /proc/net/tcp6 /proc/net/udp /proc/net/udp6 2>/dev/null
}

# A game port that is free, and its plug-in port (13000 above) too, both below the ports the
# kernel hands out, so that no other test's free port can take them.
pick_hostport() {
  local port
  for port in $(seq 2000 7 19000 | shuf); do
    port_in_use "$port" || port_in_use $((port + 13000)) || { echo "$port"; return 0; }
  done
  return 1
}

# Whether GET / at HOST PORT answers 200 (bash's /dev/tcp: no HTTP client needed).
http_answers() {
  local host=$1 port=$2 status
  exec 3<> "/dev/tcp/$host/$port" || return 1
  printf 'GET / HTTP/1.0\r\nHost: %s\r\n\r\n' "$host" >&3
  read -r -t 10 status <&3
  exec 3<&-
  [[ "$status" == HTTP/1.?\ 200* ]]
}
