#!/usr/bin/env bash
# What the plug-in costs a server: times, instructions per call (repeatable, unlike times on a
# shared machine), its static footprint and the memory it adds once running.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build

echo "== static footprint of the library (bytes)"
size "$build/orlex_mm.so"

echo
echo "== resident memory"
"$build/orlex_bench" --memory

echo
echo "== a whole match"
"$build/orlex_bench" --match "${BENCH_MATCH_SECONDS:-120}"

echo
echo "== times"
"$build/orlex_bench" --benchmark_min_time="${BENCH_MIN_TIME:-0.5}" 2>/dev/null

echo
echo "== instructions per call (callgrind)"
instructions() {
  local out total
  out=$(mktemp)
  valgrind --tool=callgrind --callgrind-out-file="$out" --collect-atstart=no \
    "$build/orlex_bench" --count "$1" "$2" > /dev/null 2>&1
  total=$(awk '/^(summary|totals):/ {print $2; exit}' "$out")
  rm -f "$out"
  echo "$total"
}
# Per call, less the loop and call around it (measured on a hook that does nothing).
count() {
  local what=$1 label=$2 calls=$3 target=$4
  local total harness
  total=$(instructions "$what" "$calls")
  harness=$(instructions noop "$calls")
  printf '%-42s %10d instructions   target %s\n' "$label" $(((total - harness) / calls)) "$target"
}
count idle 'StartFrame, nothing due' 200000 "<= 15"
count players 'Get_Players_Data, 32 players' 2000 "(time <= 15 us)"

echo
echo "== the web dashboard's gateway (orlex_web, a process of its own): fake plug-ins on a generator thread,"
echo "   WebSocket viewers on threads of their own; recording off, on, on a slow disk; the scale point"
"$build/orlex_web_bench" --web "$build/orlex_web" --slow-disk "$PWD/$build/liborlex_slow_disk.so" \
  --servers 50 --viewers 500 --seconds "${BENCH_WEB_SECONDS:-60}" --scale-servers 200 --scale-viewers 5000 \
  --cases "${BENCH_WEB_CASES:-off,on,slow,scale}"

echo
echo "== the worst record within the limits of a genuine plug-in, folded (target: under 5 ms)"
"$build/orlex_record_fold_bench" --benchmark_min_time="${BENCH_MIN_TIME:-0.5}" 2>/dev/null

echo
echo "== the history (orlex_web --history): a generated file, inserts and each page's query"
"$build/orlex_history_bench"

echo
echo "== the servers' logs in the gateway"
"$build/orlex_log_bench" --benchmark_min_time="${BENCH_MIN_TIME:-0.5}" 2>/dev/null
"$build/orlex_log_bench" --share "$build/orlex_web"

echo
echo "== the radar's floor plan, drawn once per map"
"$build/orlex_map_bench"

echo
echo "== recordings"
"$build/orlex_recording_bench" "$build/orlex_web"

echo
echo "== administering over rcon (the simulated server on loopback, its default report period of 5 s)"
"$build/orlex_rcon_bench" --round-trips "${BENCH_RCON_ROUND_TRIPS:-100}" --kicks "${BENCH_RCON_KICKS:-8}"
