#!/usr/bin/env bash
# Serves the page on 127.0.0.1:${PORT:-8080} and prints its address, after
# building the WebAssembly build if it is not there yet.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
scripts/node_deps.sh
if [ ! -f build/web/out/slantwarper.js ]; then
  echo "Building the WebAssembly build (cmake preset web)..."
  cmake --preset web >/dev/null
  cmake --build --preset web -j2
fi
exec node web/serve.mjs --port "${PORT:-8080}"
