#!/usr/bin/env bash
# Instructions per segment of one drag event over 10^5 segments, and of its
# floor (the same host calls with the segments copied unchanged), counted by
# callgrind: unlike a timing, the figure is the same on a busy machine.
#
#   scripts/callgrind_drag.sh [BENCH_BUILD_DIR]   (default build/bench)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/bench}
program=$build/bench/sw_drag_count
[ -x "$program" ] || { echo "no $program: build the bench preset first (scripts/bench.sh)" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Instructions executed inside the named function (and what it calls).
count() {
  valgrind --tool=callgrind --callgrind-out-file="$work/$1.out" --toggle-collect="*$1*" \
    "$program" >"$work/segments" 2>"$work/$1.log" || { cat "$work/$1.log" >&2; exit 1; }
  awk '/^totals:/ { print $2 }' "$work/$1.out"
}

drag=$(count measuredDrag)
floor=$(count measuredFloor)
segments=$(cat "$work/segments")
awk -v drag="$drag" -v floor="$floor" -v n="$segments" 'BEGIN {
  printf "one drag event over %d segments: %d instructions, %.1f per segment\n", n, drag, drag / n
  printf "its floor (host calls only):      %d instructions, %.1f per segment\n", floor, floor / n
  printf "the plug-in'\''s own share:          %.1f instructions per segment\n", (drag - floor) / n
}'
