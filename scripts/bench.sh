#!/usr/bin/env bash
# Benchmarks (never part of the tests): builds the bench preset (optimised, no
# sanitizers), times drag events over large selections paired with their
# floors, measures the document history's bound on 10^6 segments, then
# counts instructions per segment of one drag event under callgrind. Extra
# arguments go to the benchmark program, for example
# --benchmark_filter=drag/ or --benchmark_repetitions=3.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
build=${SW_BENCH_BUILD_DIR:-build/bench}

cmake --preset bench -B "$build" >/dev/null
cmake --build "$build" -j2 --target sw_drag_bench sw_drag_count sw_history_bound

"$build/bench/sw_drag_bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true "$@"
echo
"$build/bench/sw_history_bound"
echo
scripts/callgrind_drag.sh "$build"
