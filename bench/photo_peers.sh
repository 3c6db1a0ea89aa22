#!/usr/bin/env bash
# Times trimlet's conversion of the 6000 × 4000 picture from Adobe RGB to sRGB (bench_photo)
# against LittleCMS's own tificc (perceptual, as ours) and libvips's icc_transform on the same
# pixels, all on one thread; and the decode of the Adobe RGB JPEG against the plain decode.
#   bench/photo_peers.sh [BUILD_DIR] [ROUNDS]
# The peers read an uncompressed TIFF (tificc) or PPM (vips) from a tmpfs and write there: their
# figures include process start, loading and saving, which the "start-up + load + save" rows
# measure on their own. Ours are the in-process call.
set -euo pipefail

build=${1:-build}
rounds=${2:-5}
bench=$build/bench/bench_photo
tools=(tificc vips tiffcp)
profile=/usr/share/color/icc/compatibleWithAdobeRGB1998.icc
source "$(dirname "$0")/peers_lib.sh"
peers_setup photo
[[ -s $dir/photo.ppm && -s $dir/converted.ppm ]] || { echo "bench_photo wrote no pictures" >&2; exit 1; }
peers_single_thread
vips copy "$dir/photo.ppm" "$dir/photo.tif"

for ((r = 0; r < rounds; ++r)); do
    time_ours
    time_peer tificc tificc -t0 -i"$profile" "$dir/photo.tif" "$dir/tificc.tif"
    time_peer tiffcp tiffcp "$dir/photo.tif" "$dir/copy.tif"
    time_peer vips vips icc_transform "$dir/photo.ppm" "$dir/vips.v" srgb --input-profile "$profile" \
        --intent perceptual
    time_peer vips_base vips copy "$dir/photo.ppm" "$dir/copy.v"
done

header
row "Adobe RGB to sRGB vs tificc" BM_ProfileToSrgb tificc
row "Adobe RGB to sRGB vs vips icc_transform" BM_ProfileToSrgb vips
row "decode Adobe RGB JPEG vs plain decode" BM_DecodeAdobeRgb BM_DecodePlain
row "decode turned right vs plain decode" BM_DecodeTurnedRight BM_DecodePlain
echo "peers, one process each on a tmpfs, one thread: tificc -t0 -i PROFILE (TIFF); vips icc_transform srgb --input-profile PROFILE --intent perceptual (PPM)"
printf '%-40s %9s %9.1f\n' "  tiffcp start-up + load + save" "" "$(median tiffcp)"
printf '%-40s %9s %9.1f\n' "  vips start-up + load + save" "" "$(median vips_base)"

# Same work, not just the same time: LittleCMS's own tool must give our pixels within a level.
if command -v compare >/dev/null; then
    echo "pixels more than one level from tificc's: $(compare -metric AE -fuzz 0.4% "$dir/converted.ppm" \
        "$dir/tificc.tif" null: 2>&1 || true) of $(head -c 64 "$dir/photo.ppm" | awk 'NR == 2 { print $1 * $2 }')"
fi
