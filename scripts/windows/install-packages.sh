#!/usr/bin/env bash
# Installs the Debian 12 packages the Windows build needs (the mingw-w64 cross compilers, wine to run the
# result) and makes Debian's source packages reachable. Asks apt only when something is missing.
set -euo pipefail

packages=(
    g++-mingw-w64-x86-64-posix mingw-w64-tools libz-mingw-w64-dev wine64 wine ninja-build cmake googletest
    dpkg-dev xvfb xauth xdotool x11-utils x11-apps python3 openssl
)

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
updated=0
update() {
    if [ $updated -eq 0 ]; then
        "${sudo[@]}" apt-get update -qq
        updated=1
    fi
}

# The libraries are built from Debian's own sources, so the source index must be there beside the binary one.
sources=/etc/apt/sources.list.d/k4m-bookworm-src.sources
if ! grep -rqs "^Types:.*deb-src" /etc/apt/sources.list.d/ && ! grep -qs "^deb-src" /etc/apt/sources.list; then
    "${sudo[@]}" tee "$sources" > /dev/null <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
    update
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    update
    "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
