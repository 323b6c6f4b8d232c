#!/usr/bin/env bash
# Installs what is missing, builds both targets and runs every test: natively,
# under Wine, under the sanitizers, and the ini fuzzer for a minute.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

cmake --preset linux
cmake --build --preset linux

cmake --preset windows
# Test discovery runs the Windows test programs under Wine during the build.
scripts/prepare-wine.sh
cmake --build --preset windows

# The sanitizers watch the portable and Linux tests only.
sanitized_tests=(--target velumin_portable_tests velumin_platform_tests)
cmake --preset linux-asan
cmake --build --preset linux-asan "${sanitized_tests[@]}"
cmake --preset linux-tsan
cmake --build --preset linux-tsan "${sanitized_tests[@]}"

cmake --preset linux-fuzz
cmake --build --preset linux-fuzz --target velumin_ini_fuzzer

status=0
ctest --preset linux || status=1
ctest --preset windows || status=1
ctest --preset linux-asan || status=1
# ThreadSanitizer needs the address space laid out its own way.
setarch "$(uname -m)" -R ctest --preset linux-tsan || status=1

corpus=build/linux-fuzz/corpus
mkdir -p "$corpus"
cp tests/fuzz/corpus/* "$corpus"/
if build/linux-fuzz/tests/fuzz/velumin_ini_fuzzer -max_total_time=60 -print_final_stats=1 \
    "$corpus" 2>build/linux-fuzz/fuzz.log; then
    grep -E '^stat::number_of_executed_units' build/linux-fuzz/fuzz.log || true
    echo "ini fuzzer: 1 passed, 0 failed"
else
    tail -n 40 build/linux-fuzz/fuzz.log
    echo "ini fuzzer: 0 passed, 1 failed"
    status=1
fi
exit $status
