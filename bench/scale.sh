#!/usr/bin/env bash
# Whole jobs on large photo-like JPEGs, as a user runs them: trimlet-cli against libvips and
# ImageMagick, each peer in its best form for the same work, interleaved rounds. Prints the
# medians of wall time and of peak memory (maximum resident set) and their ratios, then the
# README's table of them (Markdown).
#   bench/scale.sh [BUILD_DIR] [ROUNDS] [SIZES]          defaults: build, 5, "24 100"
# SIZES lists megapixels among 6 24 100 400 (400 takes minutes to make). The JPEGs (q90, 4:2:0)
# are made once and kept in $TRIMLET_SCALE_DIR (default /tmp/trimlet-scale); outputs go to a
# tmpfs. Every side runs on one thread (TRIMLET_THREADS=1, VIPS_CONCURRENCY=1,
# MAGICK_THREAD_LIMIT=1); TRIMLET_SCALE_THREADS=all lifts that on every side alike.
# How each peer runs (no interpreter anywhere, nothing subtracted from any process's time):
#   --cut 1920x1080 (the middle): `vips crop` (its command line reads a JPEG sequentially and
#     stops after the region's rows); `convert 'IN[1920x1080+X+Y]'` (cropped as it is read).
#   --turn right --cut 1920x1080@50: bench/vips_chain turn-cut, libvips' C API in one process
#     with trimlet's plan: the stored region that turns into the piece, then rot d90, shrink 2 2;
#     convert IN -crop (the same stored region) -rotate 90 -scale 50%. No -define jpeg:size:
#     libjpeg's scaled decode is not the area average that -scale and trimlet compute.
#   --rotate 30 --cut 1920x1080: bench/vips_chain rotate-cut, libvips rotating the whole canvas
#     (affine, bilinear, white) then cropping the middle in one process: it computes only the
#     piece's pixels but decodes the picture whole first (the peer of "at most 0.4x libvips doing
#     the same"); vips_chain rotate-cut-planned, the same pixels from only the stored box the piece
#     samples; convert -distort SRT 30 bilinear with -define distort:viewport=1920x1080+X+Y, so
#     that it computes only the piece.
#   info: identify -ping.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
rounds=${2:-5}
sizes=${3:-24 100}
[[ $rounds =~ ^[1-9][0-9]*$ ]] || { echo "usage: bench/scale.sh [BUILD_DIR] [ROUNDS] [SIZES]" >&2; exit 2; }
bench=$build/cli/trimlet-cli
chain=$build/bench/vips_chain
[[ -x $chain ]] || {
    echo "$chain is not built: install libvips-dev (scripts/install-deps.sh) and build the" \
        "vips_chain target with -DTRIMLET_BENCH=ON" >&2
    exit 1
}
tools=(vips convert identify compare "$chain" /usr/bin/time)
source "$root/bench/peers_lib.sh"
peers_setup scale
peers_single_thread
threads="one thread on every side (TRIMLET_THREADS=1 VIPS_CONCURRENCY=1 MAGICK_THREAD_LIMIT=1)"
if [[ ${TRIMLET_SCALE_THREADS:-1} == all ]]; then
    unset TRIMLET_THREADS VIPS_CONCURRENCY MAGICK_THREAD_LIMIT OMP_NUM_THREADS
    threads="every side on its default threads"
fi
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


declare -A dims=([6]="3000 2000" [24]="6000 4000" [100]="12240 8160" [400]="24480 16320")
for mp in $sizes; do
    [[ -n ${dims[$mp]:-} ]] || { echo "sizes are 6, 24, 100 and 400, not $mp" >&2; exit 2; }
    read -r w h <<<"${dims[$mp]}"
    make_photo "$cache/photo$mp.jpg" "$w" "$h"
done

# Same work: every peer's piece has trimlet's size and, but for JPEG coding (and, for the
# rotation, where each puts the middle of an even side), its pixels; a misplaced region or
# another reduction falls far below 30 dB.
check() {
    local ours=$1 theirs=$2 db
    [[ $(identify -format '%wx%h' "$theirs") == $(identify -format '%wx%h' "$ours") ]] ||
        { echo "$theirs is not the size of trimlet's piece" >&2; exit 1; }
    db=$(compare -metric PSNR "$ours" "$theirs" null: 2>&1 || true)
    awk -v d="$db" -v f="${theirs##*/}" 'BEGIN { if (d != "inf" && d + 0 < 30) { printf "%s is only %s dB from trimlet'"'"'s piece\n", f, d > "/dev/stderr"; exit 1 } }'
    psnr+="${theirs##*/} $db dB; "
}

