#!/bin/sh
# The gateway benchmark's slow disk: writes to files opened under the folder it is given are
# delayed and counted, writes elsewhere are not, and every byte still lands where it was written.
set -eu
library=$1
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
mkdir "$folder/slow" "$folder/slower"

# What the slow disk reports of dd appending its input to the file (dd writes with write(2)).
slow_append() {
  printf '%s' "$1" |
    LD_PRELOAD="$library" ORLEX_SLOW_DIR="$folder/slow" ORLEX_SLOW_MS=20 dd of="$2" oflag=append conv=notrunc status=none 2>&1
}
expect() {
  [ "$1" = "$2" ] || { echo "expected \"$2\", got \"$1\""; exit 1; }
}

expect "$(slow_append a "$folder/slow/one")" "slow disk: 1 calls delayed under $folder/slow"
expect "$(slow_append c "$folder/slow/one")" "slow disk: 1 calls delayed under $folder/slow"
expect "$(slow_append b "$folder/other")" "slow disk: 0 calls delayed under $folder/slow"
# A folder whose name starts like the slow one's is another folder.
expect "$(slow_append d "$folder/slower/two")" "slow disk: 0 calls delayed under $folder/slow"
expect "$(cat "$folder/slow/one")" ac
expect "$(cat "$folder/other")" b
echo "slow disk: delays only its folder's writes"
