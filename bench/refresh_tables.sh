#!/usr/bin/env bash
# Prints the README's peer tables in its Markdown, measured afresh, with the machine, the date
# and the load (uptime) before and after each, to paste beside the tables:
#   bench/compare.sh   the operations table (6000 × 4000 photo);
#   bench/scale.sh     whole jobs on 6–400 MP JPEGs, the rotation's acceptance figure included;
#   bench/lossless_peers.sh  the lossless row's figures.
#   bench/refresh_tables.sh [BUILD_DIR] [ROUNDS] [SIZES]   defaults: build, 5, "6 24 100 400"
# Run it on a quiet machine: about 20 minutes with the defaults on 2 cores (the first run also
# makes the 400 MP JPEG). Progress goes to standard error, the tables to standard output.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
rounds=${2:-5}
sizes=${3:-6 24 100 400}
[[ $rounds =~ ^[1-9][0-9]*$ ]] || { echo "usage: bench/refresh_tables.sh [BUILD_DIR] [ROUNDS] [SIZES]" >&2; exit 2; }
((rounds >= 5)) || echo "warning: $rounds rounds: the README quotes medians of 5 or more" >&2
cpu=$(lscpu | sed -n 's/^Model name: *//p' | head -n 1)
load() { uptime | sed 's/.*load average: //'; }
measured() { echo "Measured $(date +%F) on ${cpu:-an unknown CPU} ($(nproc) cores); load average (1, 5, 15 min) before $1, after $(load)."; }

before=$(load)
"$root/bench/compare.sh" "$build" "$rounds"
echo
measured "$before"

echo
before=$(load)
out=$("$root/bench/scale.sh" "$build" "$rounds" "$sizes")
echo "Whole jobs, trimlet ÷ peer, libvips $(vips --version | sed 's/^vips-//'), $(convert -version | sed -n '1s/^Version: ImageMagick \([^ ]*\) \([^ ]*\).*/ImageMagick \1 \2/p'):"
sed -n '/^threads: /p' <<<"$out"
echo
sed -n '/^| job/,$p' <<<"$out"
echo
sed -n '/^pieces against/p' <<<"$out"
measured "$before"

echo
before=$(load)
out=$("$root/bench/lossless_peers.sh" "$build" $((rounds * 3)))
awk -v r=$((rounds * 3)) '
    /^lossless 1920x1080 cut: ms/ { ms = $7; jms = $8; t = $9 }
    /^  peak kB vs jpegtran/ { kb = $5; jkb = $6; m = $7 }
    END { printf "| `--cut 1920x1080 --lossless` ÷ `jpegtran -crop` (24 MP, medians of %d): time; peak memory | %s; %s |\n", r, t, m
          printf "trimlet %.0f ms and %.0f MiB against jpegtran'"'"'s %.0f ms and %.0f MiB.\n", ms, kb / 1024, jms, jkb / 1024 }' <<<"$out"
sed -n '/^bytes: /p' <<<"$out"
measured "$before"
