#!/usr/bin/env bash
# Times trimlet's JPEG decode and q90 encode (bench_jpeg) against djpeg -dct float and
# cjpeg -dct float -quality 90 -baseline on the same 6000 × 4000 picture; prints medians.
#   bench/jpeg_peers.sh [BUILD_DIR] [ROUNDS]
# Rounds interleave ours and theirs, so load from other users of the machine hits both alike.
# The peers read from a tmpfs and write PPM to /dev/null (djpeg also to a tmpfs file, which like
# our decoded bitmap needs fresh memory): their figures include process start and the PPM side;
# ours are the in-process call.
set -euo pipefail

build=${1:-build}
rounds=${2:-5}
bench=$build/bench/bench_jpeg
tools=(djpeg cjpeg)
source "$(dirname "$0")/peers_lib.sh"
peers_setup jpeg
[[ -s $dir/photo.jpg && -s $dir/photo.ppm ]] || { echo "bench_jpeg wrote no pictures" >&2; exit 1; }

for ((r = 0; r < rounds; ++r)); do
    time_ours
    time_peer djpeg djpeg -dct float -outfile /dev/null "$dir/photo.jpg"
    rm -f "$dir/out.ppm"  # fresh pages each round, as our decoded bitmap gets
    time_peer djpeg_file djpeg -dct float -outfile "$dir/out.ppm" "$dir/photo.jpg"
    time_peer cjpeg cjpeg -dct float -quality 90 -baseline -outfile /dev/null "$dir/photo.ppm"
done

header
row "decode vs djpeg float" BM_JpegDecode djpeg "<= 1.1"
row "  djpeg to a tmpfs file" BM_JpegDecode djpeg_file
row "encode q90 vs cjpeg float" BM_JpegEncodeQ90 cjpeg "<= 1.1"
echo "peers, one process each on a tmpfs: djpeg -dct float -outfile /dev/null (and to a file); cjpeg -dct float -quality 90 -baseline -outfile /dev/null"
