#!/usr/bin/env bash
# The page's benchmark (never part of the tests): one drag event in headless
# Chromium over SVG files of 10^4 and 10^5 segments and the largest real file
# the round-trip tests open, each opened and drawn whole as the page does,
# alone, with the page's repaint, and per animation frame. Builds the
# WebAssembly build if it is not there; extra arguments go to
# bench/web/drag_bench.mjs (--events N, --sizes a,b,c, --file F.svg).
# With "long" first it runs the long session instead (bench/web/long_session.mjs:
# --file SVG, --opens N, --drags N, --undos N).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/node_deps.sh
cmake --preset web >/dev/null
cmake --build --preset web -j2
if [ "${1:-}" = "long" ]; then
  shift
  node bench/web/long_session.mjs "$@"
else
  node bench/web/drag_bench.mjs "$@"
fi
