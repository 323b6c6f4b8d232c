#!/usr/bin/env bash
# Measures what Velumin costs: the poll and the loop (Google Benchmark), the
# idle rhythm with 4 and 64 interfaces, the whole Linux program idling on a
# virtual desktop of its own (CPU, wake-ups, memory, time to a docked icon) and
# flashing continuously on an XEmbed tray (trayer) and on the panels that show
# StatusNotifierItems (Xfce's on X11, waybar on sway), plus the size of the
# Windows exe. Needs root for the network namespaces, and runs the panels'
# sessions as nobody.
set -euo pipefail
cd "$(dirname "$0")/.."

idle_seconds=${IDLE_SECONDS:-60}
flash_seconds=${FLASH_SECONDS:-30}
scripts/install-deps.sh >/dev/null
cmake --preset linux >/dev/null
cmake --build --preset linux --target velumin velumin_benchmarks velumin_bare_sleeper >/dev/null

bench=build/linux/bench/velumin_benchmarks
aggregates=(--benchmark_repetitions=10 --benchmark_report_aggregates_only=true)

echo "== machine"
echo "$(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), kernel $(uname -r)"

echo "== one poll of the totals, and the loop's own cost per cycle (this machine's interfaces)"
"$bench" "${aggregates[@]}" --benchmark_filter='QueryTraffic|LampCycle' | grep -E '_median|interfaces'
for n in 4 64; do
    echo "== $n interfaces: one poll, every interface and through three patterns (median of 10 runs)"
    "$bench" --interfaces=$n "${aggregates[@]}" --benchmark_filter=QueryTraffic | grep _median
    echo "== $n interfaces: idle cycle, poll to poll (50 cycles)"
    "$bench" --interfaces=$n --benchmark_filter=Rhythm | grep Rhythm
done

echo "== the whole program, idle for ${idle_seconds} s on a private virtual desktop"
. scripts/virtual-desktop.sh
use_work_dir
start_virtual_desktop "$work"
pids+=("$xvfb_pid" "$trayer_pid")
panel=$(xwininfo -root -tree | awk '/"panel"/ {print $1; exit}')
docked() { [ "$(xwininfo -id "$panel" -children | grep -cE '^ +0x')" -gt "$1" ]; }
before=$(xwininfo -id "$panel" -children | grep -cE '^ +0x' || true)

mkdir -p "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
start=$(date +%s%N)
# A namespace of its own, so that no traffic of the machine wakes the lamps.
XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime \
    unshare -n sh -c 'ip link set lo up && exec "$0"' "$PWD/build/linux/src/app/velumin" \
    </dev/null >"$work/velumin.log" 2>&1 &
pid=$!
pids+=($pid)
until docked "$before"; do sleep 0.005; done
docked_ms=$(( ($(date +%s%N) - start) / 1000000 ))
echo "start to docked tray icon: ${docked_ms} ms"

# The floor beside it, over the same minute: a process whose one thread only
# sleeps 200 ms at a time; and the same holding as much memory as velumin.
build/linux/bench/velumin_bare_sleeper </dev/null >/dev/null 2>&1 &
sleeper=$!
pids+=($sleeper)
velumin_mb=$(awk '/VmRSS/ {print int($2 / 1024)}' /proc/$pid/status)
build/linux/bench/velumin_bare_sleeper "$velumin_mb" </dev/null >/dev/null 2>&1 &
heavy=$!
pids+=($heavy)

runtime_ns() { local t=0 s; for s in /proc/$1/task/*/schedstat; do t=$((t + $(cut -d' ' -f1 "$s"))); done; echo $t; }
switches() { local n=0 f; for f in /proc/$1/task/*/status; do
    n=$((n + $(awk '/ctxt_switches/ {s += $2} END {print s}' "$f"))); done; echo $n; }
sleep 2  # let the first flash after start-up pass
cpu0=$(runtime_ns $pid); sw0=$(switches $pid); bare0=$(runtime_ns $sleeper); heavy0=$(runtime_ns $heavy)
sleep "$idle_seconds"
cpu1=$(runtime_ns $pid); sw1=$(switches $pid); bare1=$(runtime_ns $sleeper); heavy1=$(runtime_ns $heavy)
rss_kb=$(awk '/VmRSS/ {print $2}' /proc/$pid/status)
awk -v ns=$((cpu1 - cpu0)) -v bare=$((bare1 - bare0)) -v heavy=$((heavy1 - heavy0)) \
    -v s="$idle_seconds" -v mb="$velumin_mb" 'BEGIN {
    printf "idle CPU: %.4f%% of one core\n", ns / (s * 1e9) * 100
    printf "bare 200 ms sleeper beside it: %.4f%% of one core; ratio %.2f\n", bare / (s * 1e9) * 100, ns / bare
    printf "the same holding %d MB: %.4f%% of one core; ratio %.2f\n", mb, heavy / (s * 1e9) * 100, ns / heavy }'
