#!/bin/sh
# The plug-in's folders stand in floors and every include points down: sdk/ (the host's layouts),
# host/ (the engine glue), then net/, events/ and reports/, with plugin/ (entry points, hook
# tables, frame loop) on top. Fails naming each include that climbs back up.
set -eu
cd "${1:-$(dirname "$0")/..}"

grep -rH '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' sdk host net events reports | awk '
  BEGIN {
    # folder: the folders its files may include from
    allowed["sdk"] = " sdk "
    allowed["host"] = " sdk host "
    allowed["net"] = " sdk host net "
    allowed["events"] = " sdk host net events reports "
    allowed["reports"] = " sdk host net events reports "
  }
  {
    file = substr($0, 1, index($0, ":") - 1)
    folder = substr(file, 1, index(file, "/") - 1)
    included = $0
    sub(/^[^"]*"/, "", included)
    sub(/".*$/, "", included)
    top = index(included, "/") ? substr(included, 1, index(included, "/") - 1) : folder  # bare: beside it
    if (index(allowed[folder], " " top " ") == 0) {
      printf "%s includes %s: %s/ may include only from%sfolders\n", file, included, folder, allowed[folder]
      failed = 1
    }
  }
  END {
    if (failed)
      exit 1
    print "layers: ok"
  }'
