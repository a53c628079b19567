#!/usr/bin/env bash
# Starts (start) or ends (stop) the demo vendor simulator of the build machine for the Windows tests:
#   vendor_fixture.sh start VENDOR_SIM FOLDER     vendor_fixture.sh stop FOLDER
# FOLDER receives the demo content, the certificate, server.ini and a second, unrelated authority.
set -euo pipefail
case "$1" in
start)
    sim="$2" dir="$3"
    "$0" stop "$dir"
    rm -rf "$dir"
    mkdir -p "$dir"
    "$sim" --make-demo "$dir/content"
    # The simulator runs on after this script; its output goes to a file so that ctest does not wait for it.
    # It names itself "localhost": Schannel matches a server against the certificate's DNS names only.
    setsid "$sim" --content "$dir/content" --cert-dir "$dir/certificate" --server-ini "$dir/server.ini" \
        --host-name localhost \
        > "$dir/vendor-sim.log" 2>&1 < /dev/null &
    echo $! > "$dir/pid"
    openssl req -x509 -newkey rsa:2048 -nodes -keyout "$dir/other-key.pem" -out "$dir/other-ca.pem" \
        -subj "/CN=Unrelated Authority" -addext "subjectAltName=IP:127.0.0.1,DNS:localhost" -days 2 \
        > /dev/null 2>&1
    for _ in $(seq 100); do
        [ -f "$dir/server.ini" ] && exit 0
        sleep 0.1
    done
    cat "$dir/vendor-sim.log"
    exit 1
    ;;
stop)
    dir="$2"
    if [ -f "$dir/pid" ]; then
        pid="$(cat "$dir/pid")"
        # Only the simulator started for this folder: the number in a file left by a run long gone may belong to
        # another process by now (and "-1" to every process of the user).
        if [[ "$pid" =~ ^[1-9][0-9]*$ ]] && [ -r "/proc/$pid/cmdline" ] &&
            tr '\0' '\n' < "/proc/$pid/cmdline" | grep -qxF -- "$dir/content"; then
            kill "$pid" 2> /dev/null || true
        fi
        rm -f "$dir/pid"
    fi
    ;;
*)
    exit 2
    ;;
esac
