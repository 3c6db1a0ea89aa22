#!/usr/bin/env bash
# Times trimlet's WebP decode and q80 encode (bench_webp) against dwebp and cwebp -q 80 on the
# same lossy 6000 × 4000 picture; prints medians.
#   bench/webp_peers.sh [BUILD_DIR] [ROUNDS]
# dwebp's cheapest output that still does our work is -ppm to /dev/null: it decodes to 24-bit
# RGB as we decode to 24-bit BGR, and writing to /dev/null costs nothing. (-yuv would skip the
# colour conversion, which we cannot.) Both decode on one thread; dwebp -mt is shown for
# reference. The peers read from a tmpfs; their figures include process start and reading the
# file, ours are the in-process call.
set -euo pipefail

build=${1:-build}
rounds=${2:-5}
bench=$build/bench/bench_webp
tools=(dwebp cwebp)
source "$(dirname "$0")/peers_lib.sh"
peers_setup webp
[[ -s $dir/photo.webp && -s $dir/photo.ppm ]] || { echo "bench_webp wrote no pictures" >&2; exit 1; }

for ((r = 0; r < rounds; ++r)); do
    time_ours
    time_peer dwebp_mt dwebp -quiet -mt "$dir/photo.webp" -ppm -o /dev/null
    time_peer dwebp dwebp -quiet "$dir/photo.webp" -ppm -o /dev/null
    time_peer cwebp cwebp -quiet -q 80 "$dir/photo.ppm" -o /dev/null
done

header
row "decode vs dwebp -ppm" BM_WebpDecode dwebp "<= 1.2"
row "  dwebp -mt -ppm" BM_WebpDecode dwebp_mt
row "encode q80 vs cwebp -q 80" BM_WebpEncodeQ80 cwebp
echo "peers, one process each on a tmpfs: dwebp -quiet [-mt] -ppm -o /dev/null; cwebp -quiet -q 80 -o /dev/null"
