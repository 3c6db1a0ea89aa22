#!/usr/bin/env bash
# Times `trimlet-cli info` against `identify -ping` on the same files: a 20000 × 14000 JPEG,
# a 20000 × 20000 PNG and a 6000 × 4000 photo; prints the medians of wall time and of peak
# memory (maximum resident set, /usr/bin/time %M) with their ratios.
#   bench/info_peers.sh [BUILD_DIR] [ROUNDS]
# Both read headers only, so the pictures' content does not matter; libvips writes them
# without holding them whole. Targets: within 2× of identify -ping in time and memory, at most
# 10 MB for any file, and for the two big files under 0.1 s and 16 MiB.
set -euo pipefail

build=${1:-build}
rounds=${2:-9}
bench=$build/cli/trimlet-cli
tools=(identify vips /usr/bin/time)
source "$(dirname "$0")/peers_lib.sh"
peers_setup info
peers_single_thread
# Debian's policy also refuses pictures wider or taller than 16000 pixels.
sed -i 's|</policymap>|  <policy domain="resource" name="width" value="64KP"/>\n  <policy domain="resource" name="height" value="64KP"/>\n</policymap>|' "$dir/policy.xml"

vips black "$dir/wide.jpg" 20000 14000 --bands 3
vips black "$dir/square.png" 20000 20000 --bands 3
vips gaussnoise "$dir/noise.v" 6000 4000 --mean 128 --sigma 40
vips colourspace "$dir/noise.v" "$dir/photo.jpg[Q=90]" srgb
rm -f "$dir/noise.v"
files=(wide.jpg square.png photo.jpg)
[ "$("$bench" info "$dir/wide.jpg" | cut -f3-)" = "$(printf '20000\t14000')" ] || { echo "info is wrong" >&2; exit 1; }

for ((r = 0; r < rounds; ++r)); do
    for f in "${files[@]}"; do
        time_peer "ours $f" "$bench" info "$dir/$f"
        time_peer "theirs $f" identify -ping "$dir/$f"
        peak_kb "ours kb $f" "$bench" info "$dir/$f"
        peak_kb "theirs kb $f" identify -ping "$dir/$f"
    done
done

header
for f in "${files[@]}"; do
    target="<= 2"
    [ "$f" = photo.jpg ] || target="<= 2, and under 100 ms"
    row "info $f: ms vs identify -ping" "ours $f" "theirs $f" "$target"
done
for f in "${files[@]}"; do
    target="<= 2, and at most 10 MB"
    [ "$f" = photo.jpg ] || target="<= 2, and under 16 MiB"
    row "info $f: peak kB vs identify -ping" "ours kb $f" "theirs kb $f" "$target"
done
echo "peer, one process per file on a tmpfs: identify -ping FILE"
