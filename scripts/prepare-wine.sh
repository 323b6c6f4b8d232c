#!/usr/bin/env bash
# Prepares the Wine prefix of the Windows build once and keeps a wineserver
# running, so that each Windows test starts in milliseconds rather than seconds.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$here/build/windows/wineprefix}
export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$(dirname "$WINEPREFIX")"
log=$(dirname "$WINEPREFIX")/wine-prepare.log

# Every background Wine process gets its standard streams redirected: one that
# inherits a pipe keeps it open and the calling step never ends.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -u </dev/null >>"$log" 2>&1
    wineserver -w </dev/null >>"$log" 2>&1
    # The dialogs ask for MS UI Gothic; IPAGothic has the same Japanese glyphs.
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'MS UI Gothic' /t REG_SZ \
        /d IPAGothic /f </dev/null >>"$log" 2>&1
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ Ｐゴシック' /t REG_SZ \
        /d IPAGothic /f </dev/null >>"$log" 2>&1
    # Wine maps the host's serial devices to COM1 upwards, and /dev/ttyS0 is the
    # console here: keep COM1-COM255 empty so that no test ever opens a real port.
    ports="$WINEPREFIX/no-serial-ports.reg"
    {
        printf 'Windows Registry Editor Version 5.00\r\n\r\n'
        printf '[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n'
        for n in $(seq 1 255); do printf '"COM%d"=""\r\n' "$n"; done
    } >"$ports"
    wine regedit /S "$(winepath -w "$ports")" </dev/null >>"$log" 2>&1
    wineserver -w </dev/null >>"$log" 2>&1
fi
# A persistent server for the tests that follow. wineserver detaches by itself
# once it accepts clients, so the next Wine program finds it ready; when one is
# already running for this prefix it exits with a complaint, which is fine.
wineserver -p </dev/null >>"$log" 2>&1 || true
# The first program of a server starts Wine's services, which stay with the
# persistent server and keep whatever streams they inherit: start them here,
# on /dev/null, rather than from a test whose output pipe they would hold open.
wine cmd /c exit </dev/null >>"$log" 2>&1
