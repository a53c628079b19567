#!/usr/bin/env bash
# Installs clang's libFuzzer, builds the fuzz targets with it and runs each for a while:
#   fuzz.sh [seconds per target, default 60]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
seconds="${1:-60}"

bash scripts/install-deps.sh
if ! dpkg-query -W -f='${Status}' clang libclang-rt-14-dev 2>/dev/null | grep -q "install ok installed"; then
    sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get install -y -qq --no-install-recommends clang libclang-rt-14-dev
fi
K4M_BUILD_TARGET="fuzz_ini fuzz_text fuzz_package" CXX=clang++ bash scripts/build.sh build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DK4M_FUZZ=ON -DK4M_BUILD_GUI=OFF -DK4M_BUILD_TESTS=OFF -DK4M_BUILD_BENCH=OFF
for target in fuzz_ini fuzz_text fuzz_package; do
    corpus="$here/build-fuzz/corpus-$target"
    mkdir -p "$corpus"
    seeds="$here/fuzz/corpus/${target#fuzz_}"
    "$here/build-fuzz/fuzz/$target" -max_total_time="$seconds" "$corpus" "$seeds"
done
