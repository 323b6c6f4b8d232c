# Sourced by the run and measurement scripts and the package test: starts a
# private virtual desktop, an Xvfb server with trayer as its tray, each in a
# session of its own (setsid) so that Ctrl+C reaches only the calling script.
# start_virtual_desktop DIR exports DISPLAY; sets xvfb_pid and trayer_pid;
# logs go to DIR. When either fails to start, it ends what it started and
# returns 1.
start_virtual_desktop() {
    local dir=$1
    # Xvfb writes the number of the display it has chosen once it accepts clients.
    setsid Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$dir/display" \
        </dev/null >"$dir/xvfb.log" 2>&1 &
    xvfb_pid=$!
    until [ -s "$dir/display" ]; do
        kill -0 "$xvfb_pid" 2>/dev/null || {
            echo "Xvfb did not start, see $dir/xvfb.log" >&2
            return 1
        }
        sleep 0.05
    done
    DISPLAY=":$(head -n1 "$dir/display")"
    export DISPLAY
    setsid trayer --edge top --align left --widthtype pixel --width 160 --heighttype pixel \
        --height 32 --iconspacing 0 --transparent false --tint 0x404040 \
        </dev/null >"$dir/trayer.log" 2>&1 &
    trayer_pid=$!
    until xwininfo -root -tree 2>/dev/null | grep -q '("panel" "trayer")'; do
        kill -0 "$trayer_pid" 2>/dev/null || {
            echo "trayer did not start, see $dir/trayer.log" >&2
            kill "$xvfb_pid"
            return 1
        }
        sleep 0.05
    done
}

# use_work_dir sets work to a fresh temporary directory and pids to an empty
# list; when the script exits, the processes in pids end and work goes.
use_work_dir() {
    work=$(mktemp -d)
    pids=()
    trap 'for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
          wait 2>/dev/null || true
          rm -rf "$work"' EXIT
}
