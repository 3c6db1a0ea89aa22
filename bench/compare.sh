#!/usr/bin/env bash
# How fast trimlet is against libvips and ImageMagick on this machine: one Markdown table (for
# the README) of medians over RUNS rounds, all on the same 6000 × 4000 photo-like q90 JPEG and
# its PPM, the peers on one thread. Two to three minutes with the default 5 rounds on 2 cores.
#   bench/compare.sh [BUILD_DIR] [RUNS]        defaults: build, 5
# Builds the benchmark programs and trimlet-cli in BUILD_DIR first (a folder without a CMake
# cache is configured as a Release build). Rounds interleave ours and theirs, so load from other
# users of the machine hits both alike. Progress goes to standard error, the table to standard
# output.
# Peers: one vips or convert command per operation; the pipeline, a whole job, is libvips in one
# process through its C API (bench/vips_chain, built with libvips-dev) and one convert, both
# cutting before they turn as trimlet does. No interpreter is started anywhere.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
runs=${2:-5}
[[ $runs =~ ^[1-9][0-9]*$ ]] || { echo "usage: bench/compare.sh [BUILD_DIR] [RUNS]" >&2; exit 2; }
build=$(realpath -m "${1:-$root/build}")  # the rounds run inside the picture's folder
started=$SECONDS

# --- trimlet's programs -------------------------------------------------------------------------
cache=$build/CMakeCache.txt
if [[ ! -f $cache ]]; then
    echo "configuring $build" >&2
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cached() { sed -n "s/^$1:[A-Z]*=//p" "$cache"; }
if [[ $(cached TRIMLET_BENCH) == OFF ]]; then
    echo "$build has the benchmarks switched off; reconfigure it with -DTRIMLET_BENCH=ON" >&2
    exit 1
fi
echo "building the benchmark programs, trimlet-cli and vips_chain in $build" >&2
if ! log=$(cmake --build "$build" --parallel 2 --target bench_jpeg bench_turns bench_reduce bench_pipeline trimlet-cli vips_chain 2>&1); then
    grep -q "unknown target 'vips_chain'" <<<"$log" &&
        echo "vips_chain, libvips' side of the pipeline, needs libvips-dev (scripts/install-deps.sh); reconfigure $build after installing it" >&2
    tail -n 30 <<<"$log" >&2
    exit 1
fi
build_type=$(cached CMAKE_BUILD_TYPE)
build_type=${build_type:-RelWithDebInfo}  # the project's default for an empty cache entry
[[ $(cached TRIMLET_SANITIZE) == ON ]] && build_type+=" with sanitizers"
case $build_type in
Release | RelWithDebInfo) ;;
*) echo "warning: $build is a $build_type build; its figures say little about trimlet's speed" >&2 ;;
esac
cli=$build/cli/trimlet-cli

# --- the picture and the peers ------------------------------------------------------------------
bench=$build/bench/bench_pipeline
chain=$build/bench/vips_chain
tools=(vips convert compare identify "$cli" "$chain" "$build/bench/bench_jpeg" "$build/bench/bench_turns" "$build/bench/bench_reduce")
source "$root/bench/peers_lib.sh"
peers_setup compare  # photo.ppm, photo.jpg (our q90 encoding of it) and tiny.jpg in $dir
for f in photo.ppm photo.jpg tiny.jpg; do
    [[ -s $dir/$f ]] || { echo "bench_pipeline wrote no $f" >&2; exit 1; }
done
peers_single_thread
cd "$dir"
read -r width height < <(head -c 64 photo.ppm | awk 'NR == 2 { print $1, $2 }')
peers_rotation "$width" "$height"

# The pipeline's region as trimlet-cli places it: 3840 × 2160 picture pixels (1920 × 1080 at
# 50 %) around the middle of the picture turned right, which is height × width.
crop_w=3840 crop_h=2160
crop_x=$((height / 2 - crop_w / 2)) crop_y=$((width / 2 - crop_h / 2))
cli_pipeline=("$cli" photo.jpg --turn right --cut 1920x1080@50 --output cli_pipeline.jpg --force)
# libvips in one process through its C API, with trimlet's plan: the stored region that turns
# into the piece (2160 × 3840 at ($stored_x, $stored_y)), then rot d90 and shrink 2 2.
stored_x=$crop_y stored_y=$((height - crop_x - crop_w))
vips_pipeline=("$chain" turn-cut photo.jpg vips_pipeline.jpg "$crop_w" "$crop_h" 2)
# ImageMagick the same way: the stored region, then -rotate 90 -scale 50%.
im_pipeline=(convert "${im_float_dct[@]}" photo.jpg -crop "${crop_h}x${crop_w}+$stored_x+$stored_y" +repage -rotate 90
    -scale 50% "${im_jpeg_q90[@]}" im_pipeline.jpg)

