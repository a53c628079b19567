#!/usr/bin/env bash
# The simulator fixture's stop ends the simulator it started for a folder and nothing else: a process whose
# number a stale pid file names, a pid file naming every process ("-1"), a simulator of another folder.
#   vendor_fixture_test.sh SCRATCH_FOLDER
set -euo pipefail
fixture="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/vendor_fixture.sh"
scratch="$1"
rm -rf "$scratch"
mine="$scratch/my vendor" other="$scratch/other vendor"
mkdir -p "$mine" "$other"
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2> /dev/null || true; done; }
trap cleanup EXIT
# Stand-ins that carry the simulator's arguments on their command lines, as the real one started by "start";
# their output goes elsewhere, so that ctest does not wait for them.
standIn() { python3 -c 'import time; time.sleep(120)' "$@" > /dev/null 2>&1 < /dev/null & }
standIn; unrelated=$!
standIn --content "$other/content"; otherSim=$!
standIn --content "$mine/content"; mySim=$!
pids+=("$unrelated" "$otherSim" "$mySim")
# A child that ended stays a zombie until reaped: it counts as gone.
alive() { [ -r "/proc/$1/stat" ] && ! grep -q ') Z ' "/proc/$1/stat"; }
fail() { echo "FAILED: $*" >&2; exit 1; }

for stale in "$unrelated" "$otherSim" "-1" "0" "x; true"; do
    echo "$stale" > "$mine/pid"
    "$fixture" stop "$mine"
    [ ! -e "$mine/pid" ] || fail "the pid file stayed"
done
alive "$unrelated" || fail "a stale pid file ended an unrelated process"
alive "$otherSim" || fail "the stop ended another folder's simulator"
alive "$mySim" || fail "the stop ended its own simulator without being asked"

echo "$mySim" > "$mine/pid"
"$fixture" stop "$mine"
for _ in $(seq 50); do alive "$mySim" || break; sleep 0.1; done
alive "$mySim" && fail "the stop left its own simulator running"
rm -rf "$scratch"
echo "vendor fixture stop: passed"
