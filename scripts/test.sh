#!/usr/bin/env bash
# Every test. First the builds: Windows, native with AddressSanitizer and
# UndefinedBehaviorSanitizer, native optimised, and the page's WebAssembly;
# then a release in dist/ (the plug-in built a second time, clean, from a
# copy of the checkout; the page from the WebAssembly build just made).
# Then the Windows build's checks under wine, the native tests with the
# comparisons between the builds and the checks of the release, and the
# browser tests in Debian's Chromium, which compare the page's reports with
# the native runner's and serve the release's page archive; then the
# reliability runs: the reference scenarios under valgrind memcheck
# (optimised build, no sanitizer) and a bounded libFuzzer run (clang, ASan,
# UBSan). Ends with the reliability figures.
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
ctest --preset windows -j2 || failed+=("Windows tests")
ctest --preset test -j2 || failed+=("native tests")
node --test tests/web/ || failed+=("browser tests")

# The page's code, its browser tests and benchmarks as Prettier writes them
# (npm run format rewrites them so).
npm run --silent format:check || failed+=("page formatting")

# Valgrind memcheck: each reference scenario once, no error and no leak.
memcheck_runs=0
memcheck_errors=0
for scenario in scenarios/reference_*.json; do
  log=build/native/memcheck_$(basename "$scenario" .json).log
  status=0
  valgrind --error-exitcode=99 --leak-check=full build/native/host/slantwarper-host "$scenario" --json /dev/null \
    >/dev/null 2>"$log" || status=$?
  errors=$(sed -n 's/.*ERROR SUMMARY: \([0-9]*\) errors.*/\1/p' "$log" | tail -1)
  errors=${errors:-1}  # no summary: valgrind itself failed
  if [ "$status" -ne 0 ] && [ "$errors" -eq 0 ]; then errors=1; fi
  echo "valgrind memcheck: $scenario: exit status $status, $errors errors"
  memcheck_runs=$((memcheck_runs + 1))
  memcheck_errors=$((memcheck_errors + errors))
done

# libFuzzer, bounded: each target for its share of a minute, new inputs to
# the build tree, the committed corpus (and for scenario files the example
# and test files) as seeds; a broken invariant leaves its input in
# build/fuzz/artifacts. scripts/fuzz.sh runs the long campaigns.
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2 --target sw_fuzz_plugin sw_fuzz_scenario
mkdir -p build/fuzz/corpus build/fuzz/scenario_corpus build/fuzz/artifacts
fuzz_seconds=0
fuzz_runs=0
fuzz_failures=0
fuzz_target() {
  local target=$1 seconds=$2
  shift 2
  local status=0
  build/fuzz/tests/fuzz/$target "$@" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=5 -print_final_stats=1 \
    -artifact_prefix=build/fuzz/artifacts/ 2>"build/fuzz/$target.log" || status=$?
  local runs
  runs=$(sed -n 's/^stat::number_of_executed_units: *\([0-9]*\).*/\1/p' "build/fuzz/$target.log")
  fuzz_runs=$((fuzz_runs + ${runs:-0}))
  fuzz_seconds=$((fuzz_seconds + seconds))
  if [ "$status" -ne 0 ]; then
    fuzz_failures=$((fuzz_failures + 1))
    tail -40 "build/fuzz/$target.log"
  fi
}
fuzz_target sw_fuzz_plugin 45 build/fuzz/corpus tests/fuzz/corpus
fuzz_target sw_fuzz_scenario 15 build/fuzz/scenario_corpus tests/fuzz/scenario_corpus scenarios \
  tests/data/bad_scenarios tests/data/hostile_scenarios -max_len=4096

[ "$fuzz_failures" -eq 0 ] || failed+=("fuzzing")
[ "$memcheck_errors" -eq 0 ] || failed+=("valgrind memcheck")

echo
echo "Reliability"
for figure in host_fault_sweep history_sweep allocation_sweep; do
  cat "$figures/$figure.txt" 2>/dev/null || echo "$figure: no figures (the sweep did not finish)"
done
echo "fuzzing: $fuzz_runs executions in $fuzz_seconds s (2 targets), $fuzz_failures failures"
echo "valgrind memcheck: $memcheck_runs reference scenarios, $memcheck_errors errors"
if [ ${#failed[@]} -ne 0 ]; then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
