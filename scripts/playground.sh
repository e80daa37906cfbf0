#!/usr/bin/env bash
# Serves the page's static site, build/web/site, on 127.0.0.1:${PORT:-8080}
# and prints its address, after building the WebAssembly build if it is not
# there yet and the site from the checkout as it is.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
scripts/node_deps.sh
if [ ! -f build/web/out/slantwarper.js ]; then
  echo "Building the WebAssembly build (cmake preset web)..."
  cmake --preset web >/dev/null
  cmake --build --preset web -j2
fi
node web/site.mjs --out build/web/site
exec node web/serve.mjs --root build/web/site --port "${PORT:-8080}"
