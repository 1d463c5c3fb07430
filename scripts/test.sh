#!/usr/bin/env bash
# Sets up a fresh Debian machine and runs every test:
# installs the packages, configures, builds and runs ctest; then builds and
# tests once more under ThreadSanitizer (HEXORA_SKIP_TSAN=1 skips that pass)
# and, when HEXORA_ASAN=1 is set, under AddressSanitizer and UBSan.
# Every test runs once: a test that passes only on a second try is a fault
# to mend, not to hide. The 4 GiB hashing test carries the label "slow";
# it runs here too (ctest -LE slow leaves it out of a quick local run).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$jobs"
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j "$jobs"

if [ "${HEXORA_SKIP_TSAN:-0}" != 1 ]; then
  cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Release -DHEXORA_TSAN=ON \
    -DHEXORA_BUILD_APP=OFF -DHEXORA_BUILD_BENCH=OFF
  cmake --build build-tsan -j "$jobs"
  TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" QT_QPA_PLATFORM=offscreen \
    ctest --test-dir build-tsan --output-on-failure -j "$jobs"
fi

if [ "${HEXORA_ASAN:-0}" = 1 ]; then
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Release -DHEXORA_SANITIZE=ON -DHEXORA_BUILD_BENCH=OFF
  cmake --build build-asan -j "$jobs"
  UBSAN_OPTIONS="halt_on_error=1 print_stacktrace=1" QT_QPA_PLATFORM=offscreen \
    ctest --test-dir build-asan --output-on-failure -j "$jobs"
fi
