#!/usr/bin/env bash
# Installs what is missing, builds the Linux program and starts it on the
# user's desktop. Without a desktop (no DISPLAY, no WAYLAND_DISPLAY) it starts
# a private virtual desktop with a tray, runs Velumin there and keeps a
# screenshot of it up to date, until Ctrl+C ends everything it started.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux --target velumin
program="$PWD/build/linux/src/app/velumin"

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
    echo "Velumin and its virtual desktop have ended; the last screenshots stay in $work."
}
trap stop_all EXIT
trap 'exit 0' INT TERM

# Xvfb writes the number of the display it has chosen once it accepts clients.
setsid Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" </dev/null \
    >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
until [ -s "$work/display" ]; do
    kill -0 "$xvfb_pid" 2>/dev/null || { echo "Xvfb did not start, see $work/xvfb.log" >&2; exit 1; }
    sleep 0.1
done
DISPLAY=":$(head -n1 "$work/display")"
export DISPLAY

setsid trayer --edge top --align left --widthtype pixel --width 160 --heighttype pixel --height 32 \
    --iconspacing 0 --transparent false --tint 0x404040 </dev/null >"$work/trayer.log" 2>&1 &
trayer_pid=$!
until xwininfo -root -tree 2>/dev/null | grep -q '("panel" "trayer")'; do
    kill -0 "$trayer_pid" 2>/dev/null || { echo "trayer did not start, see $work/trayer.log" >&2; exit 1; }
    sleep 0.1
done

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
echo "Velumin has ended (see $work/velumin.log)."
