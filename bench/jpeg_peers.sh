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
for tool in "$bench" djpeg cjpeg; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done

dir=$(mktemp -d "${TRIMLET_BENCH_TMP:-/dev/shm}/trimlet-jpeg-XXXXXX")
trap 'rm -rf "$dir"' EXIT
TRIMLET_BENCH_WRITE=$dir "$bench" --benchmark_filter=NONE >/dev/null 2>&1 || true
[[ -s $dir/photo.jpg && -s $dir/photo.ppm ]] || { echo "bench_jpeg wrote no pictures" >&2; exit 1; }

wall_ms() {
    local start=$EPOCHREALTIME
    "$@" >/dev/null
    awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f\n", (b - a) * 1000 }'
}

declare -A times
for ((r = 0; r < rounds; ++r)); do
    while read -r name ms; do
        times[$name]+="$ms "
    done < <("$bench" --benchmark_format=csv 2>/dev/null |
        awk -F, '/^"BM_/ { gsub(/"/, "", $1); sub(/\/real_time$/, "", $1); print $1, $3 }')
    times[djpeg]+="$(wall_ms djpeg -dct float -outfile /dev/null "$dir/photo.jpg") "
    rm -f "$dir/out.ppm"  # fresh pages each round, as our decoded bitmap gets
    times[djpeg_file]+="$(wall_ms djpeg -dct float -outfile "$dir/out.ppm" "$dir/photo.jpg") "
    times[cjpeg]+="$(wall_ms cjpeg -dct float -quality 90 -baseline -outfile /dev/null "$dir/photo.ppm") "
done

median() { tr ' ' '\n' <<<"${times[$1]}" | sed '/^$/d' | sort -g |
    awk '{ t[NR] = $1 } END { print (NR % 2) ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2 }'; }
row() {
    local ours theirs
    ours=$(median "$2") theirs=$(median "$3")
    printf '%-26s %9.1f %9.1f %7.2f\n' "$1" "$ours" "$theirs" "$(awk -v a="$ours" -v b="$theirs" 'BEGIN { print a / b }')"
}
printf '%-26s %9s %9s %7s\n' "median ms of $rounds rounds" trimlet peer ratio
row "decode vs djpeg float" BM_JpegDecode djpeg
row "  djpeg to a tmpfs file" BM_JpegDecode djpeg_file
row "encode q90 vs cjpeg float" BM_JpegEncodeQ90 cjpeg
