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
    export MAGICK_CONFIGURE_PATH=$dir VIPS_CONCURRENCY=1 MAGICK_THREAD_LIMIT=1 OMP_NUM_THREADS=1
}

# Wall time of a command in milliseconds.
wall_ms() {
    local start=$EPOCHREALTIME
    "$@" >/dev/null
    awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f\n", (b - a) * 1000 }'
}

declare -A times

# One run of our benchmark program, each benchmark's real time added to times[NAME].
time_ours() {
    local name ms
    while read -r name ms; do
        times[$name]+="$ms "
    done < <("$bench" --benchmark_format=csv 2>/dev/null |
        awk -F, '/^"BM_/ { gsub(/"/, "", $1); sub(/\/real_time$/, "", $1); print $1, $3 }')
}

# times[KEY] += wall time of the rest of the command line.
time_peer() {
    local key=$1
    shift
    times[$key]+="$(wall_ms "$@") "
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
