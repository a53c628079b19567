#!/usr/bin/env bash
# Installs what is missing, builds the manager and the vendor simulator, starts the simulator with demo
# content on a free local port, and launches the manager against it.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"

bash scripts/install-deps.sh
K4M_BUILD_TARGET="Kandoro4Manager vendor-sim" bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo

demo="$here/build/demo"
rm -rf "$demo"
mkdir -p "$demo"
"$here/build/vendor-sim" --make-demo "$demo/content"
# The manager reads server.ini beside its program file.
ini="$here/build/server.ini"
rm -f "$ini"
"$here/build/vendor-sim" --content "$demo/content" --cert-dir "$demo/certificate" --server-ini "$ini" \
    > "$demo/vendor-sim.log" 2>&1 &
sim=$!
trap 'kill $sim 2>/dev/null || true; rm -f "$ini"' EXIT
for _ in $(seq 100); do
    [ -f "$ini" ] && break
    kill -0 $sim 2>/dev/null || { cat "$demo/vendor-sim.log"; exit 1; }
    sleep 0.1
done
cat "$demo/vendor-sim.log"
"$here/build/Kandoro4Manager.exe" "$@"
