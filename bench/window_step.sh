#!/usr/bin/env bash
# How long PageDown makes a user wait for the next photo of a folder, against a plain image
# viewer (feh, its Right key) on the same folder, on a private X server with openbox. Between
# keys each viewer gets a user's moment to look at the photo (THINK seconds), as in a folder
# pass where every photo is framed and saved.
#   trimlet: from the key to the next picture painted (the program's own trace);
#   feh: from the key to its window's title naming the next file (set once it is drawn);
#   memory: the peak resident set of the whole run, trimlet's from its trace, feh's from
#   /usr/bin/time.
#   bench/window_step.sh [BUILD_DIR] [KIND] [STEPS]    defaults: build, jpeg, 4
#   KIND jpeg: 24 MP JPEGs (q90); heic: 12 MP HEICs (heif-enc, q80). Made once in
#   $TRIMLET_STEP_DIR (default /tmp/trimlet-step). TRIMLET_STEP_THINK=S sets the pause (0: keys
#   in a row, before anything could be decoded ahead).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build}")
kind=${2:-jpeg}
steps=${3:-4}
exe=$build/app/trimlet
[ -x "$exe" ] || { echo "window_step.sh: $exe is not built" >&2; exit 1; }
case $kind in
  jpeg) w=6000 h=4000 think=2 ext=jpg ;;
  heic) w=4000 h=3000 think=6 ext=heic ;;
  *) echo "usage: bench/window_step.sh [BUILD_DIR] [jpeg|heic] [STEPS]" >&2; exit 2 ;;
esac
think=${TRIMLET_STEP_THINK:-$think}
for tool in xvfb-run openbox xdotool xprop feh vips heif-enc; do
  command -v "$tool" > /dev/null || { echo "window_step.sh: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done
if [ -z "${TRIMLET_STEP_XVFB:-}" ]; then
  exec env TRIMLET_STEP_XVFB=1 xvfb-run -a -n $((200 + RANDOM % 700)) -s "-noreset -screen 0 1600x1000x24" \
    "$0" "$build" "$kind" "$steps"
fi

cache=${TRIMLET_STEP_DIR:-/tmp/trimlet-step}
folder=$cache/$kind
mkdir -p "$folder"
if [ ! -s "$folder/photo$((steps + 1)).$ext" ]; then
  t=$(mktemp -d "$cache/make-XXXXXX")
  for c in r g b; do vips gaussnoise "$t/$c.v" $((w / 16)) $((h / 16)) --mean 128 --sigma 60; done
  vips bandjoin "$t/r.v $t/g.v $t/b.v" "$t/c.v"
  vips resize "$t/c.v" "$t/big.v" 16 --kernel cubic
  vips gaussnoise "$t/n.v" "$w" "$h" --mean 0 --sigma 6
  vips add "$t/big.v" "$t/n.v" "$t/sum.v"
  vips cast "$t/sum.v" "$t/u.v" uchar
  if [ "$kind" = jpeg ]; then
    vips colourspace "$t/u.v" "$t/photo.jpg[Q=90]" srgb
  else
    vips colourspace "$t/u.v" "$t/photo.png" srgb
    heif-enc -q 80 -o "$t/photo.heic" "$t/photo.png" > /dev/null
  fi
  # Files of their own, so that nothing is served from a cache of the same name.
  for i in $(seq $((steps + 1))); do cp "$t/photo.$ext" "$folder/photo$i.$ext"; done
  rm -rf "$t"
fi

# shellcheck source=bench/window_lib.sh
source "$root/bench/window_lib.sh" "$exe" "$build"
ms() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.0f", (b - a) * 1000 }'; }
# until_line FILE AWK-CONDITION: the first line that meets it, waiting up to 60 s.
until_line() {
  local found=
  for _ in $(seq 3000); do
    found=$(awk "$2 { print; exit }" "$1")
    [ -n "$found" ] && { echo "$found"; return 0; }
    sleep 0.02
  done
  echo "window_step.sh: timed out waiting in $1" >&2
  return 1
}

# trimlet: the first photo, its 10-megapixel question answered いいえ, then PageDown per photo.
printf '[winPosition]\r\nmain_w=960\r\nmain_h=640\r\nmain_x=0\r\nmain_y=0\r\n' > "$work/bin/trimlet.ini"
log=$work/trace.log
: > "$log"
TRIMLET_TRACE=$log TRIMLET_ACTIONS="click:btnNo;wait:600000" "$work/bin/trimlet" "$folder/photo1.$ext" \
  2> "$work/stderr" & pid=$!
pids+=("$pid")
until_line "$log" '$2 == "picture-painted" && $3 == "imgSource"' > /dev/null
until_line "$log" '$2 == "question-answered"' > /dev/null  # its box is gone
sleep 0.2
wid=$(xdotool search --onlyvisible --pid "$pid" --name '^trimlet' | head -n 1)
trimlet_times=()
for i in $(seq "$steps"); do
  sleep "$think"
  xdotool windowactivate --sync "$wid" 2> /dev/null || true
  t0=$(now)
  xdotool key --window "$wid" Next
  shown=$(until_line "$log" "\$1 > $t0 && \$2 == \"picture-painted\" && \$3 == \"imgSource\"" | awk '{ print $1 }')
  trimlet_times+=("$(ms "$t0" "$shown")")
done
trimlet_peak=$(tail -n 1 "$log" | awk '{ for (i = 4; i <= NF; ++i) if ($i ~ /^hwm=/) { sub(/hwm=/, "", $i); print $i } }')
kill "$pid" 2> /dev/null || true

# feh on the same files in a window of the same size.
/usr/bin/time -f %M -o "$work/feh-mem" feh -g 960x640 --scale-down "$folder"/photo*."$ext" & fpid=$!
pids+=("$fpid")
fwid=
for _ in $(seq 6000); do
  # The window that names the first file: feh's first window may be replaced while it loads.
  for candidate in $(xdotool search --onlyvisible --class feh 2> /dev/null || true); do
    xprop -id "$candidate" WM_NAME 2> /dev/null | grep -q "photo1\." && fwid=$candidate
  done
  [ -n "$fwid" ] && break
  sleep 0.01
done
titles=$work/titles
: > "$titles"
xprop -id "$fwid" -spy WM_NAME | while IFS= read -r line; do echo "$(now) $line" >> "$titles"; done & pids+=($!)
feh_times=()
for i in $(seq "$steps"); do
  sleep "$think"
  t0=$(now)
  xdotool key --window "$fwid" Right
  shown=$(until_line "$titles" "\$1 > $t0 && /photo$((i + 1))\\./" | awk '{ print $1 }')
  feh_times+=("$(ms "$t0" "$shown")")
done
xdotool key --window "$fwid" q
wait "$fpid" || true
feh_peak=$(tail -n 1 "$work/feh-mem")

median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
tm=$(median "${trimlet_times[@]}")
fm=$(median "${feh_times[@]}")
echo "folder: $folder ($kind, ${w} x ${h}), $steps steps, ${think} s between keys"
echo "trimlet PageDown to shown (ms): ${trimlet_times[*]}; median $tm; peak $((trimlet_peak / 1024)) MiB"
echo "feh Right to shown (ms):        ${feh_times[*]}; median $fm; peak $((feh_peak / 1024)) MiB"
awk -v t="$tm" -v f="$fm" 'BEGIN { printf "trimlet / feh: %.2fx\n", t / f }'
