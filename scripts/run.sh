#!/usr/bin/env bash
# Installs what is missing, builds the Linux program and starts it on the
# user's desktop. Without a desktop (no DISPLAY, no WAYLAND_DISPLAY) it starts
# a private virtual desktop with a tray, runs Velumin there and keeps a
# screenshot of it up to date, until Ctrl+C ends everything it started; the
# screenshots' folder is removed then, unless the script was started with
# --keep-screenshots.
set -euo pipefail
cd "$(dirname "$0")/.."

keep=no
case "${1:-}" in
    "") ;;
    --keep-screenshots) keep=yes ;;
    *) echo "usage: scripts/run.sh [--keep-screenshots]" >&2; exit 2 ;;
esac

scripts/install-deps.sh
program="$PWD/build/linux/src/app/velumin"
if [ ! -f build/linux/build.ninja ]; then
    cmake --preset linux >/dev/null
fi
if [ ! -x "$program" ]; then
    echo "building velumin, about a minute on two cores"
fi
cmake --build --preset linux --target velumin

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec "$program"
fi

# Everything runs in sessions of its own (setsid), so Ctrl+C reaches only this
# script, which then ends them in order: Velumin first, its desktop last.
work="$(mktemp -d /tmp/velumin-desktop-XXXXXX)"
xvfb_pid=""
trayer_pid=""
velumin_pid=""
stop_all() {
    trap - EXIT INT TERM
    for pid in "$velumin_pid" "$trayer_pid" "$xvfb_pid"; do
        if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
            kill -TERM "$pid" 2>/dev/null || true
            wait "$pid" 2>/dev/null || true
        fi
    done
    if [ -s "$work/velumin.log" ]; then
        echo "What Velumin said:"
        cat "$work/velumin.log"
    fi
    if [ "$keep" = yes ]; then
        echo "Velumin and its virtual desktop have ended; the last screenshots stay in $work."
    else
        rm -rf "$work"
        echo "Velumin and its virtual desktop have ended."
    fi
}
trap stop_all EXIT
trap 'exit 0' INT TERM

. scripts/virtual-desktop.sh
start_virtual_desktop "$work"

setsid "$program" </dev/null >"$work/velumin.log" 2>&1 &
velumin_pid=$!

cat <<TEXT
Velumin runs on a private virtual desktop, DISPLAY=$DISPLAY.
  The tray (top left corner):  $work/tray.png
  The whole screen:            $work/screen.png
  Both are refreshed every second. To open the tray menu:
    DISPLAY=$DISPLAY xdotool mousemove 12 16 click 3
Press Ctrl+C to end Velumin and its desktop.
TEXT

while kill -0 "$velumin_pid" 2>/dev/null; do
    # Written beside and renamed, so a viewer never reads half a picture.
    if import -window root "png:$work/screen.png.new" 2>/dev/null; then
        mv "$work/screen.png.new" "$work/screen.png"
        convert "$work/screen.png" -crop 160x32+0+0 +repage -scale 400% "png:$work/tray.png.new" &&
            mv "$work/tray.png.new" "$work/tray.png"
    fi
    sleep 1
done
echo "Velumin has ended."
