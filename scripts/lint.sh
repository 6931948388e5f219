#!/bin/sh
# make lint: the tree's C and C++ files against .clang-format (check only, nothing is rewritten),
# then clang-tidy's checks (.clang-tidy) over the plug-in's and the programs' sources, through the
# native build's compile database. Fails on any file that is not formatted and on any finding.
# Tests, benchmarks and fuzz targets are formatted but not tidied: they would double the time.
set -eu
cd "$(dirname "$0")/.."

BUILD=${BUILD:-build}
JOBS=${JOBS:-2}
FORMAT=${CLANG_FORMAT:-clang-format-14}
TIDY=${CLANG_TIDY:-clang-tidy-14}
RUN_TIDY=${RUN_CLANG_TIDY:-run-clang-tidy-14}

for tool in "$FORMAT" "$TIDY" "$RUN_TIDY"; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "lint: $tool is not installed (Debian: apt-get install clang-format-14 clang-tidy-14)" >&2
    exit 1
  fi
done

echo "== clang-format (check)"
git ls-files -z -- '*.c' '*.cc' '*.cpp' '*.h' '*.hpp' | xargs -0 "$FORMAT" --dry-run -Werror

echo "== clang-tidy"
if [ ! -f "$BUILD/compile_commands.json" ]; then
  echo "lint: no $BUILD/compile_commands.json: run make build first" >&2
  exit 1
fi
root=$(pwd)
# Every translation unit of these folders in the compile database, and our headers they include.
floors='host|text|net|state|events|reports|plugin|stream|web|recording|client|simhost|cmdline|soak|packaging'
"$RUN_TIDY" -quiet -p "$BUILD" -j "$JOBS" -clang-tidy-binary "$(command -v "$TIDY")" \
  -header-filter "^$root/($floors)/" "^$root/($floors)/" >"$BUILD/lint-tidy.log" 2>&1 || true
# Judged by the findings in the output (its exit status also counts files that failed to parse,
# which the findings name too); colour codes are taken out first.
sed 's/\x1b\[[0-9;]*m//g' "$BUILD/lint-tidy.log" >"$BUILD/lint-tidy.txt"
if grep -E ': (warning|error): ' "$BUILD/lint-tidy.txt" >/dev/null; then
  grep -E -A3 ': (warning|error): ' "$BUILD/lint-tidy.txt" >&2
  echo "lint: clang-tidy found the above (whole output: $BUILD/lint-tidy.txt)" >&2
  exit 1
fi
echo "lint: ok"
