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

# Instructions executed inside the named function (and what it calls); empty
# when the forced kernel path cannot run under valgrind (it has no AVX-512).
count() {
  local status=0
  valgrind --tool=callgrind --callgrind-out-file="$work/$1.out" --toggle-collect="*$1*" \
    "$program" >"$work/segments" 2>"$work/$1.log" || status=$?
  [ "$status" -eq 3 ] && return 0
  [ "$status" -eq 0 ] || { cat "$work/$1.log" >&2; exit 1; }
  awk '/^totals:/ { print $2 }' "$work/$1.out"
}

floor=$(count measuredFloor)
drag=$(count measuredDrag)
segments=$(cat "$work/segments")
awk -v drag="$drag" -v floor="$floor" -v n="$segments" 'BEGIN {
  printf "one drag event over %d segments: %d instructions, %.1f per segment\n", n, drag, drag / n
  printf "its floor (host calls only):      %d instructions, %.1f per segment\n", floor, floor / n
  printf "the plug-in'\''s own share:          %.1f instructions per segment (valgrind'\''s choice of path)\n", (drag - floor) / n
}'
for path in sse2 avx2 avx512; do
  drag=$(SW_BENCH_KERNEL=$path count measuredDrag)
  if [ -z "$drag" ]; then
    echo "  $path: not available under valgrind"
  else
    awk -v drag="$drag" -v floor="$floor" -v n="$segments" -v path="$path" \
      'BEGIN { printf "  %s: %.1f instructions per segment of the plug-in'\''s own\n", path, (drag - floor) / n }'
  fi
done
