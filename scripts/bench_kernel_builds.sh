#!/usr/bin/env bash
# The segment kernel's SSE2 and AVX2 blocks and its chunked blocks of a
# base commit and of this tree, in one program (bench/kernel_pair.cpp)
# timed in turn, built for this machine and for the i686 build, which runs
# under wine. What is faster with sixteen vector registers can be slower
# with eight, and the i686 build is the one the host loads; the native
# benchmarks measure only the first.
#
# Each tree's blocks are compiled with its own headers, with the options its
# build gives them (the release flags, and the per-file options its
# tool/CMakeLists.txt sets for GCC), and their entry points renamed base_*
# and new_*. BASE must hold the blocks in tool/kernel/, the AVX-512 ones
# with their chunked block among them, and share this tree's BlockValues.
#
#   scripts/bench_kernel_builds.sh [BASE_COMMIT [ROUNDS]]
set -euo pipefail
cd "$(dirname "$0")/.."
base=${1:-HEAD~1}
rounds=${2:-5}
scripts/setup.sh

work=$(mktemp -d)
trap 'git worktree remove --force "$work/base" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
git worktree add --detach "$work/base" "$(git rev-parse --short "$base")" >/dev/null 2>&1

# The options a tree's tool/CMakeLists.txt gives one of its kernel files.
file_options() {
  sed -n "/set_source_files_properties(kernel\/$2/,/)/p" "$1/tool/CMakeLists.txt" |
    sed -n 's/.*COMPILE_OPTIONS "\([^"]*\)".*/\1/p' | tr ';' ' '
}

# build COMPILER OUTPUT FLAGS...: the two trees' blocks and the program.
build() {
  local cxx=$1 out=$2
  shift 2
  local objects=()
  for side in base new; do
    local tree=.
    [ "$side" = base ] && tree=$work/base
    local renames=()
    for name in moveBlocksSse2 moveBlocksAvx2 moveBlocksAvx512 moveBoundedBlocksSse2 moveBoundedBlocksAvx2 \
      moveBoundedBlocksAvx512 moveBlockUntestedSse2 moveChunkedBlockSse2 moveChunkedBlockAvx2 moveChunkedBlockAvx512; do
      renames+=("-D$name=${side}_$name")
    done
    for file in blocks_sse2.cpp blocks_avx2.cpp blocks_avx512.cpp; do
      # shellcheck disable=SC2046 # the file's options are words
      "$cxx" "$@" -I"$tree" "${renames[@]}" $(file_options "$tree" "$file") \
        -c "$tree/tool/kernel/$file" -o "$work/$out.$side.$file.o"
      objects+=("$work/$out.$side.$file.o")
    done
  done
  # A base whose AVX2 path has a chunked block of its own is timed with it.
  local base_has=()
  grep -q moveChunkedBlockAvx2 "$work/base/tool/kernel/blocks.h" && base_has+=(-DSW_BASE_CHUNKED_AVX2)
  "$cxx" "$@" -I. "${base_has[@]}" bench/kernel_pair.cpp "${objects[@]}" -o "$work/$out"
}

common=(-O3 -DNDEBUG -std=c++20 -ffp-contract=off)
echo "base $(git rev-parse --short "$base"), new $(git rev-parse --short HEAD)$(git diff --quiet HEAD || echo ' with uncommitted changes'); $(uptime)"
build g++ native "${common[@]}"
echo "== this machine's build ($(uname -m))"
"$work/native" "$rounds"
build i686-w64-mingw32-g++-posix i686.exe "${common[@]}" -msse2 -mfpmath=sse -Wa,-muse-unaligned-vector-move -static
echo "== the i686 build, under wine"
WINEDEBUG=-all wine "$work/i686.exe" "$rounds"
