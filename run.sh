#!/usr/bin/env bash
# Builds when needed and starts trimlet, optionally with a picture to open.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"

"$here/scripts/install-deps.sh" run
if [ ! -f "$here/build/build.ninja" ]; then
  # Tests and benchmarks stay off until ./test.sh installs their libraries and turns them on.
  cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTRIMLET_TESTS=OFF -DTRIMLET_BENCH=OFF >/dev/null
fi
cmake --build "$here/build" --target trimlet >/dev/null
exec "$here/build/app/trimlet" "$@"
