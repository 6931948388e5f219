#!/bin/sh
# The plug-in's folders stand in floors, in one strict order, and every include points down or
# sideways within its folder; no two floors include each other. Fails naming each include that
# climbs back up.
#   sdk/      the host's layouts
#   host/     the engine glue and the plug-in's console variables
#   text/     the record format and the number texts, written and read
#   net/      the listener for admin clients and the log socket
#   state/    the per-player, team, game and map tables
#   events/   the game's hooks: they write the tables and queue chat records
#   reports/  the report builders: they read the tables and build text
#   plugin/   entry points, hook tables, the frame loop and the conversation with clients
set -eu
cd "${1:-$(dirname "$0")/..}"

FLOORS="sdk host text net state events reports plugin"

# shellcheck disable=SC2086  # the floors are words
grep -rH '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' $FLOORS | awk -v floors="$FLOORS" '
  BEGIN {
    count = split(floors, order, " ")
    for (i = 1; i <= count; ++i)
      level[order[i]] = i
  }
  {
    file = substr($0, 1, index($0, ":") - 1)
    folder = substr(file, 1, index(file, "/") - 1)
    included = $0
    sub(/^[^"]*"/, "", included)
    sub(/".*$/, "", included)
    top = index(included, "/") ? substr(included, 1, index(included, "/") - 1) : folder  # bare: beside it
    if (!(top in level)) {
      printf "%s includes %s: not a folder of the plug-in\n", file, included
      failed = 1
    } else if (level[top] > level[folder]) {
      below = ""
      for (i = 1; i <= level[folder]; ++i)
        below = below " " order[i]
      printf "%s includes %s: %s/ may include only from%s\n", file, included, folder, below
      failed = 1
    }
  }
  END {
    if (failed)
      exit 1
    print "layers: ok"
  }'
