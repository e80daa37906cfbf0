#!/usr/bin/env bash
# Every test. First the builds: Windows, native with clang's AddressSanitizer
# and UndefinedBehaviorSanitizer (the tests and the libFuzzer targets in one
# tree), native optimised, and the page's WebAssembly; then a release in
# dist/ (the plug-in built a second time, clean, from a copy of the
# checkout; the page from the WebAssembly build just made).
#
# Then two lanes side by side, each writing its own log, printed when both
# are done: the browser tests in Debian's Chromium and Firefox (the page's
# reports against the native runner's, the release's page archive served),
# and beside them the Windows build's checks under wine, the native tests
# with the comparisons between the builds and the checks of the release,
# the reference scenarios under valgrind memcheck (optimised build, no
# sanitizer) and a bounded libFuzzer run. Ends with the reliability figures.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
export WINEDEBUG=-all

cmake --preset windows >/dev/null
cmake --build --preset windows -j2
cmake --preset test >/dev/null
cmake --build --preset test -j2
cmake --preset native >/dev/null
cmake --build --preset native -j2
cmake --preset web >/dev/null
cmake --build --preset web -j2
scripts/node_deps.sh

# A failing step or test does not stop the runs below; the script fails at
# the end. The sweep tests write their figures here.
failed=()
scripts/release.sh --reuse-web || failed+=("release")
figures=build/test/reliability
rm -rf "$figures"
logs=build/test/lanes
rm -rf "$logs"
mkdir -p "$logs"

# A lane notes each of its steps that fails here.
failing() { echo "$1" >>"$logs/failed"; }

# The browser tests.
browser_lane() {
  node --test tests/web/ || failing "browser tests"
  # The page's code, its browser tests and benchmarks as Prettier writes
  # them (npm run format rewrites them so).
  npm run --silent format:check || failing "page formatting"
}

# Valgrind memcheck: each reference scenario once, no error and no leak.
memcheck() {
  local runs=0 errors=0 scenario log status count
  for scenario in scenarios/reference_*.json; do
    log=build/native/memcheck_$(basename "$scenario" .json).log
    status=0
    valgrind --error-exitcode=99 --leak-check=full build/native/host/slantwarper-host "$scenario" --json /dev/null \
      >/dev/null 2>"$log" || status=$?
    count=$(sed -n 's/.*ERROR SUMMARY: \([0-9]*\) errors.*/\1/p' "$log" | tail -1)
    count=${count:-1}  # no summary: valgrind itself failed
    if [ "$status" -ne 0 ] && [ "$count" -eq 0 ]; then count=1; fi
    echo "valgrind memcheck: $scenario: exit status $status, $count errors"
    runs=$((runs + 1))
    errors=$((errors + count))
  done
  echo "valgrind memcheck: $runs reference scenarios, $errors errors" >"$logs/memcheck.txt"
  [ "$errors" -eq 0 ]
}

# What broke, in one line, from a failing target's log: the sanitizer's
# report, or for an abort the target's last line before it (the broken
# invariant), and the input libFuzzer kept. It stands in the summary at the
# end of the run, where a log shown only in part still shows it.
fuzz_failure() {
  local log=$1 reason input
  reason=$(grep -m1 -E '^==[0-9]+== ?ERROR: ' "$log" || true)
  if [[ "$reason" == *"libFuzzer: deadly signal"* ]]; then
    reason=$(grep -m1 -B1 -E '^==[0-9]+== ?ERROR: ' "$log" | head -1 | sed 's/^ *//')
  fi
  input=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | tail -1)
  echo "${reason:-no report in the log} (input: ${input:-none kept})"
}

# libFuzzer, bounded: each target for its share of a minute, new inputs to
# the build tree, the committed corpus (and for scenario files the example
# and test files) as seeds; a broken invariant leaves its input in
# build/test/fuzz/artifacts. Its random choices start from one fixed seed, so
# that a fresh clone's run tries the same inputs wherever it runs (as far as
# its minute reaches); scripts/fuzz.sh runs the long campaigns, which explore
# anew each time.
fuzzing() {
  local work=build/test/fuzz
  mkdir -p $work/corpus $work/scenario_corpus $work/artifacts
  local seconds=0 runs=0 failures=0 found=()
  run_target() {
    local target=$1 time=$2 status=0 executed
    shift 2
    build/test/tests/fuzz/$target "$@" -max_total_time="$time" -seed=1729 -rss_limit_mb=2048 -timeout=5 -print_final_stats=1 \
      -artifact_prefix=$work/artifacts/ 2>"$work/$target.log" || status=$?
    executed=$(sed -n 's/^stat::number_of_executed_units: *\([0-9]*\).*/\1/p' "$work/$target.log")
    runs=$((runs + ${executed:-0}))
    seconds=$((seconds + time))
    if [ "$status" -ne 0 ]; then
      failures=$((failures + 1))
      tail -40 "$work/$target.log"
      found+=("$target: $(fuzz_failure "$work/$target.log")")
    fi
  }
  run_target sw_fuzz_plugin 45 $work/corpus tests/fuzz/corpus
  run_target sw_fuzz_scenario 15 $work/scenario_corpus tests/fuzz/scenario_corpus scenarios \
    tests/data/bad_scenarios tests/data/hostile_scenarios -max_len=4096
  # The page's SVG importer, from the same seed.
  local status=0 executed
  node tests/fuzz/fuzz_svg_import.mjs --seconds 15 --seed 1729 --timeout 5 --artifacts $work/artifacts \
    >"$work/svg_import.log" 2>&1 || status=$?
  executed=$(sed -n 's/^svg_import: \([0-9]*\) executions.*/\1/p' "$work/svg_import.log")
  runs=$((runs + ${executed:-0}))
  seconds=$((seconds + 15))
  if [ "$status" -ne 0 ]; then
    failures=$((failures + 1))
    tail -20 "$work/svg_import.log"
    found+=("svg_import: $(grep -m1 -A1 '^FAILURE' "$work/svg_import.log" | tr '\n' ' ' || true)")
  fi
  {
    echo "fuzzing: $runs executions in $seconds s (3 targets), $failures failures"
    for line in "${found[@]}"; do echo "  $line"; done
  } >"$logs/fuzzing.txt"
  [ "$failures" -eq 0 ]
}

native_lane() {
  ctest --preset windows -j2 || failing "Windows tests"
  ctest --preset test -j2 || failing "native tests"
  memcheck || failing "valgrind memcheck"
  fuzzing || failing "fuzzing"
}

browser_lane >"$logs/browser.log" 2>&1 &
browser=$!
native_lane >"$logs/native.log" 2>&1 &
native=$!
wait "$native" || failing "the native lane"
wait "$browser" || failing "the browser lane"

echo
echo "== Windows checks, native tests, valgrind, fuzzing ($logs/native.log)"
cat "$logs/native.log"
echo
echo "== Browser tests and the page's formatting ($logs/browser.log)"
cat "$logs/browser.log"
if [ -f "$logs/failed" ]; then
  while IFS= read -r step; do failed+=("$step"); done <"$logs/failed"
fi

echo
echo "Reliability"
for figure in host_fault_sweep history_sweep allocation_sweep; do
  cat "$figures/$figure.txt" 2>/dev/null || echo "$figure: no figures (the sweep did not finish)"
done
cat "$logs/fuzzing.txt" 2>/dev/null || echo "fuzzing: no figures (it did not run)"
cat "$logs/memcheck.txt" 2>/dev/null || echo "valgrind memcheck: no figures (it did not run)"
if [ ${#failed[@]} -ne 0 ]; then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
