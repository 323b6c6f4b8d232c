#!/bin/sh
# Runs a Windows program of the build under Wine with the project's prefix.
# Used as CMAKE_CROSSCOMPILING_EMULATOR, so every Windows test goes through it.
here=$(cd "$(dirname "$0")/.." && pwd)
: "${WINEPREFIX:=$here/build/windows/wineprefix}"
: "${WINEARCH:=win64}"
: "${WINEDEBUG:=-all}"
: "${WINEDLLOVERRIDES:=mscoree,mshtml=}"
export WINEPREFIX WINEARCH WINEDEBUG WINEDLLOVERRIDES
exec wine "$@"
