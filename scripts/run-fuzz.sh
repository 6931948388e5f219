#!/usr/bin/env bash
# Runs every fuzz target for a bounded time from its seed corpus, and prints what each did.
# FUZZ_SECONDS sets the time per target (default 30). New inputs go to a scratch corpus in the
# build folder, never into the seeds.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-30}
build=build-fuzz
status=0
for target in fuzz_request fuzz_log_line fuzz_cstrings fuzz_map_file fuzz_game_text fuzz_allow_list fuzz_number_text fuzz_web_stream fuzz_web_config fuzz_web_loading fuzz_web_log fuzz_web_actions fuzz_recording fuzz_map_picture fuzz_rcon; do
  scratch=$build/corpus/$target
  mkdir -p "$scratch"
  log=$build/$target.log
  if timeout $((seconds + 60)) "$build/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 \
       -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$build/$target-" "$scratch" "fuzz/corpus/$target" \
       > "$log" 2>&1; then
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
    echo "fuzz: $target: $runs runs in ${seconds}s, no fault"
  else
    echo "fuzz: $target FAILED; the end of its log:"
    tail -40 "$log"
    status=1
  fi
done
exit $status
