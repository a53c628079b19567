#!/usr/bin/env bash
# Cross-builds the Windows program (Kandoro4Manager.exe with the DLLs and Qt plug-ins it loads, beside it in
# the build folder) with Debian's mingw-w64 compilers and runs the Windows tests under wine: the platform
# layer's Win32 calls, the Qt-free libraries, the worker against the build machine's demo vendor simulator,
# and the whole program driven on an X display of its own.
# The libraries (Qt, libcurl, libzip from Debian's sources) are built once by
# scripts/windows/build-libraries.sh into a cache outside the checkout (about half an hour on two cores; a
# minute when cached). The simulator is the Linux build's (build/vendor-sim), built here when missing.
# Usage: scripts/build-windows.sh [BUILD_FOLDER]   (default build-windows)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
build="${1:-build-windows}"

bash scripts/windows/install-packages.sh
# K4M_WINDOWS_PREFIX names finished libraries to use as they are (built by another version of the script).
if [ -n "${K4M_WINDOWS_PREFIX:-}" ] && [ -f "$K4M_WINDOWS_PREFIX/.complete" ]; then
    prefix="$K4M_WINDOWS_PREFIX"
else
    prefix="$(bash scripts/windows/build-libraries.sh | tail -1)"
fi

sim="$here/build/vendor-sim"
if [ ! -x "$sim" ]; then
    bash scripts/install-deps.sh
    K4M_BUILD_TARGET=vendor-sim bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi

# Wine in a prefix of its own, quiet, without the .NET and HTML engines it would offer to download.
export WINEPREFIX="${K4M_WINEPREFIX:-$here/$build/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot -i > /dev/null 2>&1
fi

mkdir -p "$build"
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DK4M_WINDOWS_PREFIX="$prefix" -DK4M_NATIVE_VENDOR_SIM="$sim" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake > "$build/configure.log" 2>&1 || {
    cat "$build/configure.log"
    exit 1
}
ninja -C "$build" -j "$(nproc)"
# One wine server and its system processes for the whole run, started here with their output elsewhere: a
# server started by a test would hand ctest's output pipe to them, and ctest waits until every holder of the
# pipe has ended.
wineserver -k 2> /dev/null || true
wineserver -w 2> /dev/null || true # the old server is gone before the new one starts
wineserver -p
wine wineboot > /dev/null 2>&1
trap 'wineserver -k 2> /dev/null || true' EXIT
(cd "$build" && ctest --no-label-summary --output-on-failure -j "$(nproc)")
