#!/usr/bin/env bash
# Times trimlet's area-averaging reduction (bench_reduce) against libvips and ImageMagick doing
# the same work on the same 6000 × 4000 picture, all on one thread; prints medians.
#   bench/reduce_peers.sh [BUILD_DIR] [ROUNDS]
# The whole picture to a third: vips shrink 3 3 and convert -scale 33.333%. A 4000 × 3000 region
# at (1000, 500) to 1600 × 1200: convert -crop then -scale 1600x1200! (libvips has no single
# operation for an exact 2.5 area average, so it sits this one out).
# Rounds interleave ours and theirs, so load from other users of the machine hits both alike.
# The peers read PPM from a tmpfs and write there: their figures include process start, loading
# and saving, which the "start-up + load" rows measure on their own (vips avg reads every pixel
# once; convert -crop to the third's size writes as much as -scale does). Ours are the
# in-process call.
set -euo pipefail

build=${1:-build}
rounds=${2:-5}
bench=$build/bench/bench_reduce
tools=(vips convert)
source "$(dirname "$0")/peers_lib.sh"
peers_setup reduce
[[ -s $dir/photo.ppm && -s $dir/third.ppm && -s $dir/region.ppm ]] || { echo "bench_reduce wrote no pictures" >&2; exit 1; }
peers_single_thread

photo=$dir/photo.ppm
for ((r = 0; r < rounds; ++r)); do
    time_ours
    time_peer vips_third vips shrink "$photo" "$dir/vips_third.v" "${vips_third[@]}"
    time_peer vips_base vips avg "$photo"
    time_peer im_third convert "$photo" "${im_third[@]}" "$dir/im_third.ppm"
    time_peer im_region convert "$photo" "${im_region[@]}" "$dir/im_region.ppm"
    time_peer im_base convert "$photo" -crop 2000x1333+0+0 +repage "$dir/im_base.ppm"
done

header
row "third vs vips shrink 3 3" BM_ReduceThird vips_third "<= 0.5"
row "third vs convert -scale 33.333%" BM_ReduceThird im_third
row "region vs convert -crop -scale" BM_ReduceRegion im_region
row "third vs memcpy of the source" BM_ReduceThird BM_Memcpy72MB "<= 8"
echo "peers, one process each from and to PPM on a tmpfs, one thread: vips shrink ${vips_third[*]}; convert ${im_third[*]}; convert ${im_region[*]}"
printf '%-40s %9s %9.1f\n' "  vips start-up + load (avg)" "" "$(median vips_base)"
printf '%-40s %9s %9.1f\n' "  convert start-up + load + save" "" "$(median im_base)"
printf '%-40s %9.1f\n' "coprime 1999 x 1333 (ours only)" "$(median BM_ReduceCoprime)"

# Same work, not just the same time: -scale averages areas exactly as we do (Q16 rounding may
# differ by one level); vips shrink drops the last source row that does not fill a 3-row band.
if command -v compare >/dev/null; then
    for name in third region; do
        n=$(compare -metric AE -fuzz 0.4% "$dir/$name.ppm" "$dir/im_$name.ppm" null: 2>&1 || true)
        echo "convert's $name differs from ours by more than one level in $n pixels"
    done
fi
