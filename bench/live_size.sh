#!/usr/bin/env bash
# How soon the window's live size follows the frame, and the event loop's longest stall while
# it is measured: a 1920 x 1080 cut of a 24-megapixel photo-like JPEG, dragged in bursts.
# The same drags with the live size off first (the machine's noise floor for event-loop gaps),
# then without a limit, then under a size limit (the quality search's extra encodes).
#   bench/live_size.sh [BUILD_DIR] [RUNS] [MAX_KB]      defaults: build, 20, 300
# Runs on an X server of its own (xvfb-run) when there is one, else on the offscreen platform.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build}")
runs=${2:-20}
limit=${3:-300}
[[ $runs =~ ^[1-9][0-9]*$ && $limit =~ ^[0-9]+$ ]] || {
    echo "usage: bench/live_size.sh [BUILD_DIR] [RUNS] [MAX_KB]" >&2
    exit 2
}
echo "building bench_live_size in $build" >&2
cmake --build "$build" --parallel 2 --target bench_live_size >&2
program=$build/bench/bench_live_size

run() {
    if command -v xvfb-run >/dev/null; then
        QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1600x1000x24" "$program" "$@"
    else
        QT_QPA_PLATFORM=offscreen "$program" "$@"
    fi
}
run "$runs" off
run "$runs" 0
run "$runs" "$limit"
