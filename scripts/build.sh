#!/usr/bin/env bash
# Configures and builds one build folder: build.sh FOLDER [extra CMake arguments...]
# K4M_BUILD_TARGET, when set, builds only that target.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
folder="$1"
shift
mkdir -p "$here/$folder"
cmake -S "$here" -B "$here/$folder" -G Ninja "$@" > "$here/$folder/configure.log" 2>&1 || {
    cat "$here/$folder/configure.log"
    exit 1
}
# shellcheck disable=SC2086 # several targets may be named, separated by blanks
cmake --build "$here/$folder" --parallel "$(nproc)" ${K4M_BUILD_TARGET:+--target $K4M_BUILD_TARGET}
