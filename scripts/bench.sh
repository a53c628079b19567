#!/usr/bin/env bash
# Installs what is missing, builds optimised and runs the benchmarks; each figure is printed as "name: value".
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"

bash scripts/install-deps.sh
K4M_BUILD_TARGET="download_bench prefetch_bench connect_bench install_bench k4pack" bash scripts/build.sh build-release -DCMAKE_BUILD_TYPE=Release -DK4M_BUILD_TESTS=OFF \
    -DK4M_BUILD_GUI=OFF -DK4M_BUILD_BENCH=ON
"$here/build-release/bench/download_bench" "$@"
"$here/build-release/bench/prefetch_bench"
"$here/build-release/bench/connect_bench"

# Installing a package beside unzip, on a realistic 1 GB sample library made by the shared corpus generator.
generator="$here/../shared/bench/gen_corpus.c"
data="$here/build-release/bench-data"
if [ -f "$generator" ]; then
    mkdir -p "$data"
    [ -x "$data/gen_corpus" ] || cc -O2 -o "$data/gen_corpus" "$generator" -lm
    [ -f "$data/corpus/filelist.txt" ] || "$data/gen_corpus" "$data/corpus" 1024 2000 300 1 > /dev/null
    "$here/build-release/bench/install_bench" "$data/corpus" "$data/work"
else
    echo "install_vs_unzip: skipped, the corpus generator $generator is missing"
fi
