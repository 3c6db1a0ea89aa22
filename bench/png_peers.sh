#!/usr/bin/env bash
# Times trimlet-cli writing PNG against vips at its pngsave defaults (compression 6, no
# filter), whole processes from the same q90 JPEG of the 6000 × 4000 photo-like picture: its
# centred 1920 × 1080 piece and the whole picture. Prints medians, peak memory and file sizes;
# the in-process encode of bench_png_write (from the original pixels) is listed beside.
#   bench/png_peers.sh [BUILD_DIR] [ROUNDS]
# Both sides run at their default thread counts, as a user would start them.
set -euo pipefail

build=${1:-build}
rounds=${2:-5}
bench=$build/bench/bench_png_write
cli=$build/cli/trimlet-cli
tools=(vips "$cli")
source "$(dirname "$0")/peers_lib.sh"
peers_setup png
[[ -s $dir/photo.jpg ]] || { echo "bench_png_write wrote no picture" >&2; exit 1; }

piece=(--cut 1920x1080+3000,2000)  # the centre: vips crop's origin is 2040, 1460
for ((r = 0; r < rounds; ++r)); do
    time_ours
    time_peer cli_piece "$cli" "$dir/photo.jpg" "${piece[@]}" --output "$dir/ours_piece.png" --force
    time_peer vips_piece vips crop "$dir/photo.jpg" "$dir/vips_piece.png" 2040 1460 1920 1080
    time_peer cli_whole "$cli" "$dir/photo.jpg" --output "$dir/ours_whole.png" --force
    time_peer vips_whole vips copy "$dir/photo.jpg" "$dir/vips_whole.png"
done
peak_kb cli_piece_kb "$cli" "$dir/photo.jpg" "${piece[@]}" --output "$dir/ours_piece.png" --force
peak_kb vips_piece_kb vips crop "$dir/photo.jpg" "$dir/vips_piece.png" 2040 1460 1920 1080
peak_kb cli_whole_kb "$cli" "$dir/photo.jpg" --output "$dir/ours_whole.png" --force
peak_kb vips_whole_kb vips copy "$dir/photo.jpg" "$dir/vips_whole.png"

header
row "1920x1080 piece as PNG vs vips crop" cli_piece vips_piece "<= 0.6"
row "  in-process encode of the piece" BM_PngEncodePiece vips_piece
row "6000x4000 as PNG vs vips copy" cli_whole vips_whole "<= 1.0"
row "  in-process encode of the picture" BM_PngEncodeWhole vips_whole
sizes() {
    printf '%-40s %9s %9s %7s\n' "$1" "$(stat -c %s "$2")" "$(stat -c %s "$3")" \
        "$(awk -v a="$(stat -c %s "$2")" -v b="$(stat -c %s "$3")" 'BEGIN { printf "%.2f", a / b }')"
}
printf '%-40s %9s %9s %7s\n' "file bytes" trimlet vips ratio
sizes "  piece (target <= 1.05)" "$dir/ours_piece.png" "$dir/vips_piece.png"
sizes "  whole picture (target <= 1.05)" "$dir/ours_whole.png" "$dir/vips_whole.png"
printf '%-40s %9s %9s\n' "peak resident KB" trimlet vips
printf '%-40s %9s %9s\n' "  piece" "$(median cli_piece_kb)" "$(median vips_piece_kb)"
printf '%-40s %9s %9s\n' "  whole picture" "$(median cli_whole_kb)" "$(median vips_whole_kb)"
