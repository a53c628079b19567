#!/usr/bin/env bash
# Installs what is missing, builds and runs every test; then the worker's tests under ThreadSanitizer, the
# Windows build with its tests under wine, and the suite again under AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"

bash scripts/install-deps.sh

# Widgets in tests run on the offscreen platform; Qt wants a private runtime folder.
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="$(mktemp -d /tmp/k4m-runtime-XXXXXX)"
chmod 700 "$XDG_RUNTIME_DIR"
trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT

jobs="$(nproc)"

echo "== Build and test"
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
(cd build && ctest --no-label-summary --output-on-failure -j "$jobs")

echo "== Worker tests with ThreadSanitizer"
K4M_BUILD_TARGET=download_test bash scripts/build.sh build-tsan -DCMAKE_BUILD_TYPE=Debug -DK4M_SANITIZE=thread \
    -DK4M_BUILD_GUI=OFF
(cd build-tsan && TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$here/tests/tsan.supp" ctest --no-label-summary --output-on-failure -j "$jobs" -L worker)

echo "== Windows build and tests under wine"
# The libraries come from the cache when this machine built them before; otherwise they are built first.
bash scripts/build-windows.sh build-windows

echo "== Build and test with AddressSanitizer and UndefinedBehaviorSanitizer"
bash scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug "-DK4M_SANITIZE=address,undefined"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1"
export LSAN_OPTIONS="suppressions=$here/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
(cd build-asan && ctest --no-label-summary --output-on-failure -j "$jobs")