psnr=
o=$dir/out
for ((r = 0; r < rounds; ++r)); do
    echo "round $((r + 1)) of $rounds" >&2
    for mp in $sizes; do
        in=$cache/photo$mp.jpg
        read -r w h <<<"${dims[$mp]}"
        cx=$(((w - 1920) / 2)) cy=$(((h - 1080) / 2))
        # The turn's piece: 3840 x 2160 (at most the picture) in the middle of the turned (h x w)
        # picture, stored tw wide and th high.
        th=$((h < 3840 ? h : 3840)) tw=$((w < 2160 ? w : 2160))
        tx=$(((h - th) / 2)) ty=$(((w - tw) / 2))
        stored="${tw}x$th+$ty+$((h - tx - th))"
        time_and_peak "cut ours $mp" "$bench" "$in" --cut 1920x1080 --output "$o-cut-ours.jpg" --force
        time_and_peak "cut vips $mp" vips crop "$in" "$o-cut-vips.jpg$vips_jpeg_q90" "$cx" "$cy" 1920 1080
        time_and_peak "cut im $mp" convert "${in}[1920x1080+$cx+$cy]" +repage "${im_jpeg_q90[@]}" "$o-cut-im.jpg"
        time_and_peak "turn ours $mp" "$bench" "$in" --turn right --cut 1920x1080@50 --output "$o-turn-ours.jpg" --force
        time_and_peak "turn vips $mp" "$chain" turn-cut "$in" "$o-turn-vips.jpg" 3840 2160 2
        time_and_peak "turn im $mp" convert "$in" -crop "$stored" +repage -rotate 90 -scale 50% \
            "${im_jpeg_q90[@]}" "$o-turn-im.jpg"
        time_and_peak "rot ours $mp" "$bench" "$in" --rotate 30 --cut 1920x1080 --output "$o-rot-ours.jpg" --force
        time_and_peak "rot vips $mp" "$chain" rotate-cut "$in" "$o-rot-vips.jpg" 30 1920 1080
        time_and_peak "rot plan $mp" "$chain" rotate-cut-planned "$in" "$o-rot-plan.jpg" 30 1920 1080
        time_and_peak "rot im $mp" convert "$in" -background white -virtual-pixel background -interpolate bilinear \
            -filter point -define "distort:viewport=1920x1080+$cx+$cy" -distort SRT 30 +repage \
            "${im_jpeg_q90[@]}" "$o-rot-im.jpg"
        time_and_peak "info ours $mp" "$bench" info "$in"
        time_and_peak "info im $mp" identify -ping "$in"
        if ((r == 0)); then
            psnr+="$mp MP: "
            for job in cut turn rot; do
                for peer in vips plan im; do
                    if [[ -f $o-$job-$peer.jpg ]]; then check "$o-$job-ours.jpg" "$o-$job-$peer.jpg"; fi
                done
            done
            rm -f "$o"-*.jpg
        fi
    done
done

header
for mp in $sizes; do
    row "$mp MP --cut ms vs vips crop" "cut ours $mp" "cut vips $mp"
    row "$mp MP --cut ms vs convert IN[crop]" "cut ours $mp" "cut im $mp"
    row "$mp MP --cut MiB vs vips crop" "cut ours $mp kb" "cut vips $mp kb"
    row "$mp MP --turn --cut@50 ms vs libvips C" "turn ours $mp" "turn vips $mp"
    row "$mp MP --turn --cut@50 ms vs convert" "turn ours $mp" "turn im $mp"
    row "$mp MP --turn --cut@50 MiB vs libvips C" "turn ours $mp kb" "turn vips $mp kb"
    row "$mp MP --turn --cut@50 MiB vs convert" "turn ours $mp kb" "turn im $mp kb"
    row "$mp MP --rotate 30 --cut ms vs libvips C" "rot ours $mp" "rot vips $mp" "<= 0.4 (100)"
    row "$mp MP --rotate 30 --cut ms vs planned" "rot ours $mp" "rot plan $mp"
    row "$mp MP --rotate 30 --cut ms vs convert" "rot ours $mp" "rot im $mp"
    row "$mp MP --rotate 30 --cut MiB vs libvips C" "rot ours $mp kb" "rot vips $mp kb"
    row "$mp MP --rotate 30 --cut MiB vs planned" "rot ours $mp kb" "rot plan $mp kb"
    row "$mp MP info ms vs identify -ping" "info ours $mp" "info im $mp" "<= 2"
done
echo "pieces against trimlet's (PSNR): $psnr"
echo "threads: $threads"

# The README's table: ratios trimlet / peer, and peak memory side by side.
ratio() { awk -v a="$(median "$1")" -v b="$(median "$2")" 'BEGIN { printf "%.2f", a / b }'; }
mib() { local k s=""; for k; do s+="${s:+ / }$(median "$k kb")"; done; echo "$s"; }
line() {
    local label=$1 kind=$2 cells="" mp k keys
    shift 2
    for mp in $sizes; do
        keys=()
        for k; do keys+=("$k $mp"); done
        if [[ $kind == ratio ]]; then cells+=" $(ratio "${keys[@]}") |"; else cells+=" $(mib "${keys[@]}") |"; fi
    done
    echo "| $label |$cells"
}
echo
printf '| job (trimlet ÷ peer, medians of %s rounds) |' "$rounds"
for mp in $sizes; do printf ' %s MP |' "$mp"; done
printf '\n|---|'
for mp in $sizes; do printf -- '--:|'; done
echo
line '`--cut 1920x1080` ÷ `vips crop`' ratio "cut ours" "cut vips"
line 'the same ÷ `convert IN[1920x1080+X+Y]`' ratio "cut ours" "cut im"
line 'its peak memory, trimlet / vips crop / convert, MiB' mib "cut ours" "cut vips" "cut im"
line '`--turn right --cut 1920x1080@50` ÷ libvips C (region, rot, shrink)' ratio "turn ours" "turn vips"
line 'the same ÷ `convert -crop -rotate 90 -scale 50%`' ratio "turn ours" "turn im"
line 'its peak memory, trimlet / libvips / convert, MiB' mib "turn ours" "turn vips" "turn im"
line '`--rotate 30 --cut 1920x1080` ÷ libvips C (rotate, then crop)' ratio "rot ours" "rot vips"
line 'the same ÷ libvips C planned (only the box the piece samples)' ratio "rot ours" "rot plan"
line 'the same ÷ `convert -distort SRT 30` (viewport the piece)' ratio "rot ours" "rot im"
line 'its peak memory, trimlet / libvips / libvips planned / convert, MiB' mib "rot ours" "rot vips" "rot plan" "rot im"
line '`info` ÷ `identify -ping`' ratio "info ours" "info im"
