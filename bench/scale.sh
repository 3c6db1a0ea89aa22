#!/usr/bin/env bash
# Whole jobs on large photo-like JPEGs, as a user runs them: trimlet-cli against libvips (one
# process, through its C library) and ImageMagick, interleaved rounds, single-threaded peers.
# Prints the medians of wall time and of peak memory (maximum resident set) and their ratios.
#   bench/scale.sh [BUILD_DIR] [ROUNDS] [SIZES]
# SIZES lists megapixels among 6 24 100 400 (default "6 24 100"; 400 takes minutes to make).
# The JPEGs (q90, 4:2:0) are made once and kept in $TRIMLET_SCALE_DIR (default
# /tmp/trimlet-scale); outputs go to a tmpfs.
# Jobs: --cut 1920x1080 (the middle) against vips crop and convert -crop; --turn right --cut
# 1920x1080@50 against libvips' rot, extract_area, shrink 2 2 in one process and convert
# -rotate 90 -crop -scale 50%; info against identify -ping. trimlet-cli runs as a user gets it,
# its kernels on every core for large pictures; the turn job also runs on one thread, for the
# ratio of the two.
set -euo pipefail

build=${1:-build}
rounds=${2:-3}
sizes=${3:-6 24 100}
bench=$build/cli/trimlet-cli
tools=(vips convert identify python3 /usr/bin/time)
source "$(dirname "$0")/peers_lib.sh"
peers_setup scale
peers_single_thread
unset TRIMLET_THREADS
# Debian's policy also refuses pictures wider or taller than 16000 pixels (the 400 MP one).
sed -i 's|</policymap>|  <policy domain="resource" name="width" value="64KP"/>\n  <policy domain="resource" name="height" value="64KP"/>\n</policymap>|' "$dir/policy.xml"
cache=${TRIMLET_SCALE_DIR:-/tmp/trimlet-scale}
mkdir -p "$cache"

# Smooth colour fields (noise enlarged 16 times) with a little fine grain: compresses and
# decodes like a photo, and libvips makes it without holding the picture.
make_photo() {
    local out=$1 w=$2 h=$3 t
    [[ -s $out ]] && return
    t=$(mktemp -d "$cache/make-XXXXXX")
    for c in r g b; do
        vips gaussnoise "$t/$c.v" $((w / 16)) $((h / 16)) --mean 128 --sigma 60
    done
    vips bandjoin "$t/r.v $t/g.v $t/b.v" "$t/c.v"
    vips resize "$t/c.v" "$t/big.v" 16 --kernel cubic
    vips gaussnoise "$t/n.v" "$w" "$h" --mean 0 --sigma 6
    vips add "$t/big.v" "$t/n.v" "$t/sum.v"
    vips cast "$t/sum.v" "$t/u.v" uchar
    vips colourspace "$t/u.v" "$t/photo.jpg$vips_jpeg_q90" srgb
    mv "$t/photo.jpg" "$out"
    rm -rf "$t"
}

# The libvips chain in one process, as its C API runs it: load, turn, cut the middle, halve.
cat >"$dir/vips_chain.py" <<'PY'
import ctypes, sys
v = ctypes.CDLL("libvips.so.42")
v.vips_init(b"scale")
P = ctypes.c_void_p
v.vips_image_new_from_file.restype = P
v.vips_image_get_width.argtypes = v.vips_image_get_height.argtypes = [P]
src, dst = sys.argv[1].encode(), sys.argv[2].encode()
img = P(v.vips_image_new_from_file(src, None))
def op(name, *args):
    out = P()
    if getattr(v, name)(img, ctypes.byref(out), *args, None):
        sys.exit(name + " failed")
    return out
img = op("vips_rot", ctypes.c_int(1))  # VIPS_ANGLE_D90
w, h = v.vips_image_get_width(img), v.vips_image_get_height(img)
cw, ch = min(3840, w), min(2160, h)
img = op("vips_extract_area", ctypes.c_int((w - cw) // 2), ctypes.c_int((h - ch) // 2), ctypes.c_int(cw), ctypes.c_int(ch))
img = op("vips_shrink", ctypes.c_double(2), ctypes.c_double(2))
if v.vips_image_write_to_file(img, dst + b"[Q=90,subsample-mode=on]", None):
    sys.exit("save failed")
PY

# times[KEY] += wall ms and times[KEY kb] += peak resident kB of the rest of the command line.
run() {
    local key=$1 start
    shift
    start=$EPOCHREALTIME
    /usr/bin/time -f %M -o "$dir/rss" "$@" >/dev/null || { echo "failed: $*" >&2; exit 1; }
    times[$key]+="$(awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f", (b - a) * 1000 }') "
    times[$key kb]+="$(($(tail -n 1 "$dir/rss") / 1024)) "
}

declare -A dims=([6]="3000 2000" [24]="6000 4000" [100]="12240 8160" [400]="24480 16320")
for mp in $sizes; do
    [[ -n ${dims[$mp]:-} ]] || { echo "sizes are 6, 24, 100 and 400, not $mp" >&2; exit 2; }
    read -r w h <<<"${dims[$mp]}"
    make_photo "$cache/photo$mp.jpg" "$w" "$h"
done

out=$dir/out.jpg
for ((r = 0; r < rounds; ++r)); do
    for mp in $sizes; do
        in=$cache/photo$mp.jpg
        read -r w h <<<"${dims[$mp]}"
        run "cut ours $mp" "$bench" "$in" --cut 1920x1080 --output "$out" --force
        run "cut vips $mp" vips crop "$in" "$out$vips_jpeg_q90" $(((w - 1920) / 2)) $(((h - 1080) / 2)) 1920 1080
        run "cut im $mp" convert "$in" -gravity center -crop 1920x1080+0+0 +repage "${im_jpeg_q90[@]}" "$out"
        run "turn ours $mp" "$bench" "$in" --turn right --cut 1920x1080@50 --output "$out" --force
        run "turn ours1 $mp" env TRIMLET_THREADS=1 "$bench" "$in" --turn right --cut 1920x1080@50 --output "$out" --force
        run "turn vips $mp" python3 "$dir/vips_chain.py" "$in" "$out"
        run "turn im $mp" convert "$in" -rotate 90 -gravity center -crop 3840x2160+0+0 +repage -scale 50% \
            "${im_jpeg_q90[@]}" "$out"
        run "info ours $mp" "$bench" info "$in"
        run "info im $mp" identify -ping "$in"
    done
done

header
for mp in $sizes; do
    row "$mp MP --cut ms vs vips crop" "cut ours $mp" "cut vips $mp" "<= 0.5"
    row "$mp MP --cut ms vs convert" "cut ours $mp" "cut im $mp"
    row "$mp MP --turn --cut@50 ms vs libvips" "turn ours $mp" "turn vips $mp" "<= 0.35 (24), 0.5 (100)"
    row "$mp MP --turn --cut@50 ms vs convert" "turn ours $mp" "turn im $mp" "<= 0.2 (24)"
    row "$mp MP --turn --cut@50 ms, threads vs one" "turn ours $mp" "turn ours1 $mp"
    row "$mp MP --turn --cut@50 MiB vs libvips" "turn ours $mp kb" "turn vips $mp kb" \
        "<= max(1.5, +40 MiB) (100, 400)"
    row "$mp MP --cut MiB vs vips crop" "cut ours $mp kb" "cut vips $mp kb"
    row "$mp MP info ms vs identify -ping" "info ours $mp" "info im $mp" "<= 2"
done