awk -v n=$((sw1 - sw0)) -v s="$idle_seconds" 'BEGIN {printf "wake-ups: %.2f per second\n", n / s}'
awk -v kb="$rss_kb" 'BEGIN {printf "resident memory: %.1f MB\n", kb / 1024}'
kill -TERM "$pid"
wait "$pid" 2>/dev/null || true

# The program flashing without pause, as the session's user (nobody): a
# datagram every 20 ms on the loopback of its own namespace lights the lamps at
# every cycle. Arguments: a label and the environment of the run; ready_check
# says when the icon is up.
as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
flash_cost() {
    local label=$1
    shift
    rm -rf "$work/config" "$work/runtime"
    mkdir -p "$work/config" "$work/runtime"
    chmod 700 "$work/runtime"
    chown 65534:65534 "$work/config" "$work/runtime"
    chmod 711 "$work"
    env XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" "$@" \
        unshare -n sh -c 'ip link set lo up && exec "$@"' sh "${as_user[@]}" \
        "$PWD/build/linux/src/app/velumin" </dev/null >"$work/velumin.log" 2>&1 &
    pid=$!
    pids+=($pid)
    until ready_check; do sleep 0.01; done
    nsenter --net=/proc/$pid/ns/net bash -c \
        'while :; do echo > /dev/udp/127.0.0.1/9; sleep 0.02; done' &
    local traffic=$!
    pids+=($traffic)
    sleep 2
    local cpu0 cpu1 sw0 sw1
    cpu0=$(runtime_ns $pid); sw0=$(switches $pid)
    sleep "$flash_seconds"
    cpu1=$(runtime_ns $pid); sw1=$(switches $pid)
    kill "$traffic"
    kill -TERM "$pid"
    wait "$pid" 2>/dev/null || true
    awk -v ns=$((cpu1 - cpu0)) -v s="$flash_seconds" -v n=$((sw1 - sw0)) -v l="$label" \
        'BEGIN {printf "%-36s CPU %.3f%% of one core, %.1f wake-ups per second\n", l, ns / (s * 1e9) * 100, n / s}'
}

echo "== the whole program flashing continuously, ${flash_seconds} s each"
before=$(xwininfo -id "$panel" -children | grep -cE '^ +0x' || true)
ready_check() { docked "$before"; }
flash_cost "XEmbed tray (trayer, Xvfb):" QT_QPA_PLATFORM=xcb WAYLAND_DISPLAY= \
    DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent

# The panels' sessions, as the tests run them; each panel reads the pictures
# again at every NewIcon. Xfce's tray takes this Xvfb's over from trayer.
kill "$trayer_pid"
wait "$trayer_pid" 2>/dev/null || true
session=()
start_panel() {
    local home=$work/$1
    mkdir -p "$home"
    chown 65534:65534 "$home"
    chmod 700 "$home"
    HOME=$home "${as_user[@]}" scripts/panel-session.sh "$1" </dev/null >"$work/$1.log" 2>&1 &
    pids+=($!)
    until [ -s "$home/session" ]; do sleep 0.01; done
    mapfile -t session <"$home/session"
}
# The icon is up once the panel's watcher holds it.
ready_check() {
    env "${session[@]}" "${as_user[@]}" gdbus call --session -d org.kde.StatusNotifierWatcher \
        -o /StatusNotifierWatcher -m org.freedesktop.DBus.Properties.Get \
        org.kde.StatusNotifierWatcher RegisteredStatusNotifierItems 2>/dev/null | grep -q "'"
}
start_panel xfce
flash_cost "Xfce's panel, Qt on X11:" "${session[@]}" QT_QPA_PLATFORM=xcb WAYLAND_DISPLAY=
start_panel sway
flash_cost "waybar on sway, Qt on Wayland:" "${session[@]}" QT_QPA_PLATFORM=wayland

exe=$(find build/windows -name Velumin.exe -print -quit 2>/dev/null || true)
if [ -n "$exe" ]; then
    awk -v b="$(stat -c %s "$exe")" 'BEGIN {printf "Velumin.exe: %.2f MB, static\n", b / 1048576}'
    x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name/ {print "  imports " $3}' | sort -u
else
    echo "Velumin.exe: not built (cmake --preset windows && cmake --build --preset windows)"
fi
