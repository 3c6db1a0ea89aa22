#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: unit and window tests, then the
# Qt-free tests again under AddressSanitizer and UBSan, then the One Definition Rule, style,
# translation and mutant-list checks. Needs no display and no person.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh test

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTRIMLET_TESTS=ON -DTRIMLET_BENCH=ON -DTRIMLET_WERROR=ON >/dev/null
cmake --build build
ctest --test-dir build --output-on-failure -j2

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTRIMLET_SANITIZE=ON \
  -DTRIMLET_GUI=OFF -DTRIMLET_TESTS=ON -DTRIMLET_BENCH=OFF -DTRIMLET_WERROR=ON >/dev/null
cmake --build build-asan
ASAN_OPTIONS=detect_leaks=1 ctest --test-dir build-asan --output-on-failure -j2

# Two different definitions of one name in one program, which only an LTO link can see.
scripts/check-odr.sh

# Formatting and clang-tidy, on the compile commands of the first build; then the
# translations against the texts of the sources.
scripts/check-style.sh build
scripts/check-translations.sh
# Every mutant's text still found exactly once in its file (no build).
scripts/mutate.sh --check
