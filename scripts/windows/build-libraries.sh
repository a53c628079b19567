#!/usr/bin/env bash
# Builds the libraries the Windows program needs from Debian's own source packages, with the mingw-w64 cross
# compilers: Qt base (shared), libcurl with Schannel (static), libzip with Windows crypto (static); zlib is
# Debian's libz-mingw-w64-dev. The result is kept outside the checkout, keyed by the source versions, the
# compiler's version, the toolchain file and the build steps below (from "Unpacked" on), so a second run (or a
# run on a new clone) costs nothing, and a change to the cache's housekeeping costs no rebuild.
# Prints the prefix the libraries were installed into as its last line.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
toolchain="$here/cmake/mingw-w64-x86_64.cmake"
cache="${K4M_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/k4m-windows}"
jobs="$(nproc)"

source_version() { apt-cache showsrc "$1" | awk '/^Version:/ { print $2; exit }'; }
versions="qt6-base=$(source_version qt6-base) curl=$(source_version curl) libzip=$(source_version libzip)"
compiler="$(x86_64-w64-mingw32-g++-posix --version | head -1)"
recipe="$(sed -n '/^# Unpacked with Debian/,$p' "$0")"
key="$( (echo "$versions"; echo "$compiler"; echo "$recipe"; cat "$toolchain") | sha256sum | cut -c1-16)"
prefix="$cache/$key"
# One build at a time: a second run (another checkout) waits, then finds the libraries or builds its own
# without removing the first one's work.
mkdir -p "$cache"
exec 9> "$cache/.lock"
flock 9
if [ -f "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
fi

echo "Building the Windows libraries ($versions; $compiler) into $prefix"
work="$cache/work-$key"
# Unfinished builds (work folders, prefixes without their mark) go first: gigabytes each.
bash "$here/scripts/windows/prune-library-cache.sh" "$cache"
rm -rf -- "$work" "$prefix"
mkdir -p "$work" "$prefix"
cd "$work"
# Unpacked with Debian's patches applied, as Debian builds them.
apt-get source -qq qt6-base curl libzip > apt-source.log 2>&1 || { cat apt-source.log; exit 1; }

zlib_include=/usr/x86_64-w64-mingw32/include
zlib_library=/usr/x86_64-w64-mingw32/lib/libz.a
common=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release -DK4M_WINDOWS_PREFIX="$prefix"
        -DCMAKE_INSTALL_PREFIX="$prefix")

step() { echo "== $1 ($(date +%T))"; }

step curl
cmake -S curl-*/ -B build-curl "${common[@]}" -DBUILD_SHARED_LIBS=OFF -DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF \
    -DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF -DCURL_USE_LIBSSH2=OFF -DUSE_LIBIDN2=OFF -DCURL_BROTLI=OFF \
    -DCURL_ZSTD=OFF -DUSE_NGHTTP2=OFF -DENABLE_MANUAL=OFF -DCURL_DISABLE_LDAP=ON -DHTTP_ONLY=ON \
    -DCURL_CA_PATH=none -DCURL_CA_BUNDLE=none \
    -DZLIB_INCLUDE_DIR="$zlib_include" -DZLIB_LIBRARY="$zlib_library" > curl.log 2>&1 || { tail -40 curl.log; exit 1; }
ninja -C build-curl -j"$jobs" install >> curl.log 2>&1 || { tail -40 curl.log; exit 1; }

step libzip
cmake -S libzip-*/ -B build-libzip "${common[@]}" -DBUILD_SHARED_LIBS=OFF -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF \
    -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF \
    -DENABLE_GNUTLS=OFF -DENABLE_MBEDTLS=OFF -DENABLE_OPENSSL=OFF -DENABLE_COMMONCRYPTO=OFF \
    -DENABLE_WINDOWS_CRYPTO=ON \
    -DZLIB_INCLUDE_DIR="$zlib_include" -DZLIB_LIBRARY="$zlib_library" > libzip.log 2>&1 || { tail -40 libzip.log; exit 1; }
ninja -C build-libzip -j"$jobs" install >> libzip.log 2>&1 || { tail -40 libzip.log; exit 1; }

step "Qt base"
# Debian's host tools (moc, rcc, uic) serve the cross build as they are. Left out: what the manager never
# uses, the wintab headers Debian's tarball drops, and Direct2D, which links only together with DirectWrite 3.
# OpenGL goes through Qt's own switch (INPUT_opengl=no), which also drops its run-time loading: switched off
# feature by feature, the windows plugin does not compile.
qt_off=(dbus network sql printsupport concurrent xml vulkan freetype jpeg gif zstd tabletevent
        directwrite3 direct2d)
qt_features=()
for f in "${qt_off[@]}"; do
    qt_features+=("-DFEATURE_$f=OFF")
done
cmake -S qt6-base-*/ -B build-qt "${common[@]}" -DCMAKE_INSTALL_PREFIX="$prefix/qt" -DBUILD_SHARED_LIBS=ON \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF -DINPUT_opengl=no "${qt_features[@]}" \
    > qt.log 2>&1 || { tail -60 qt.log; exit 1; }
ninja -C build-qt -j"$jobs" install >> qt.log 2>&1 || { tail -60 qt.log; exit 1; }

step done
cd "$cache"
rm -rf "$work"
touch "$prefix/.complete"
echo "$prefix"
