#!/usr/bin/env bash
# The main job: builds the plug-in for Linux, for Windows and for the web
# page (WebAssembly), and the page as a static site (build/web/site), runs
# the built-in demo in the substitute host (picture in out/demo.svg) and
# prints the report of a plug-in's life: startup, unload, reload, shutdown.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

cmake --preset native >/dev/null
cmake --build --preset native -j2
cmake --preset windows >/dev/null
cmake --build --preset windows -j2
cmake --preset web >/dev/null
cmake --build --preset web -j2
scripts/node_deps.sh
node web/site.mjs

runner=build/native/host/slantwarper-host
echo
echo "== Built: build/native/bridge/slantWarper.so, build/windows/bridge/slantWarper.aip and the page as a"
echo "   static site in build/web/site (scripts/playground.sh serves it; scripts/release.sh makes a release)"
echo "== The built-in demo: two drags over sample shapes, the second with Shift"
"$runner" --svg out/demo.svg
echo
echo "== A plug-in's life (scenarios/lifecycle.json): startup, unload, reload, shutdown"
"$runner" scenarios/lifecycle.json --json -
echo
echo "The demo's picture is out/demo.svg. To drag in a browser: scripts/playground.sh, then open the address it prints."
