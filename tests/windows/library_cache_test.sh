#!/usr/bin/env bash
# The library cache's clean-up in a cache folder that holds other things too, with blanks in its path: only
# unfinished builds go; finished ones, foreign folders and files, links and what they lead to stay.
#   library_cache_test.sh SCRATCH_FOLDER
set -euo pipefail
prune="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/scripts/windows/prune-library-cache.sh"
scratch="$1"
rm -rf "$scratch"
cache="$scratch/my cache"
outside="$scratch/outside"
mkdir -p "$cache" "$outside/0123456789abcdef"
touch "$outside/keep.txt"
finished="$cache/09f0d4570aae057a" unfinished="$cache/1111111111111111" work="$cache/work-09f0d4570aae057a"
mkdir -p "$finished/qt" "$unfinished/lib" "$work/build-qt" "$cache/photos" "$cache/work-notes" "$cache/ABCDEF0123456789"
touch "$finished/.complete" "$cache/notes.txt"
ln -s "$outside" "$cache/2222222222222222"
ln -s "$outside" "$cache/work-3333333333333333"

fail() { echo "FAILED: $*" >&2; exit 1; }
bash "$prune" "$cache"
[ -f "$finished/.complete" ] || fail "a finished build was removed"
[ ! -e "$unfinished" ] || fail "an unfinished build stayed"
[ ! -e "$work" ] || fail "a work folder stayed"
for kept in photos work-notes ABCDEF0123456789 notes.txt 2222222222222222 work-3333333333333333; do
    [ -e "$cache/$kept" ] || fail "$kept is not the cache's and was removed"
done
[ -f "$outside/keep.txt" ] && [ -d "$outside/0123456789abcdef" ] || fail "a link was followed out of the cache"
bash "$prune" "$scratch/missing cache" || fail "a missing cache is an error"
rm -rf "$scratch"
echo "library cache clean-up: passed"
