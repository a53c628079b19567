#!/bin/sh
# run_as_user.sh PROGRAM [ARGUMENTS...]: runs a test program as an ordinary user. As root (CI), the program
# runs as "nobody" from a copy in a folder that user may read, because root reads and writes every file and
# some faults only show for an ordinary user; otherwise it runs as it is.
if [ "$(id -u)" != 0 ]; then
    exec "$@"
fi
dir="$(mktemp -d)"
chmod 755 "$dir"
cp "$1" "$dir/"
program="$dir/$(basename "$1")"
shift
rc=0
setpriv --reuid=65534 --regid=65534 --clear-groups "$program" "$@" || rc=$?
rm -rf "$dir"
exit "$rc"
