# Shared by the *_peers.sh scripts: sourced, never run. Each script sets `bench` (our benchmark
# program) and `tools` (the peers it calls), then calls peers_setup NAME.
# Rounds interleave ours and theirs, so load from other users of the machine hits both alike.

# Checks the programs, makes a tmpfs folder $dir and lets the benchmark write its pictures there.
peers_setup() {
    local tool
    for tool in "$bench" "${tools[@]}"; do
        command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
    done
    dir=$(mktemp -d "${TRIMLET_BENCH_TMP:-/dev/shm}/trimlet-$1-XXXXXX")
    trap 'rm -rf "$dir"' EXIT
    TRIMLET_BENCH_WRITE=$dir "$bench" --benchmark_filter=NONE >/dev/null 2>&1 || true
}

# Pins the peers to one thread and lifts Debian's 256 MiB ImageMagick cap, which would send a
# 24-megapixel picture to a disk cache.
peers_single_thread() {
    cat >"$dir/policy.xml" <<'POLICY'
<policymap>
  <policy domain="resource" name="memory" value="8GiB"/>
  <policy domain="resource" name="map" value="8GiB"/>
  <policy domain="resource" name="area" value="2GP"/>
  <policy domain="resource" name="disk" value="16GiB"/>
</policymap>
POLICY
    # trimlet's own kernels too, so that every figure compares one thread with one thread.
    export MAGICK_CONFIGURE_PATH=$dir VIPS_CONCURRENCY=1 MAGICK_THREAD_LIMIT=1 OMP_NUM_THREADS=1 TRIMLET_THREADS=1
}

# Invocations that make the peers do the same work as ours (../shared/PEERS.md has the reasons).
# Exact area averages: the whole picture to a third; a 4000 × 3000 region at (1000, 500) to
# 1600 × 1200, for which libvips has no single operation.
vips_third=(3 3)
im_third=(-scale 33.333%)
im_region=(-crop 4000x3000+1000+500 +repage -scale '1600x1200!')
# Baseline 4:2:0 JPEG at q90 with the standard tables; ImageMagick also takes our
# floating-point DCT, which libvips cannot select. vips's goes after the output file's name.
vips_jpeg_q90='[Q=90,subsample-mode=on]'
im_jpeg_q90=(-quality 90 -sampling-factor 2x2 -define jpeg:optimize-coding=false)
im_float_dct=(-define jpeg:dct-method=float)

# peers_rotation WIDTH HEIGHT: sets vips_affine and im_srt to turn that picture by 30° clockwise
# on screen (y down) about its middle, bilinear, canvas kept, white outside. vips rotate and
# similarity would enlarge the canvas; without -filter point convert ignores -interpolate.
peers_rotation() {
    local w=$1 h=$2
    vips_affine=("0.8660254037844387 -0.5 0.5 0.8660254037844387" --interpolate bilinear
        --idx "$(awk -v w="$w" 'BEGIN { print -(w / 2 - 0.5) }')" --idy "$(awk -v h="$h" 'BEGIN { print -(h / 2 - 0.5) }')"
        --odx "$(awk -v w="$w" 'BEGIN { print w / 2 - 0.5 }')" --ody "$(awk -v h="$h" 'BEGIN { print h / 2 - 0.5 }')"
        --oarea "0 0 $w $h" --background "255 255 255")
    im_srt=(-background white -virtual-pixel background -interpolate bilinear -filter point -distort SRT 30)
}

# Wall time of a command in milliseconds. A command substitution does not inherit set -e, so a
# failing peer would otherwise be timed as if it had done the work.
wall_ms() {
    local start=$EPOCHREALTIME
    "$@" >/dev/null || { echo "failed ($?): $*" >&2; return 1; }
    awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f\n", (b - a) * 1000 }'
}

declare -A times

# One run of our benchmark program (extra arguments go to it, e.g. --benchmark_filter=RE), each
# benchmark's real time added to times[NAME]. A crash stops the script rather than leaving a
# figure out.
time_ours() {
    local csv name ms
    csv=$("$bench" --benchmark_format=csv "$@" 2>/dev/null) || { echo "failed: $bench $*" >&2; return 1; }
    while read -r name ms; do
        times[$name]+="$ms "
    done < <(awk -F, '/^"BM_/ { gsub(/"/, "", $1); sub(/\/real_time$/, "", $1); print $1, $3 }' <<<"$csv")
}

# times[KEY] += wall time of the rest of the command line.
time_peer() {
    local key=$1
    shift
    times[$key]+="$(wall_ms "$@") "
}

# times[KEY] += peak resident kilobytes of the rest of the command line (the caller sets dir).
peak_kb() {
    local key=$1
    shift
    /usr/bin/time -f %M -o "$dir/rss" "$@" >/dev/null || { echo "failed: $*" >&2; return 1; }
    times[$key]+="$(cat "$dir/rss") "
}

# times[KEY] += wall ms and times[KEY kb] += peak resident MiB of the rest of the command line,
# from one run (the caller sets dir).
time_and_peak() {
    local key=$1 start
    shift
    start=$EPOCHREALTIME
    /usr/bin/time -f %M -o "$dir/rss" "$@" >/dev/null || { echo "failed: $*" >&2; exit 1; }
    times[$key]+="$(awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f", (b - a) * 1000 }') "
    times[$key kb]+="$(($(tail -n 1 "$dir/rss") / 1024)) "
}

median() {
    tr ' ' '\n' <<<"${times[$1]}" | sed '/^$/d' | sort -g |
        awk '{ t[NR] = $1 } END { print (NR % 2) ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2 }'
}

# row LABEL OURS THEIRS [TARGET]: medians and their ratio.
row() {
    local ours theirs
    ours=$(median "$2") theirs=$(median "$3")
    printf '%-40s %9.1f %9.1f %7.2f  %s\n' "$1" "$ours" "$theirs" \
        "$(awk -v a="$ours" -v b="$theirs" 'BEGIN { print a / b }')" "${4:-}"
}

header() { printf '%-40s %9s %9s %7s  %s\n' "median ms of $rounds rounds" trimlet peer ratio target; }
