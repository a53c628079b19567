#!/usr/bin/env bash
# Installs what is missing, builds the manager and the vendor simulator, starts the simulator with demo
# content on a free local port, and launches the manager against it in a demo home folder of its own
# (build/demo/home, made afresh each run), so the demo never touches your own profile, data or plug-in folders.
# Arguments are passed on to the manager.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"

bash scripts/install-deps.sh
K4M_BUILD_TARGET="Kandoro4Manager vendor-sim" bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo

demo="$here/build/demo"
home="$demo/home"
rm -rf "$demo"
mkdir -p "$home/.local/share" "$home/.config" "$home/Documents"
# The manager's profile in the demo home records some packages as installed, so the catalog shows updates
# and up-to-date products beside new ones.
"$here/build/vendor-sim" --make-demo "$demo/content" \
    --demo-profile "$home/.local/share/Kandoro4/Installer/installer.ini"
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
echo "Demo home: $home"

# The X server's cookie stays where it is when HOME moves.
if [ -z "${XAUTHORITY:-}" ] && [ -f "${HOME:-}/.Xauthority" ]; then
    export XAUTHORITY="$HOME/.Xauthority"
fi
HOME="$home" XDG_DATA_HOME="$home/.local/share" XDG_CONFIG_HOME="$home/.config" \
    XDG_DOCUMENTS_DIR="$home/Documents" "$here/build/Kandoro4Manager.exe" "$@"
