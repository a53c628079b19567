#!/bin/sh
# run_as_user.sh PROGRAM [ARGUMENTS...]: runs a test program as an ordinary user. As root (CI), the program
# runs as "nobody" from a copy in a folder that user may read, because root reads and writes every file and
# some faults only show for an ordinary user; otherwise it runs as it is. K4M_AS_USER_EXTRA names one more
# file to copy beside it (the variable then names the copy).
if [ "$(id -u)" != 0 ]; then
    exec "$@"
fi
dir="$(mktemp -d)"
chmod 755 "$dir"
cp "$1" "$dir/"
program="$dir/$(basename "$1")"
# A program the test starts (named by K4M_AS_USER_EXTRA) may lie where the user cannot reach it: it is copied too.
if [ -n "$K4M_AS_USER_EXTRA" ]; then
    cp "$K4M_AS_USER_EXTRA" "$dir/"
    K4M_AS_USER_EXTRA="$dir/$(basename "$K4M_AS_USER_EXTRA")"
    export K4M_AS_USER_EXTRA
fi
shift
rc=0
setpriv --reuid=65534 --regid=65534 --clear-groups "$program" "$@" || rc=$?
rm -rf "$dir"
exit "$rc"
