#!/usr/bin/env bash
# Installs what is missing, builds optimised and runs the benchmarks; each figure is printed as "name: value".
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"

bash scripts/install-deps.sh
K4M_BUILD_TARGET="download_bench prefetch_bench connect_bench" bash scripts/build.sh build-release -DCMAKE_BUILD_TYPE=Release -DK4M_BUILD_TESTS=OFF \
    -DK4M_BUILD_GUI=OFF -DK4M_BUILD_BENCH=ON
"$here/build-release/bench/download_bench" "$@"
"$here/build-release/bench/prefetch_bench"
"$here/build-release/bench/connect_bench"
