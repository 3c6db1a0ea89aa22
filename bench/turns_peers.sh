#!/usr/bin/env bash
# Times trimlet's quarter turns, flips, half turn and 30° bilinear rotation (bench_turns) against
# libvips and ImageMagick doing the same work on the same 6000 × 4000 picture, all on one thread;
# prints medians and ratios.
#   bench/turns_peers.sh [BUILD_DIR] [ROUNDS]
# Peers: vips rot d90/d270/d180, vips flip vertical/horizontal, vips affine with the bilinear
# interpolator on a canvas of the picture's size; convert -rotate 90/270/180, -flip, -flop and
# -distort SRT 30 with the bilinear interpolator (-filter point, or it uses its elliptical
# filter instead). Rounds interleave ours and theirs, so load from other users of the machine
# hits both alike. The peers read PPM from a tmpfs and write there: their figures include
# process start, loading and saving, which the "start-up + load" rows measure on their own.
# Ours are the in-process call.
set -euo pipefail

build=${1:-build}
rounds=${2:-5}
bench=$build/bench/bench_turns
tools=(vips convert)
source "$(dirname "$0")/peers_lib.sh"
peers_setup turns
for f in photo right vertical horizontal rotate30; do
    [[ -s $dir/$f.ppm ]] || { echo "bench_turns wrote no $f.ppm" >&2; exit 1; }
done
peers_single_thread

photo=$dir/photo.ppm
read -r width height < <(head -c 64 "$photo" | awk 'NR == 2 { print $1, $2 }')
peers_rotation "$width" "$height"

for ((r = 0; r < rounds; ++r)); do
    time_ours
    time_peer vips_right vips rot "$photo" "$dir/vips_right.v" d90
    time_peer vips_left vips rot "$photo" "$dir/vips_left.v" d270
    time_peer vips_half vips rot "$photo" "$dir/vips_half.v" d180
    time_peer vips_vertical vips flip "$photo" "$dir/vips_vertical.v" vertical
    time_peer vips_horizontal vips flip "$photo" "$dir/vips_horizontal.v" horizontal
    time_peer vips_rotate vips affine "$photo" "$dir/vips_rotate.v" "${vips_affine[@]}"
    time_peer vips_base vips avg "$photo"
    time_peer im_right convert "$photo" -rotate 90 "$dir/im_right.ppm"
    time_peer im_half convert "$photo" -rotate 180 "$dir/im_half.ppm"
    time_peer im_vertical convert "$photo" -flip "$dir/im_vertical.ppm"
    time_peer im_horizontal convert "$photo" -flop "$dir/im_horizontal.ppm"
    time_peer im_rotate convert "$photo" "${im_srt[@]}" "$dir/im_rotate.ppm"
    time_peer im_base convert "$photo" "$dir/im_base.ppm"
done

header
row "turn right vs vips rot d90" BM_TurnRight vips_right "<= 0.5"
row "turn left vs vips rot d270" BM_TurnLeft vips_left "<= 0.5"
row "turn right vs memcpy" BM_TurnRight BM_Memcpy "<= 5"
row "turn left vs memcpy" BM_TurnLeft BM_Memcpy "<= 5"
row "flip vertical vs memcpy" BM_FlipVertical BM_Memcpy "<= 1.5"
row "flip horizontal vs memcpy" BM_FlipHorizontal BM_Memcpy "<= 3"
row "flip vertical vs vips flip" BM_FlipVertical vips_vertical
row "flip horizontal vs vips flip" BM_FlipHorizontal vips_horizontal
row "half turn vs vips rot d180" BM_HalfTurn vips_half
row "turn right vs convert -rotate 90" BM_TurnRight im_right
row "flip vertical vs convert -flip" BM_FlipVertical im_vertical
row "flip horizontal vs convert -flop" BM_FlipHorizontal im_horizontal
row "half turn vs convert -rotate 180" BM_HalfTurn im_half
row "rotate 30 vs vips affine bilinear" BM_Rotate30/threads:1 vips_rotate "<= 0.5"
row "rotate 30 vs convert -distort SRT 30" BM_Rotate30/threads:1 im_rotate "<= 0.1"
row "rotate 30, 2 threads vs 1 thread" BM_Rotate30/threads:2 BM_Rotate30/threads:1 "<= 0.6"
echo "peers, one process each from and to PPM on a tmpfs, one thread: vips rot, vips flip, vips affine ${vips_affine[*]}; convert -rotate, -flip, -flop, ${im_srt[*]}"
printf '%-40s %9s %9.1f\n' "  vips start-up + load (avg)" "" "$(median vips_base)"
printf '%-40s %9s %9.1f\n' "  convert start-up + load + save" "" "$(median im_base)"

# Same work, not just the same time: turns and flips must match exactly; the rotations differ
# in how they round and where they put the centre of an even side (ours: pixel W / 2).
if command -v compare >/dev/null; then
    differs() { compare -metric AE ${3:+-fuzz "$3"} "$1" "$2" null: 2>&1 || true; }
    vips copy "$dir/vips_right.v" "$dir/vips_right.ppm"
    vips copy "$dir/vips_vertical.v" "$dir/vips_vertical.ppm"
    vips copy "$dir/vips_horizontal.v" "$dir/vips_horizontal.ppm"
    vips copy "$dir/vips_rotate.v" "$dir/vips_rotate.ppm"
    echo "pixels that differ from ours: vips rot $(differs "$dir/right.ppm" "$dir/vips_right.ppm")," \
        "convert -rotate $(differs "$dir/right.ppm" "$dir/im_right.ppm")," \
        "vips flip $(differs "$dir/vertical.ppm" "$dir/vips_vertical.ppm") and $(differs "$dir/horizontal.ppm" "$dir/vips_horizontal.ppm")," \
        "convert -flip/-flop $(differs "$dir/vertical.ppm" "$dir/im_vertical.ppm") and $(differs "$dir/horizontal.ppm" "$dir/im_horizontal.ppm")"
    echo "rotation pixels more than two levels from ours: vips $(differs "$dir/rotate30.ppm" "$dir/vips_rotate.ppm" 0.8%)," \
        "convert $(differs "$dir/rotate30.ppm" "$dir/im_rotate.ppm" 0.8%) of $((width * height))"
fi
