#!/usr/bin/env bash
# Installs what the builds and tests need on a fresh Debian machine; does
# nothing when everything is already there.
set -euo pipefail

packages=(
  cmake g++                       # native build
  g++-mingw-w64-i686              # the Windows (i686) cross compiler and windres
  binutils-mingw-w64-i686         # objcopy: the release's stripped plug-in and its debug file
  wine wine32:i386                # runs the Windows runner and checks under Linux
  nlohmann-json3-dev              # scenario files and reports (JSON)
  libcli11-dev                    # the runner's command line
  python3 python3-pefile          # reading slantWarper.aip's resources back in tests
  libgtest-dev libgmock-dev       # unit and scenario tests
  libmpfr-dev                     # the reference for the float functions' rounding (a native test)
  libbenchmark-dev                # benchmarks
  clang libclang-rt-14-dev        # libFuzzer and its sanitizer runtime
  clang-format                    # the layout check
  valgrind                        # memcheck and callgrind runs
  chromium                        # the page's browser tests (driven by puppeteer-core)
  firefox-esr                     # the page's drawing, hostile-file and keyboard tests in Firefox too
  librsvg2-bin                    # rsvg-convert: renders SVG files before and after export in the tests
  openclipart-svg                 # real clipart the page's round-trip tests open (read from /usr/share)
  emscripten                      # the WebAssembly build of the page
)
# node and npm for the page's server and tests, from Debian unless a node is
# already on PATH (its npm comes with it).
command -v node >/dev/null 2>&1 || packages+=(nodejs npm)

missing=()
for package in "${packages[@]}"; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
if printf '%s\n' "${missing[@]}" | grep -q ':i386$'; then
  $sudo dpkg --add-architecture i386
fi
# A mirror caught mid-sync fails an index now and then: try again a few times,
# then install from the indexes that could be read (apt-get says what fails).
for attempt in 1 2 3 4 5; do
  $sudo apt-get update -qq && break
  [ "$attempt" -eq 5 ] && { echo "apt-get update failed 5 times; installing from the indexes it could read" >&2; break; }
  echo "apt-get update failed (attempt $attempt of 5); trying again in 30 s" >&2
  sleep 30
done
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
