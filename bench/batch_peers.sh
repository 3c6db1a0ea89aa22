#!/usr/bin/env bash
# Times one trimlet-cli call cutting 24 photo-like 6000 × 4000 q90 JPEGs (bench_jpeg's picture)
# to 1920 × 1080 at the rate 50 on every core the script may use against the same call under
# taskset -c 0, and their peak memory; prints medians.
#   bench/batch_peers.sh [BUILD_DIR] [ROUNDS]
# Rounds interleave the two calls, so load from other users of the machine hits both alike.
# Inputs and outputs are on a tmpfs; the output folder is emptied before every call, so each
# writes the same names.
set -euo pipefail

build=${1:-build}
rounds=${2:-5}
bench=$build/bench/bench_jpeg
cli=$build/cli/trimlet-cli
tools=("$cli" taskset /usr/bin/time)
source "$(dirname "$0")/peers_lib.sh"
peers_setup batch
[[ -s $dir/photo.jpg ]] || { echo "bench_jpeg wrote no picture" >&2; exit 1; }
mkdir "$dir/in"
for ((i = 1; i <= 24; ++i)); do
    cp "$dir/photo.jpg" "$dir/in/photo$i.jpg"
done
batch=("$cli" "$dir"/in/*.jpg --cut 1920x1080@50 --save --save-dir "$dir/out")

fresh() { rm -rf "$dir/out" && mkdir "$dir/out"; }

for ((r = 0; r < rounds; ++r)); do
    fresh && time_peer all "${batch[@]}"
    fresh && time_peer one taskset -c 0 "${batch[@]}"
    fresh && peak_kb all_kb "${batch[@]}"
    fresh && peak_kb one_kb taskset -c 0 "${batch[@]}"
done
[[ $(find "$dir/out" -name '*.jpg' | wc -l) -eq 24 ]] || { echo "the batch did not write 24 files" >&2; exit 1; }

printf '%-40s %9s %9s %7s  %s\n' "median of $rounds rounds, $(nproc) cores" cores core-0 ratio target
row "24 files, ms" all one "<= 0.6"
row "  peak resident kB" all_kb one_kb "<= 2.2"