# ours PROGRAM [ARGS]: one run of one of our benchmark programs.
ours() {
    local bench=$1
    shift
    time_ours "$@"
}

for ((r = 1; r <= runs; ++r)); do
    echo "round $r of $runs ($((SECONDS - started)) s so far)" >&2
    ours "$build/bench/bench_jpeg"
    ours "$build/bench/bench_turns" '--benchmark_filter=^BM_(TurnRight|TurnLeft|HalfTurn|FlipVertical|FlipHorizontal|Rotate30/threads:1)/'
    ours "$build/bench/bench_reduce" '--benchmark_filter=^BM_Reduce(Third|Region)/'
    ours "$build/bench/bench_pipeline"

    time_peer vips_decode vips avg photo.jpg
    time_peer im_decode convert "${im_float_dct[@]}" photo.jpg null:
    time_peer vips_encode vips copy photo.ppm "vips_encode.jpg$vips_jpeg_q90"
    time_peer im_encode convert "${im_float_dct[@]}" photo.ppm "${im_jpeg_q90[@]}" im_encode.jpg
    time_peer vips_right vips rot photo.ppm vips_out.v d90
    time_peer vips_left vips rot photo.ppm vips_out.v d270
    time_peer vips_half vips rot photo.ppm vips_out.v d180
    time_peer vips_vertical vips flip photo.ppm vips_out.v vertical
    time_peer vips_horizontal vips flip photo.ppm vips_out.v horizontal
    time_peer vips_rotate vips affine photo.ppm vips_out.v "${vips_affine[@]}"
    time_peer vips_third vips shrink photo.ppm vips_out.v "${vips_third[@]}"
    time_peer im_right convert photo.ppm -rotate 90 im_out.ppm
    time_peer im_left convert photo.ppm -rotate 270 im_out.ppm
    time_peer im_half convert photo.ppm -rotate 180 im_out.ppm
    time_peer im_vertical convert photo.ppm -flip im_out.ppm
    time_peer im_horizontal convert photo.ppm -flop im_out.ppm
    time_peer im_rotate convert photo.ppm "${im_srt[@]}" im_out.ppm
    time_peer im_third convert photo.ppm "${im_third[@]}" im_out.ppm
    time_peer im_region convert photo.ppm "${im_region[@]}" im_out.ppm

    time_peer cli_pipeline "${cli_pipeline[@]}"
    time_peer vips_pipeline "${vips_pipeline[@]}"
    time_peer im_pipeline "${im_pipeline[@]}"
    time_peer cli_start "$cli" tiny.jpg --output cli_tiny.jpg --force
    time_peer vips_start vips copy tiny.jpg vips_tiny.jpg
    time_peer im_start convert tiny.jpg im_tiny.jpg
    time_peer vips_read vips avg photo.ppm
    time_peer im_read convert photo.ppm null:
    time_peer vips_copy vips copy photo.ppm vips_out.v
    time_peer im_copy convert photo.ppm im_out.ppm
done

# --- the same work ------------------------------------------------------------------------------
# The pipelines' results must match trimlet-cli's apart from JPEG coding: a misplaced region or a
# different reduction falls far below 40 dB.
size=$(identify -format '%wx%h' cli_pipeline.jpg)
[[ $size == 1920x1080 ]] || { echo "trimlet-cli's pipeline gave $size, not 1920x1080" >&2; exit 1; }
psnr() {
    local db
    db=$(compare -metric PSNR cli_pipeline.jpg "$1" null: 2>&1 || true)
    if [[ $db == inf ]]; then
        echo "identical pixels"
        return
    fi
    awk -v d="$db" -v f="$1" 'BEGIN { if (d + 0 < 40) printf "warning: %s is only %s dB from trimlet-cli'"'"'s result\n", f, d > "/dev/stderr"; printf "%.1f dB PSNR", d }'
}
vips_psnr=$(psnr vips_pipeline.jpg)
im_psnr=$(psnr im_pipeline.jpg)

