#!/usr/bin/env bash
# This tree's benchmarks beside those of a base commit, measured alternately
# on one machine in the same minutes, so that a busy or drifting machine
# slows both alike. Builds the bench preset of BASE (default: the parent of
# HEAD) in a temporary worktree and of this tree, runs each benchmark program
# RUNS times (default 5) in turn, base first, and prints each case's medians,
# ranges and the ratio base / new pair by pair (bench/compare_runs.py).
# Extra arguments go to both programs, for example
# --benchmark_filter=kernel_ or --benchmark_filter='drag/|mouse_down'.
#
#   scripts/bench_compare.sh [BASE_COMMIT [RUNS]] [-- BENCHMARK_ARGS...]
set -euo pipefail
cd "$(dirname "$0")/.."
base=HEAD~1
runs=5
if [ $# -gt 0 ] && [ "$1" != "--" ]; then base=$1; shift; fi
if [ $# -gt 0 ] && [ "$1" != "--" ]; then runs=$1; shift; fi
[ $# -gt 0 ] && [ "$1" = "--" ] && shift
scripts/setup.sh

base_commit=$(git rev-parse --short "$base")
work=$(mktemp -d)
trap 'git worktree remove --force "$work/base" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
git worktree add --detach "$work/base" "$base_commit" >/dev/null 2>&1

new_build=${SW_BENCH_BUILD_DIR:-build/bench}
cmake --preset bench -B "$new_build" >/dev/null
cmake --build "$new_build" -j2 --target sw_drag_bench >/dev/null
(cd "$work/base" && cmake --preset bench -B build/bench >/dev/null && cmake --build build/bench -j2 --target sw_drag_bench >/dev/null)

echo "base $base_commit, new $(git rev-parse --short HEAD)$(git diff --quiet HEAD || echo ' with uncommitted changes'); $(uptime)"
for run in $(seq 1 "$runs"); do
  for side in base new; do
    if [ "$side" = base ]; then program=$work/base/build/bench/bench/sw_drag_bench; else program=$new_build/bench/sw_drag_bench; fi
    "$program" --benchmark_out="$work/$side.$run.json" --benchmark_out_format=json "$@" >/dev/null 2>&1
  done
done
echo "after the runs: $(uptime)"
python3 bench/compare_runs.py "base $base_commit" "new" "$work"
