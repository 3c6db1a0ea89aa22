#!/usr/bin/env bash
# Times trimlet's HEIC, AVIF and TIFF decodes (bench_decoders) against the formats' own
# command-line decoders on the same 4000 × 3000 files; prints medians.
#   bench/heif_peers.sh [BUILD_DIR] [ROUNDS]
# Then a 1920 × 1080 cut from a 6000 × 4000 HEIC made as cameras make them, a grid of 512 × 512
# tiles (put together here from heif-enc's tiles: heif-enc writes no grids), and from an AVIF
# grid of the same tiles (avifenc --grid): trimlet-cli against vips crop, both on every core,
# each a whole process, with its peak memory.
# heif-convert and avifdec write Y4M, their cheapest output: the decoded YUV planes as they are,
# with no RGB conversion and no compression, so their figures are a lower bound of a decode to
# pixels (ours converts to RGB). tiff2rgba runs libtiff's RGBA reader, as ours does, and writes an
# uncompressed TIFF. All read from and write to a tmpfs and include their process start. Both
# sides run pinned to the same single CPU (taskset), so a library's worker threads count
# alike on either side; avifdec and ours both use libavif's default of one thread.
set -euo pipefail

build=${1:-build}
rounds=${2:-5}
bench=$build/bench/bench_decoders
tools=(heif-convert avifdec tiff2rgba heif-enc avifenc convert taskset vips python3 /usr/bin/time)
source "$(dirname "$0")/peers_lib.sh"
peers_setup decoders
[[ -s $dir/photo.heic && -s $dir/photo.avif && -s $dir/photo.tif ]] || { echo "bench_decoders wrote no files" >&2; exit 1; }
cpu=$(($(nproc) - 1))
pin=(taskset -c "$cpu")
# time_ours, pinned; the files already in $dir are used, not made again.
bench_pinned() {
    local csv name ms
    csv=$("${pin[@]}" "$bench" --benchmark_format=csv 2>/dev/null) || { echo "failed: $bench" >&2; return 1; }
    while read -r name ms; do
        times[$name]+="$ms "
    done < <(awk -F, '/^"BM_/ { gsub(/"/, "", $1); sub(/\/real_time$/, "", $1); print $1, $3 }' <<<"$csv")
}

for ((r = 0; r < rounds; ++r)); do
    TRIMLET_BENCH_WRITE=$dir bench_pinned
    rm -f "$dir/out.y4m" "$dir/out.tif"
    time_peer heif_convert "${pin[@]}" heif-convert --quiet "$dir/photo.heic" "$dir/out.y4m"
    rm -f "$dir/out.y4m"
    time_peer avifdec "${pin[@]}" avifdec "$dir/photo.avif" "$dir/out.y4m"
    time_peer tiff2rgba "${pin[@]}" tiff2rgba -n -c none "$dir/photo.tif" "$dir/out.tif"
done

header
row "HEIC decode vs heif-convert to Y4M" BM_HeifDecode heif_convert "<= 1.2"
row "AVIF decode vs avifdec to Y4M" BM_AvifDecode avifdec
row "TIFF LZW decode vs tiff2rgba" BM_TiffDecodeLzw tiff2rgba
echo "peers, one process each on a tmpfs, pinned with ${pin[*]} as ours: heif-convert --quiet to Y4M; avifdec to Y4M; tiff2rgba -n -c none"