# --- the table ----------------------------------------------------------------------------------
rows=(
    "JPEG decode ¹ ³" BM_JpegDecode vips_decode im_decode
    "JPEG encode q90 ¹ ³" BM_JpegEncodeQ90 vips_encode im_encode
    "turn right ¹" BM_TurnRight vips_right im_right
    "turn left ¹" BM_TurnLeft vips_left im_left
    "half turn ¹" BM_HalfTurn vips_half im_half
    "flip top to bottom ¹" BM_FlipVertical vips_vertical im_vertical
    "flip left to right ¹" BM_FlipHorizontal vips_horizontal im_horizontal
    "rotate 30°, bilinear, same canvas, white ¹ ⁴" BM_Rotate30/threads:1 vips_rotate im_rotate
    "reduce the whole picture to a third ¹ ⁵" BM_ReduceThird vips_third im_third
    "reduce a 4000 × 3000 region to 1600 × 1200 ¹ ⁵" BM_ReduceRegion - im_region
    "decode JPEG, turn right, cut 1920 × 1080 at 50 %, encode q90 ² ⁶" cli_pipeline vips_pipeline im_pipeline
    "the same pipeline in one process, file in memory ¹" BM_Pipeline - -
    "start-up: 16 × 16 JPEG in, JPEG out ²" cli_start vips_start im_start
    "peers' floor: start-up + read the PPM (vips avg, convert to null:) ²" - vips_read im_read
    "peers' floor: start-up + read the PPM + write it unchanged ²" - vips_copy im_copy
)
# A figure that never came (a benchmark renamed, say) is a fault, not an empty cell; "-" is a
# cell left empty on purpose.
for ((i = 0; i < ${#rows[@]}; i += 4)); do
    for key in "${rows[@]:i+1:3}"; do
        [[ $key == - || -n ${times[$key]:-} ]] || { echo "no figure for $key" >&2; exit 1; }
    done
done
cell() { if [[ $1 == - ]]; then echo —; else printf '%.1f' "$(median "$1")"; fi; }
ratio() {
    if [[ $1 == — || $2 == — ]]; then echo —; else awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; fi
}

cpu=$(lscpu | sed -n 's/^Model name: *//p' | head -n 1)
echo
echo "trimlet against libvips and ImageMagick on a ${width} × ${height} photo-like picture: medians of $runs runs," \
    "$(date +%F), ${cpu:-unknown CPU} ($(getconf _NPROCESSORS_ONLN) cores), libvips $(vips --version | sed 's/^vips-//')," \
    "$(convert -version | sed -n '1s/^Version: ImageMagick \([^ ]*\) \([^ ]*\).*/ImageMagick \1 \2/p'), trimlet $build_type build."
echo
echo '| operation | trimlet median ms | libvips median ms | ImageMagick median ms | trimlet/libvips | trimlet/ImageMagick |'
echo '|---|--:|--:|--:|--:|--:|'
for ((i = 0; i < ${#rows[@]}; i += 4)); do
    ours=$(cell "${rows[i + 1]}") vips=$(cell "${rows[i + 2]}") im=$(cell "${rows[i + 3]}")
    printf '| %s | %s | %s | %s | %s | %s |\n' "${rows[i]}" "$ours" "$vips" "$im" "$(ratio "$ours" "$vips")" "$(ratio "$ours" "$im")"
done
cat <<EOF

Ratios below 1 mean trimlet is faster. Every peer figure is a whole process's wall time (start-up,
reading its input from a tmpfs, the work, writing the result there); nothing is subtracted.
Peers run on one thread (VIPS_CONCURRENCY=1 MAGICK_THREAD_LIMIT=1 OMP_NUM_THREADS=1) with
ImageMagick's memory limit raised above Debian's 256 MiB through MAGICK_CONFIGURE_PATH; trimlet's
figures are single-threaded too.

1. trimlet in process: Google Benchmark's real time per call, picture already in memory, result in
   fresh memory (the flips and the half turn work in place, as the window does them). Against
   whole processes these ratios flatter trimlet by the peers' start-up and file work, which the
   last three rows show on their own: start-up alone goes with decoding, start-up + reading the
   PPM with encoding and the reductions, + writing 72 MB with the turns, flips and rotation.
2. Whole processes on every side: trimlet-cli, vips and convert reading and writing files.
3. trimlet decodes and encodes with libjpeg-turbo's floating-point DCT; ImageMagick is given the
   same (-define jpeg:dct-method=float); libvips cannot select it and uses the integer DCT.
   Decode: vips avg photo.jpg, convert photo.jpg null:. Encode from the PPM, baseline 4:2:0 with
   standard tables: vips copy to out.jpg$vips_jpeg_q90;
   convert ${im_jpeg_q90[*]}.
4. vips affine with the bilinear interpolator on a canvas of the picture's size (vips rotate would
   enlarge it); convert ${im_srt[*]}.
5. Exact area averages: vips shrink 3 3, convert -scale 33.333%;
   convert ${im_region[*]}.
   libvips: — because it has no exact area average to a ratio that is not whole (2.5): vips shrink
   adds a lanczos step for the fraction, and zoom-then-shrink needs its C API.
6. trimlet-cli photo.jpg --turn right --cut 1920x1080@50 --output out.jpg; both peers with trimlet's
   plan, the stored ${crop_h}×${crop_w} region at ($stored_x, $stored_y) that turns into the piece first: libvips in
   one process through its C API (bench/vips_chain turn-cut: extract_area, rot d90, shrink 2 2),
   convert -crop -rotate 90 -scale 50%. Results against trimlet-cli's:
   libvips $vips_psnr, ImageMagick $im_psnr (48 dB: the same pixels but for JPEG coding).
EOF
echo "compare.sh took $((SECONDS - started)) s" >&2
