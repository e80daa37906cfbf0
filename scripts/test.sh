#!/usr/bin/env bash
# Every test: the Windows build and its checks under wine, the native build
# with AddressSanitizer and UndefinedBehaviorSanitizer, and the comparisons
# between the two.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
export WINEDEBUG=-all

cmake --preset windows >/dev/null
cmake --build --preset windows -j2
cmake --preset test >/dev/null
cmake --build --preset test -j2

ctest --preset windows -j2
ctest --preset test -j2
