#!/usr/bin/env bash
# Installs what is missing, builds the manager and starts it.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"

bash scripts/install-deps.sh
K4M_BUILD_TARGET=Kandoro4Manager bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
exec "$here/build/Kandoro4Manager.exe" "$@"
