#!/usr/bin/env bash
# Installs every Debian 12 package the manager, its tests, its tools and its benchmarks need. Asks apt only
# when something is missing, so a second run costs nothing. Runs as root or through sudo.
set -euo pipefail

packages=(
    # compiler and build
    g++ cmake ninja-build pkg-config make
    # libraries
    qt6-base-dev qt6-base-dev-tools libgl-dev libcurl4-openssl-dev libssl-dev zlib1g-dev libzip-dev
    libcpp-httplib-dev libxcb1-dev libisal-dev libdeflate-dev
    # tests
    libgtest-dev libgmock-dev xvfb xauth fonts-dejavu-core fluxbox xdotool x11-utils wmctrl
    # the window's font: Wine's Tahoma
    fonts-wine util-linux iproute2 procps
    # tools the manager starts or the tests and benchmarks measure against
    xdg-utils openssl curl unzip zip ca-certificates
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
