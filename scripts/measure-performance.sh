#!/usr/bin/env bash
# Measures what Velumin costs: the poll and the loop (Google Benchmark), the
# idle rhythm with 4 and 64 interfaces, and the whole Linux program idling on
# a virtual desktop of its own (CPU, wake-ups, memory, time to a docked icon),
# plus the size of the Windows exe. Needs root for the network namespaces.
set -euo pipefail
cd "$(dirname "$0")/.."

idle_seconds=${IDLE_SECONDS:-60}
scripts/install-deps.sh >/dev/null
cmake --preset linux >/dev/null
cmake --build --preset linux --target velumin velumin_benchmarks >/dev/null

bench=build/linux/bench/velumin_benchmarks
aggregates=(--benchmark_repetitions=10 --benchmark_report_aggregates_only=true)

echo "== machine"
echo "$(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), kernel $(uname -r)"

echo "== one poll of the totals, and the loop's own cost per cycle (this machine's interfaces)"
"$bench" "${aggregates[@]}" --benchmark_filter='QueryTraffic|LampCycle' | grep -E '_median|interfaces'
for n in 4 64; do
    echo "== $n interfaces: one poll (median of 10 runs)"
    "$bench" --interfaces=$n "${aggregates[@]}" --benchmark_filter=QueryTraffic | grep _median
    echo "== $n interfaces: idle cycle, poll to poll (50 cycles)"
    "$bench" --interfaces=$n --benchmark_filter=Rhythm | grep Rhythm
done

echo "== the whole program, idle for ${idle_seconds} s on a private virtual desktop"
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

. scripts/virtual-desktop.sh
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

runtime_ns() { local t=0 s; for s in /proc/$pid/task/*/schedstat; do t=$((t + $(cut -d' ' -f1 "$s"))); done; echo $t; }
switches() { local n=0 f; for f in /proc/$pid/task/*/status; do
    n=$((n + $(awk '/ctxt_switches/ {s += $2} END {print s}' "$f"))); done; echo $n; }
sleep 2  # let the first flash after start-up pass
cpu0=$(runtime_ns); sw0=$(switches)
sleep "$idle_seconds"
cpu1=$(runtime_ns); sw1=$(switches)
rss_kb=$(awk '/VmRSS/ {print $2}' /proc/$pid/status)
awk -v ns=$((cpu1 - cpu0)) -v s="$idle_seconds" 'BEGIN {printf "idle CPU: %.4f%% of one core\n", ns / (s * 1e9) * 100}'
awk -v n=$((sw1 - sw0)) -v s="$idle_seconds" 'BEGIN {printf "wake-ups: %.2f per second\n", n / s}'
awk -v kb="$rss_kb" 'BEGIN {printf "resident memory: %.1f MB\n", kb / 1024}'
kill -TERM "$pid"
wait "$pid" 2>/dev/null || true

exe=$(find build/windows -name Velumin.exe -print -quit 2>/dev/null || true)
if [ -n "$exe" ]; then
    awk -v b="$(stat -c %s "$exe")" 'BEGIN {printf "Velumin.exe: %.2f MB, static\n", b / 1048576}'
    x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name/ {print "  imports " $3}' | sort -u
else
    echo "Velumin.exe: not built (cmake --preset windows && cmake --build --preset windows)"
fi