# A HEIF grid of the single-image HEIFs given (row by row), showing WIDTH × HEIGHT of them.
#   heif_grid COLUMNS ROWS WIDTH HEIGHT OUT TILE.heic...
heif_grid() {
    python3 - "$@" <<'PY'
import struct, sys
def boxes(b, s, e):
    while s + 8 <= e:
        size, = struct.unpack('>I', b[s:s + 4])
        yield b[s + 4:s + 8], s, s + size
        s += size
def box(t, body, v=None, flags=0):
    head = b'' if v is None else struct.pack('>I', v << 24 | flags)
    return struct.pack('>I', 8 + len(head) + len(body)) + t + head + body
cols, rows, width, height = map(int, sys.argv[1:5])
tiles = []
for path in sys.argv[6:]:
    b = open(path, 'rb').read()
    for t, s, e in boxes(b, 0, len(b)):
        if t == b'mdat':
            data = b[s + 8:e]
        if t == b'meta':
            iprp = next(x for x in boxes(b, s + 12, e) if x[0] == b'iprp')
            ipco = next(x for x in boxes(b, iprp[1] + 8, iprp[2]) if x[0] == b'ipco')
            props = [b[x[1]:x[2]] for x in boxes(b, ipco[1] + 8, ipco[2])]
    tiles.append((props, data))
n = len(tiles)
assert n == cols * rows
infes = struct.pack('>H', n + 1) + box(b'infe', struct.pack('>HH', 1, 0) + b'grid\0', 2)
dimg = struct.pack('>HH', 1, n)
ipco = box(b'ispe', struct.pack('>II', width, height), 0)
ipma = struct.pack('>HBH', 1, 1, 1)
index = {}
for i, (props, data) in enumerate(tiles):
    infes += box(b'infe', struct.pack('>HH', i + 2, 0) + b'hvc1\0', 2, 1)
    dimg += struct.pack('>H', i + 2)
    for p in props:
        if p not in index:
            ipco += p
            index[p] = len(index) + 2
    ipma += struct.pack('>HB', i + 2, len(props)) + b''.join(struct.pack('>H', index[p]) for p in props)
payload = struct.pack('>BBBBHH', 0, 0, rows - 1, cols - 1, width, height)
ftyp = box(b'ftyp', b'heic\0\0\0\0mif1heic')
def meta(start):
    iloc = struct.pack('>BBH', 0x44, 0, n + 1)
    for i, size in enumerate([len(payload)] + [len(d) for _, d in tiles]):
        iloc += struct.pack('>HHHII', i + 1, 0, 1, start, size)
        start += size
    return box(b'meta', box(b'hdlr', b'\0' * 4 + b'pict' + b'\0' * 13, 0) + box(b'pitm', b'\0\1', 0) +
               box(b'iinf', infes, 0) + box(b'iref', box(b'dimg', dimg), 0) + box(b'iloc', iloc, 0) +
               box(b'iprp', box(b'ipco', ipco) + box(b'ipma', struct.pack('>I', n + 1) + ipma, 0, 1)), 0)
open(sys.argv[5], 'wb').write(ftyp + meta(len(ftyp) + len(meta(0)) + 8) +
                              box(b'mdat', payload + b''.join(d for _, d in tiles)))
PY
}

cli=$build/cli/trimlet-cli
TRIMLET_BENCH_WRITE=$dir "$build/bench/bench_jpeg" --benchmark_filter=NONE >/dev/null 2>&1 || true
[[ -s $dir/photo.jpg ]] || { echo "bench_jpeg wrote no photo.jpg" >&2; exit 1; }
mkdir -p "$dir/tiles"
convert "$dir/photo.jpg" -background gray -extent 6144x4096 "$dir/padded.png"
convert "$dir/padded.png" -crop 512x512 +repage "$dir/tiles/t_%03d.png"
ls "$dir"/tiles/t_*.png | xargs -P "$(nproc)" -I{} heif-enc -q 80 -o {}.heic {} >/dev/null
heif_grid 12 8 6000 4000 "$dir/grid.heic" "$dir"/tiles/t_*.png.heic
avifenc -j "$(nproc)" -s 8 -y 420 --grid 12x8 "$dir/padded.png" "$dir/grid.avif" >/dev/null
left=$(((6000 - 1920) / 2)) top=$(((4000 - 1080) / 2))
for ((r = 0; r < rounds; ++r)); do
    for kind in heic avif; do
        rm -f "$dir/cut.jpg" "$dir/vcut.jpg"
        time_peer "cut_$kind" "$cli" "$dir/grid.$kind" --cut 1920x1080 --output "$dir/cut.jpg"
        time_peer "vips_$kind" vips crop "$dir/grid.$kind" "$dir/vcut.jpg" "$left" "$top" 1920 1080
        rm -f "$dir/cut.jpg" "$dir/vcut.jpg"
        peak_kb "cut_${kind}_kb" "$cli" "$dir/grid.$kind" --cut 1920x1080 --output "$dir/cut.jpg"
        peak_kb "vips_${kind}_kb" vips crop "$dir/grid.$kind" "$dir/vcut.jpg" "$left" "$top" 1920 1080
    done
done
row "1920x1080 cut of a HEIC grid vs vips crop" cut_heic vips_heic "<= 0.35"
row "1920x1080 cut of an AVIF grid vs vips crop" cut_avif vips_avif "<= 0.35"
row "  peak kB, HEIC" cut_heic_kb vips_heic_kb
row "  peak kB, AVIF" cut_avif_kb vips_avif_kb
uptime
