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
for tool in "$bench" vips convert; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done

dir=$(mktemp -d "${TRIMLET_BENCH_TMP:-/dev/shm}/trimlet-reduce-XXXXXX")
trap 'rm -rf "$dir"' EXIT
TRIMLET_BENCH_WRITE=$dir "$bench" --benchmark_filter=NONE >/dev/null 2>&1 || true
[[ -s $dir/photo.ppm && -s $dir/third.ppm && -s $dir/region.ppm ]] || { echo "bench_reduce wrote no pictures" >&2; exit 1; }

# Debian caps ImageMagick at 256 MiB, which sends a 24-megapixel picture to a disk cache.
cat >"$dir/policy.xml" <<'EOF'
<policymap>
  <policy domain="resource" name="memory" value="8GiB"/>
  <policy domain="resource" name="map" value="8GiB"/>
  <policy domain="resource" name="area" value="2GP"/>
  <policy domain="resource" name="disk" value="16GiB"/>
</policymap>
EOF
export MAGICK_CONFIGURE_PATH=$dir VIPS_CONCURRENCY=1 MAGICK_THREAD_LIMIT=1 OMP_NUM_THREADS=1

photo=$dir/photo.ppm
region=(-crop 4000x3000+1000+500 +repage -scale '1600x1200!')

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
    times[vips_third]+="$(wall_ms vips shrink "$photo" "$dir/vips_third.v" 3 3) "
    times[vips_base]+="$(wall_ms vips avg "$photo") "
    times[im_third]+="$(wall_ms convert "$photo" -scale 33.333% "$dir/im_third.ppm") "
    times[im_region]+="$(wall_ms convert "$photo" "${region[@]}" "$dir/im_region.ppm") "
    times[im_base]+="$(wall_ms convert "$photo" -crop 2000x1333+0+0 +repage "$dir/im_base.ppm") "
done

median() { tr ' ' '\n' <<<"${times[$1]}" | sed '/^$/d' | sort -g |
    awk '{ t[NR] = $1 } END { print (NR % 2) ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2 }'; }
row() {
    local ours theirs
    ours=$(median "$2") theirs=$(median "$3")
    printf '%-34s %9.1f %9.1f %7.2f\n' "$1" "$ours" "$theirs" "$(awk -v a="$ours" -v b="$theirs" 'BEGIN { print a / b }')"
}
printf '%-34s %9s %9s %7s\n' "median ms of $rounds rounds" trimlet peer ratio
row "third vs vips shrink 3 3" BM_ReduceThird vips_third
row "third vs convert -scale 33.333%" BM_ReduceThird im_third
row "region vs convert -crop -scale" BM_ReduceRegion im_region
row "third vs memcpy of the source" BM_ReduceThird BM_Memcpy72MB
printf '%-34s %9s %9.1f\n' "  vips start-up + load (avg)" "" "$(median vips_base)"
printf '%-34s %9s %9.1f\n' "  convert start-up + load + save" "" "$(median im_base)"
printf '%-34s %9.1f\n' "coprime 1999 x 1333 (ours only)" "$(median BM_ReduceCoprime)"

# Same work, not just the same time: -scale averages areas exactly as we do (Q16 rounding may
# differ by one level); vips shrink drops the last source row that does not fill a 3-row band.
if command -v compare >/dev/null; then
    for name in third region; do
        n=$(compare -metric AE -fuzz 0.4% "$dir/$name.ppm" "$dir/im_$name.ppm" null: 2>&1 || true)
        echo "convert's $name differs from ours by more than one level in $n pixels"
    done
fi
