#!/bin/sh
# Runs a Windows test program under Wine in a network namespace of its own, on a
# Wine server of its own there: Wine reads the interfaces in its services'
# processes, not in the program's. Arguments: the program, then its arguments.
# Inside, "$0 rename NAME" renames loopback; Wine reads a name only when it first
# sees an interface, so its network driver is started afresh, and it reports
# the new name at once, as Windows does.
set -eu
if [ "${1-}" = rename ] && [ -n "${VELUMIN_NETWORK_OF_ITS_OWN-}" ]; then
    ip link set lo down && ip link set lo name "$2" && ip link set "$2" up
    kill $(grep -l nsiproxy /proc/[0-9]*/maps | cut -d/ -f3)
    # Refused until the services have seen the driver's process end.
    until wine sc start nsiproxy >/dev/null 2>&1; do :; done
    exit
fi
[ "$(id -u)" = 0 ] || { echo "needs root for a network namespace of its own"; exit 77; }
here=$(cd "$(dirname "$0")/../.." && pwd)
export WINEPREFIX="${WINEPREFIX:-$here/build/windows/wineprefix}"
# The prefix seen through an overlay, so that the server's files stay out of the
# shared one; a process namespace, so that the driver's process is looked for
# among this server's alone and all of them end with the program.
exec unshare -n -m -p -f --mount-proc sh -c '
    mount -t tmpfs none /tmp && mkdir /tmp/up /tmp/work &&
    mount -t overlay none -o "lowerdir=$WINEPREFIX,upperdir=/tmp/up,workdir=/tmp/work" "$WINEPREFIX" &&
    ip link set lo up && VELUMIN_NETWORK_OF_ITS_OWN=$0 "$@"' \
    "$(readlink -f "$0")" "$here/scripts/wine-run.sh" "$@"
