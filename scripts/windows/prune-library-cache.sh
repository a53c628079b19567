#!/usr/bin/env bash
# Removes from the Windows library cache what build-libraries.sh left unfinished: work folders and prefixes
# without their ".complete" mark. Finished prefixes stay (another checkout may use them). Only the cache's own
# entries are touched, whatever folder the cache was pointed at: names made of a key (16 hexadecimal digits) or
# "work-" and a key, real folders, not links; everything else in CACHE stays.
#   prune-library-cache.sh CACHE
set -euo pipefail
cache="${1:?cache folder}"
[ -d "$cache" ] || exit 0
shopt -s nullglob
key='[0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f]'
for entry in "$cache"/work-$key "$cache"/$key; do
    if [ -L "$entry" ] || [ ! -d "$entry" ]; then
        continue
    fi
    if [[ "${entry##*/}" != work-* ]] && [ -f "$entry/.complete" ]; then
        continue
    fi
    rm -rf -- "$entry"
done
