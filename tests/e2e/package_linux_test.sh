#!/usr/bin/env bash
# The Debian package that cpack built: its dependencies, its files, and its
# program, unpacked into a root of its own, docking on a virtual desktop with
# trayer and ending cleanly on SIGTERM.
set -euo pipefail
# velumin_VERSION in the build tree, and the source tree.
prefix=$1
source_dir=$2
debs=("${prefix}"_*.deb)
[ ${#debs[@]} -eq 1 ] || { echo "FAIL: expected one package, found: ${debs[*]}"; exit 1; }
deb=${debs[0]}

. "$source_dir/scripts/virtual-desktop.sh"
use_work_dir
fail() { echo "FAIL: $*"; exit 1; }

depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libqt6gui6 libx11-6 libxtst6 libc6; do
    [[ $depends == *"$library"* ]] || fail "Depends lacks $library: $depends"
done

# apt-get would install it with what this machine has (a dry run).
apt-get install -s -q "$(readlink -f "$deb")" >"$work/apt.log" 2>&1 ||
    fail "apt-get cannot install it: $(cat "$work/apt.log")"

root=$work/root
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/velumin.desktop" \
    "$root/usr/share/velumin/autostart/velumin.desktop" || fail "invalid desktop entry"
for size in 16 32; do
    png=$root/usr/share/icons/hicolor/${size}x$size/apps/velumin.png
    # The width and height in the PNG header.
    [ "$(od -An -tu4 --endian=big -j16 -N8 "$png" | tr -s ' ')" = " $size $size" ] ||
        fail "$png is not $size by $size"
done

start_virtual_desktop "$work"
pids+=("$xvfb_pid" "$trayer_pid")
panel=$(xwininfo -root -tree | awk '/"panel"/ {print $1; exit}')
icons() { xwininfo -id "$panel" -children | grep -cE '^ +0x' || true; }
before=$(icons)

mkdir -p "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
# No session bus: the icon docks into trayer by XEmbed.
env -u WAYLAND_DISPLAY XDG_SESSION_TYPE= QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$work/config" \
    XDG_RUNTIME_DIR="$work/runtime" DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent \
    "$root/usr/bin/velumin" </dev/null >"$work/velumin.log" 2>&1 &
pid=$!
for _ in $(seq 200); do
    [ "$(icons)" -gt "$before" ] && break
    kill -0 "$pid" 2>/dev/null || fail "the installed program ended: $(cat "$work/velumin.log")"
    sleep 0.05
done
[ "$(icons)" -gt "$before" ] ||
    fail "no icon docked within 10 s: $(cat "$work/velumin.log"; xwininfo -root -tree)"
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
[ $status -eq 0 ] || fail "exit status $status after SIGTERM"
[ -s "$work/config/velumin/Velumin.ini" ] || fail "no settings saved at the end"
echo "package: installed program docked and ended cleanly"
