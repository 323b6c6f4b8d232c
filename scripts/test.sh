#!/usr/bin/env bash
# Installs what is missing, builds both targets and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

cmake --preset linux
cmake --build --preset linux

cmake --preset windows
# Test discovery runs the Windows test programs under Wine during the build.
scripts/prepare-wine.sh
cmake --build --preset windows

status=0
ctest --preset linux || status=1
ctest --preset windows || status=1
exit $status
