#!/usr/bin/env bash
# Makes a release in dist/ (emptied first):
#
#   slantWarper-VERSION-win32.zip   slantWarper.aip without its debug
#                                   information, INSTALL.txt (which names
#                                   the version and the commit) and SHA256SUMS
#   slantWarper.aip.debug           the symbols and debug information split
#                                   off, which the library names in its
#                                   debug link
#   slantWarper-page-VERSION.zip    the page as a static site
#   SHA256SUMS                      the SHA-256 of the three files above
#
# VERSION is the plug-in's own (SW_VERSION_TEXT in about/about_text.h); both
# archives' comments name it and the commit, as INSTALL.txt does. The
# builds run in build/release/ from a copy of the files git tracks or does
# not ignore, so no build tree or other leftover of the checkout takes part.
# Two runs of one commit give the same bytes, in any folder and at any
# time: the time stamps are SOURCE_DATE_EPOCH (by default the last commit's
# time), and neither the locale, the time zone, the umask nor the files'
# times reach the archives.
#
#   scripts/release.sh               clean builds of the plug-in and the page
#   scripts/release.sh --reuse-web   the page's WebAssembly build from
#                                    build/web (brought up to date there)
#                                    instead of a clean one; the test command
#                                    uses it, the plug-in is built clean still
set -euo pipefail
cd "$(dirname "$0")/.."

reuse_web=false
case "${1:-}" in
  "") ;;
  --reuse-web) reuse_web=true ;;
  *)
    echo "usage: scripts/release.sh [--reuse-web]" >&2
    exit 2
    ;;
esac

scripts/setup.sh
scripts/node_deps.sh

export LC_ALL=C TZ=UTC
umask 022
python=/usr/bin/python3
objcopy=i686-w64-mingw32-objcopy

version=$(sed -n 's/^#define SW_VERSION_TEXT "\([^"]*\)"$/\1/p' about/about_text.h)
if ! [[ "$version" =~ ^[A-Za-z0-9.+-]+$ ]]; then
  echo "cannot release: no version in about/about_text.h (SW_VERSION_TEXT)" >&2
  exit 1
fi
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
fi
export SOURCE_DATE_EPOCH
# Untracked files are copied too (git ls-files --others below), so they count.
commit="commit $(git rev-parse HEAD)"
if [ -n "$(git status --porcelain)" ]; then
  echo "warning: the checkout has uncommitted changes or untracked files: this release is not the last commit's" >&2
  commit="$commit with changes not committed"
fi

work=build/release
rm -rf "$work" dist
mkdir -p "$work/source" dist
git ls-files -z --cached --others --exclude-standard |
  tar --null --files-from=- --ignore-failed-read -cf - | tar -xf - -C "$work/source"

echo "== slantWarper.aip (cmake preset windows, clean, in $work/windows)"
(cd "$work/source" && cmake --preset windows -B ../windows -DSW_BUILD_TESTS=OFF >/dev/null &&
  cmake --build ../windows -j2 --target slantWarper)
if $reuse_web; then
  echo "== The page's WebAssembly build (cmake preset web, in build/web)"
  cmake --preset web >/dev/null
  cmake --build --preset web -j2 --target slantwarper
  wasm=build/web/out
else
  echo "== The page's WebAssembly build (cmake preset web, clean, in $work/web)"
  (cd "$work/source" && cmake --preset web -B ../web >/dev/null && cmake --build ../web -j2 --target slantwarper)
  wasm=$work/web/out
fi
node web/site.mjs --wasm "$wasm" --out "$work/site"

plugin=slantWarper-$version-win32
page=slantWarper-page-$version
stage=$work/$plugin
mkdir -p "$stage"
"$objcopy" --only-keep-debug "$work/windows/bridge/slantWarper.aip" dist/slantWarper.aip.debug
chmod 0644 dist/slantWarper.aip.debug
"$objcopy" --strip-all --add-gnu-debuglink=dist/slantWarper.aip.debug "$work/windows/bridge/slantWarper.aip" \
  "$stage/slantWarper.aip"
sed -e "s/@VERSION@/$version/" -e "s/@COMMIT@/$commit/" -e 's/$/\r/' scripts/release/INSTALL.txt >"$stage/INSTALL.txt"
(cd "$stage" && sha256sum INSTALL.txt slantWarper.aip >SHA256SUMS)
"$python" scripts/release/zip_tree.py "$stage" "dist/$plugin.zip" "$plugin" "slantWarper $version, $commit"
"$python" scripts/release/zip_tree.py "$work/site" "dist/$page.zip" "$page" "slantWarper $version, $commit"
(cd dist && sha256sum "$plugin.zip" slantWarper.aip.debug "$page.zip" >SHA256SUMS)

echo
echo "== Release $version in dist/ (SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH, $commit)"
(cd dist && ls -l --time-style=+ -- *.zip *.debug | awk '{print "  " $5 " bytes  " $NF}' && cat SHA256SUMS)
echo "slantWarper.aip itself: $(stat -c %s "$stage/slantWarper.aip") bytes"
