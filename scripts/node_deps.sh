#!/usr/bin/env bash
# The page's npm packages, exactly as package-lock.json pins them: installed
# with `npm ci` when node_modules is missing or older than the lock file;
# nothing otherwise. (node and npm themselves come from scripts/setup.sh.)
set -euo pipefail
cd "$(dirname "$0")/.."
if [ ! -d node_modules ] || [ package-lock.json -nt node_modules ]; then
  npm ci --no-audit --no-fund
  touch node_modules
fi
