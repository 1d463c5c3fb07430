#!/usr/bin/env bash
# Sets up a fresh Debian machine and runs the main job. For now it builds the
# launcher's libraries, tools and benchmarks; the whole road (local update
# server, the launcher installing and starting the sample game) follows as
# its workers land.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)"
echo "demo: build finished"
