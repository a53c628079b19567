#!/usr/bin/env bash
# Cross-builds the Windows program with Debian's mingw-w64 compilers and runs its tests under wine.
# So far the Windows build holds the platform layer and its tests; the libraries the whole program will need
# (Qt, libcurl, libzip from Debian's sources) are built by scripts/windows/build-libraries.sh, once, into a
# cache outside the checkout.
# Usage: scripts/build-windows.sh [BUILD_FOLDER]   (default build-windows)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
build="${1:-build-windows}"

bash scripts/windows/install-packages.sh

# Wine in a prefix of its own, quiet, without the .NET and HTML engines it would offer to download.
export WINEPREFIX="${K4M_WINEPREFIX:-$here/$build/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot -i > /dev/null 2>&1
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release > /dev/null
ninja -C "$build" -j "$(nproc)"
# One wine server and its system processes for the whole run, started here with their output elsewhere: a
# server started by a test would hand ctest's output pipe to them, and ctest waits until every holder of the
# pipe has ended.
wineserver -k 2> /dev/null || true
wineserver -w 2> /dev/null || true # the old server is gone before the new one starts
wineserver -p
wine wineboot > /dev/null 2>&1
trap 'wineserver -k 2> /dev/null || true' EXIT
(cd "$build" && ctest --no-label-summary --output-on-failure)
