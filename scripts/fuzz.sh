#!/usr/bin/env bash
# A fuzzing campaign, not part of the tests: builds the fuzz preset and runs
# every fuzz target from its committed corpus for SECONDS (default 600), the
# targets side by side. Each keeps what it finds under build/fuzz/campaign/:
# new inputs in <target>/corpus, failing inputs in <target>/artifacts, its
# log in <target>.log. Prints executions, coverage and failures per target
# and exits non-zero if any target crashed, leaked, ran out of memory
# (2048 MB) or took more than 5 s over one input.
#
#   scripts/fuzz.sh [SECONDS] [merge]
#
# With "merge", the inputs that reach new coverage are then added, minimised,
# to the committed corpora (libFuzzer -merge=1).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
merge=${2:-}
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
  echo "usage: scripts/fuzz.sh [SECONDS] [merge]" >&2
  exit 2
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2 --target sw_fuzz_plugin sw_fuzz_scenario >/dev/null
campaign=build/fuzz/campaign
mkdir -p "$campaign"

# target: binary, committed corpus, read-only seed directories
declare -A binary=([sw_fuzz_plugin]=build/fuzz/tests/fuzz/sw_fuzz_plugin
                   [sw_fuzz_scenario]=build/fuzz/tests/fuzz/sw_fuzz_scenario)
declare -A corpus=([sw_fuzz_plugin]=tests/fuzz/corpus [sw_fuzz_scenario]=tests/fuzz/scenario_corpus)
declare -A seeds=([sw_fuzz_plugin]="" [sw_fuzz_scenario]="scenarios tests/data/bad_scenarios tests/data/hostile_scenarios")
# Scenario inputs stay small, so that the committed corpus does too; the
# reader's size limits have their own tests.
declare -A options=([sw_fuzz_plugin]="" [sw_fuzz_scenario]="-max_len=4096")
targets=(sw_fuzz_plugin sw_fuzz_scenario)

run_target() {
  local target=$1
  local work=$campaign/$target
  mkdir -p "$work/corpus" "$work/artifacts"
  # shellcheck disable=SC2086 # the seed directories and options are words
  "${binary[$target]}" "$work/corpus" "${corpus[$target]}" ${seeds[$target]} ${options[$target]} -max_total_time="$seconds" \
    -rss_limit_mb=2048 -timeout=5 -print_final_stats=1 -artifact_prefix="$work/artifacts/" \
    >"$campaign/$target.log" 2>&1
}

started=$(date +%s)
pids=()
for target in "${targets[@]}"; do
  run_target "$target" &
  pids+=($!)
done

# The SVG importer of the page, under node, if the page and its packages are
# here: the same time, the same bounds per input.
svg_status=none
if command -v node >/dev/null && [ -f web/svg_import.js ] && [ -d node_modules/svgpath ] &&
  [ -d node_modules/@xmldom/xmldom ]; then
  node tests/fuzz/fuzz_svg_import.mjs --seconds "$seconds" --timeout 5 \
    --artifacts "$campaign/svg_import/artifacts" >"$campaign/svg_import.log" 2>&1 &
  svg_pid=$!
  svg_status=running
fi

status=0
statuses=()
for pid in "${pids[@]}"; do
  s=0
  wait "$pid" || s=$?
  statuses+=("$s")
done
if [ "$svg_status" = running ]; then
  svg_status=0
  wait "$svg_pid" || svg_status=$?
fi
minutes=$(( ($(date +%s) - started + 30) / 60 ))

echo
echo "Fuzzing campaign: $seconds s per target (about $minutes min in all)"
for i in "${!targets[@]}"; do
  target=${targets[$i]}
  log=$campaign/$target.log
  runs=$(sed -n 's/^stat::number_of_executed_units: *\([0-9]*\).*/\1/p' "$log" | tail -1)
  added=$(sed -n 's/^stat::new_units_added: *\([0-9]*\).*/\1/p' "$log" | tail -1)
  slowest=$(sed -n 's/^stat::slowest_unit_time_sec: *\([0-9]*\).*/\1/p' "$log" | tail -1)
  rss=$(sed -n 's/^stat::peak_rss_mb: *\([0-9]*\).*/\1/p' "$log" | tail -1)
  coverage=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  failures=$(find "$campaign/$target/artifacts" -type f | wc -l)
  if [ "${statuses[$i]}" -ne 0 ] && [ "$failures" -eq 0 ]; then failures=1; fi
  echo "$target: ${runs:-0} executions, coverage ${coverage:-0} edges, ${added:-0} new inputs," \
    "slowest input ${slowest:-0} s, peak ${rss:-0} MB, $failures failures"
  if [ "$failures" -ne 0 ]; then
    status=1
    grep -E '^(==[0-9]+==ERROR|SUMMARY|.*Test unit written|.*broke|  )' "$log" | head -20 || true
  fi
done
if [ "$svg_status" = none ]; then
  echo "svg_import: not run (node, web/svg_import.js or its npm packages are not here)"
else
  tail -1 "$campaign/svg_import.log"
  [ "$svg_status" -eq 0 ] || status=1
fi

if [ "$merge" = merge ] && [ "$status" -eq 0 ]; then
  for target in "${targets[@]}"; do
    # shellcheck disable=SC2086
    "${binary[$target]}" -merge=1 ${options[$target]} -rss_limit_mb=2048 -timeout=5 "${corpus[$target]}" "$campaign/$target/corpus" \
      >"$campaign/$target.merge.log" 2>&1
    echo "$target: committed corpus now $(find "${corpus[$target]}" -type f | wc -l) inputs"
  done
fi
exit "$status"
