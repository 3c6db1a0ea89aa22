#!/usr/bin/env bash
# The middle 1920 × 1080 of a 24-megapixel photo-like PNG, striped LZW TIFF, tiled TIFF and lossy
# WebP, as a user cuts it: trimlet-cli --cut against vips crop (single-threaded, as every peer
# script runs it), whole processes, interleaved rounds; medians of wall time and peak memory.
#   bench/region_peers.sh [BUILD_DIR] [ROUNDS]
# The pictures are made once by libvips and kept in $TRIMLET_REGION_DIR (default
# /tmp/trimlet-region); outputs go to a tmpfs. trimlet-cli runs as a user gets it, on every core.
set -euo pipefail

build=${1:-build}
rounds=${2:-5}
bench=$build/cli/trimlet-cli
tools=(vips /usr/bin/time)
source "$(dirname "$0")/peers_lib.sh"
peers_setup region
peers_single_thread
unset TRIMLET_THREADS
cache=${TRIMLET_REGION_DIR:-/tmp/trimlet-region}
mkdir -p "$cache"
w=6000 h=4000

# Smooth colour fields with a little fine grain, as bench/scale.sh makes them.
if [[ ! -s $cache/photo.webp ]]; then
    t=$(mktemp -d "$cache/make-XXXXXX")
    for c in r g b; do
        vips gaussnoise "$t/$c.v" $((w / 16)) $((h / 16)) --mean 128 --sigma 60
    done
    vips bandjoin "$t/r.v $t/g.v $t/b.v" "$t/c.v"
    vips resize "$t/c.v" "$t/big.v" 16 --kernel cubic
    vips gaussnoise "$t/n.v" "$w" "$h" --mean 0 --sigma 6
    vips add "$t/big.v" "$t/n.v" "$t/sum.v"
    vips cast "$t/sum.v" "$t/u.v" uchar
    vips copy "$t/u.v" "$t/photo.png"
    vips copy "$t/u.v" "$t/strips.tif[compression=lzw]"
    vips copy "$t/u.v" "$t/tiles.tif[compression=lzw,tile,tile-width=256,tile-height=256]"
    vips copy "$t/u.v" "$t/photo.webp[Q=80]"
    mv "$t"/photo.png "$t"/strips.tif "$t"/tiles.tif "$cache/"
    mv "$t/photo.webp" "$cache/"
    rm -rf "$t"
fi


files=(photo.png strips.tif tiles.tif photo.webp)
out=$dir/out.jpg
for ((r = 0; r < rounds; ++r)); do
    for f in "${files[@]}"; do
        time_and_peak "ours $f" "$bench" "$cache/$f" --cut 1920x1080 --output "$out" --force
        time_and_peak "vips $f" vips crop "$cache/$f" "$out$vips_jpeg_q90" $(((w - 1920) / 2)) $(((h - 1080) / 2)) 1920 1080
    done
done

header
for f in "${files[@]}"; do
    row "$f --cut ms vs vips crop" "ours $f" "vips $f" "<= 0.6"
    row "$f --cut MiB vs vips crop" "ours $f kb" "vips $f kb"
done
echo "load: $(uptime)"
