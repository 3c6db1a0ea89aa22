#!/usr/bin/env bash
# Times trimlet's HEIC, AVIF and TIFF decodes (bench_decoders) against the formats' own
# command-line decoders on the same 4000 × 3000 files; prints medians.
#   bench/heif_peers.sh [BUILD_DIR] [ROUNDS]
# heif-convert and avifdec write Y4M, their cheapest output: the decoded YUV planes as they are,
# with no RGB conversion and no compression, so their figures are a lower bound of a decode to
# pixels (ours converts to RGB). tiff2rgba runs libtiff's RGBA reader, as ours does, and writes an
# uncompressed TIFF. All read from and write to a tmpfs and include their process start. Both
# sides run pinned to the same single CPU (taskset), so a library's worker threads count
# alike on either side; avifdec and ours both use libavif's default of one thread.
set -euo pipefail

build=${1:-build}
rounds=${2:-5}
bench=$build/bench/bench_decoders
tools=(heif-convert avifdec tiff2rgba heif-enc avifenc convert taskset)
source "$(dirname "$0")/peers_lib.sh"
peers_setup decoders
[[ -s $dir/photo.heic && -s $dir/photo.avif && -s $dir/photo.tif ]] || { echo "bench_decoders wrote no files" >&2; exit 1; }
cpu=$(($(nproc) - 1))
pin=(taskset -c "$cpu")
# time_ours, pinned; the files already in $dir are used, not made again.
bench_pinned() {
    local csv name ms
    csv=$("${pin[@]}" "$bench" --benchmark_format=csv 2>/dev/null) || { echo "failed: $bench" >&2; return 1; }
    while read -r name ms; do
        times[$name]+="$ms "
    done < <(awk -F, '/^"BM_/ { gsub(/"/, "", $1); sub(/\/real_time$/, "", $1); print $1, $3 }' <<<"$csv")
}

for ((r = 0; r < rounds; ++r)); do
    TRIMLET_BENCH_WRITE=$dir bench_pinned
    rm -f "$dir/out.y4m" "$dir/out.tif"
    time_peer heif_convert "${pin[@]}" heif-convert --quiet "$dir/photo.heic" "$dir/out.y4m"
    rm -f "$dir/out.y4m"
    time_peer avifdec "${pin[@]}" avifdec "$dir/photo.avif" "$dir/out.y4m"
    time_peer tiff2rgba "${pin[@]}" tiff2rgba -n -c none "$dir/photo.tif" "$dir/out.tif"
done

header
row "HEIC decode vs heif-convert to Y4M" BM_HeifDecode heif_convert "<= 1.2"
row "AVIF decode vs avifdec to Y4M" BM_AvifDecode avifdec
row "TIFF LZW decode vs tiff2rgba" BM_TiffDecodeLzw tiff2rgba
echo "peers, one process each on a tmpfs, pinned with ${pin[*]} as ours: heif-convert --quiet to Y4M; avifdec to Y4M; tiff2rgba -n -c none"
