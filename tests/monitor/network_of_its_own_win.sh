#!/bin/sh
# Runs a Windows test program under Wine in a network namespace of its own, on a
# Wine server of its own there: Wine reads the interfaces in its services'
# processes, not in the program's. Arguments: the program, then its arguments.
# Loopback is renamed "renamed" once the program opens the pipe that
# VELUMIN_RENAME_LOOPBACK names. Wine reads a name only when it first sees an
# interface, so its network driver is then started afresh, and it reports the
# new name at once, as Windows does.
set -eu
[ "$(id -u)" = 0 ] || { echo "needs root for a network namespace of its own"; exit 77; }
here=$(cd "$(dirname "$0")/../.." && pwd)
export WINEPREFIX="${WINEPREFIX:-$here/build/windows/wineprefix}" VELUMIN_RENAME_LOOPBACK='Z:\tmp\rename'
# The prefix through an overlay keeps the server's files out of the shared one; in
# a process namespace the driver's process is sought among this server's alone,
# and they all end with the program.
# shellcheck disable=SC2016 # expanded by the shell inside
exec unshare -n -m -p -f --mount-proc sh -euc '
    mount -t tmpfs none /tmp && mkdir /tmp/up /tmp/work && mkfifo /tmp/rename
    mount -t overlay none -o "lowerdir=$WINEPREFIX,upperdir=/tmp/up,workdir=/tmp/work" "$WINEPREFIX"
    ip link set lo up
    (cat /tmp/rename && ip link set lo down && ip link set lo name renamed && ip link set renamed up
     kill $(grep -l nsiproxy /proc/[0-9]*/maps | cut -d/ -f3)
     until wine sc start nsiproxy >/dev/null 2>&1; do :; done) &
    "$@"' sh "$here/scripts/wine-run.sh" "$@"
