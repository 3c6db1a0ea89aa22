#!/usr/bin/env bash
# Times a centred 1920 × 1080 lossless cut of the 6000 × 4000 photo (bench_jpeg's) as a whole
# process, `trimlet-cli IN --cut 1920x1080 --lossless --output OUT`, against
# `jpegtran -copy none -crop 1920x1080+X+Y` at the corner trimlet snapped to; prints the medians
# of wall time and of peak memory (maximum resident set, /usr/bin/time %M) with their ratios,
# and the file sizes beside trimlet's own q90 re-encoded piece.
#   bench/lossless_peers.sh [BUILD_DIR] [ROUNDS]
# Targets: time at most 1.1× jpegtran's, peak memory at most jpegtran's.
set -euo pipefail

build=${1:-build}
rounds=${2:-9}
cli=$build/cli/trimlet-cli
bench=$build/bench/bench_jpeg  # writes the photo
tools=("$cli" jpegtran djpeg /usr/bin/time)
source "$(dirname "$0")/peers_lib.sh"
peers_setup lossless
peers_single_thread
in=$dir/photo.jpg
[[ -s $in ]] || { echo "bench_jpeg wrote no photo" >&2; exit 1; }

# The centred frame's corner, moved to the nearest corner of the 4:2:0 file's 16-pixel grid
# (the lower of two as near), as trimlet places it; the pixels are compared below.
read -r w h < <("$cli" info "$in" | cut -f3,4)
snap() { awk -v at="$1" 'BEGIN { i = int(at / 16); if (2 * (at - 16 * i) > 16) ++i; print 16 * i }'; }
x=$(snap $(((w - 1920) / 2))) y=$(snap $(((h - 1080) / 2)))

ours=(--cut 1920x1080 --lossless --output "$dir/ours.jpg" --force)
theirs=(-copy none -crop "1920x1080+$x+$y" -outfile "$dir/theirs.jpg")
"$cli" "$in" "${ours[@]}" >/dev/null
jpegtran "${theirs[@]}" "$in"
cmp -s <(djpeg "$dir/ours.jpg") <(djpeg "$dir/theirs.jpg") ||
    { echo "trimlet's piece is not jpegtran's crop at $x,$y" >&2; exit 1; }
"$cli" "$in" --cut 1920x1080 --output "$dir/q90.jpg" >/dev/null

for ((r = 0; r < rounds; ++r)); do
    time_peer ours "$cli" "$in" "${ours[@]}"
    time_peer theirs jpegtran "${theirs[@]}" "$in"
    peak_kb "ours kb" "$cli" "$in" "${ours[@]}"
    peak_kb "theirs kb" jpegtran "${theirs[@]}" "$in"
done

header
row "lossless 1920x1080 cut: ms vs jpegtran" ours theirs "<= 1.1"
row "  peak kB vs jpegtran" "ours kb" "theirs kb" "<= 1"
echo "peer, one process on a tmpfs: jpegtran ${theirs[*]}"
size() { stat -c %s "$1"; }
printf 'bytes: trimlet lossless %d, jpegtran -crop %d, trimlet q90 re-encoded %d (%dx%d photo, corner %d,%d)\n' \
    "$(size "$dir/ours.jpg")" "$(size "$dir/theirs.jpg")" "$(size "$dir/q90.jpg")" "$w" "$h" "$x" "$y"
