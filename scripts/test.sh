#!/usr/bin/env bash
# Sets up a fresh Debian machine and runs every test:
# installs the packages, configures, builds and runs ctest; then builds and
# tests once more under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j "$jobs"

if [ "${HEXORA_SKIP_TSAN:-0}" != 1 ]; then
  cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHEXORA_TSAN=ON \
    -DHEXORA_BUILD_APP=OFF -DHEXORA_BUILD_BENCH=OFF
  cmake --build build-tsan -j "$jobs"
  TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    ctest --test-dir build-tsan --output-on-failure -j "$jobs"
fi
