#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: unit and window tests, then the
# Qt-free tests again under AddressSanitizer and UBSan. Needs no display and no person.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build
ctest --test-dir build --output-on-failure -j2

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTRIMLET_SANITIZE=ON \
  -DTRIMLET_GUI=OFF -DTRIMLET_BENCH=OFF >/dev/null
cmake --build build-asan
ASAN_OPTIONS=detect_leaks=1 ctest --test-dir build-asan --output-on-failure -j2
