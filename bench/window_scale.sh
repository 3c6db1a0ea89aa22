#!/usr/bin/env bash
# How long the window makes a user wait on a large photo, against a plain image viewer (feh) on
# the same file, on a private X server with openbox:
#   start → first paint of the window; start → the picture shown at the display's size (the
#   first look, a DCT-scaled decode, when there is one; else the whole picture); start → the
#   whole picture shown (its decode on its own, as the program timed it); a window resize (from the settled resize to the picture painted anew);
#   a quarter turn (its kernel, and the click to the turned picture painted); the peak memory up
#   to the picture shown, against the 24-bit picture's bytes.
# The program writes the moments itself (TRIMLET_TRACE); feh's shown moment is when its window
# becomes viewable, which it does once the picture is drawn (feh runs under /usr/bin/time for its
# peak memory and is looked for every 10 ms, which costs it a little).
#   bench/window_scale.sh [BUILD_DIR] [ROUNDS]        defaults: build, 3; medians of the rounds
#   TRIMLET_WINDOW_PICTURE=FILE   the picture (default /tmp/trimlet-scale/photo100.jpg, which
#                                 bench/scale.sh makes)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build}")
rounds=${2:-3}
picture=$(realpath -m "${TRIMLET_WINDOW_PICTURE:-/tmp/trimlet-scale/photo100.jpg}")
[[ $rounds =~ ^[1-9][0-9]*$ ]] || { echo "usage: bench/window_scale.sh [BUILD_DIR] [ROUNDS]" >&2; exit 2; }
exe=$build/app/trimlet
[ -x "$exe" ] || { echo "window_scale.sh: $exe is not built" >&2; exit 1; }
[ -f "$picture" ] || { echo "window_scale.sh: no $picture (bench/scale.sh makes it)" >&2; exit 1; }
for tool in xvfb-run openbox xdotool feh identify; do
  command -v "$tool" > /dev/null || { echo "window_scale.sh: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done

# A fresh X server of its own; the search for a free display starts at a random number, so
# that runs started together do not race for one.
if [ -z "${TRIMLET_WINDOW_XVFB:-}" ]; then
  exec env TRIMLET_WINDOW_XVFB=1 xvfb-run -a -n $((200 + RANDOM % 700)) -s "-noreset -screen 0 1600x1000x24" \
    "$0" "$build" "$rounds"
fi

# shellcheck source=bench/window_lib.sh
source "$root/bench/window_lib.sh" "$exe" "$build"

read -r pw ph < <(identify -ping -format '%w %h\n' "$picture")
picture_kib=$((pw * ph * 3 / 1024))

# await FILE PATTERN: until a line of the trace matches, at most 60 s. Neither the reading nor
# the pause forks: a grep and a sleep every 20 ms cost the program on two cores about 40 ms of
# its first paint.
mkfifo "$work/tick"
exec {tick}<> "$work/tick"
await() {
  local fd line= part=
  exec {fd}< "$1"
  for _ in {1..3000}; do
    while IFS= read -r part <&"$fd"; do
      line+=$part
      [[ $line == *"$2"* ]] && { exec {fd}<&-; return 0; }
      line=
    done
    line+=$part
    read -r -t 0.02 -u "$tick" _ || true
  done
  exec {fd}<&-
  echo "window_scale.sh: no '$2' in the trace" >&2
  return 1
}

# The first trace line with EVENT [DETAIL-PREFIX] after time AFTER; its moment (seconds); its
# high-water mark (the last line's is the run's peak).
line_at() { awk -v e="$2" -v d="${3:-}" -v a="${4:-0}" '$1 >= a && $2 == e && index($3, d) == 1 { print; exit }' "$1"; }
at() { line_at "$@" | awk '{ print $1 }'; }
hwm_of() { awk '{ for (i = 4; i <= NF; ++i) if ($i ~ /^hwm=/) { sub(/hwm=/, "", $i); print $i } }'; }
hwm_at() { line_at "$@" | hwm_of; }
ms() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "" || b == "") print "-"; else printf "%.0f", (b - a) * 1000 }'; }

results=$work/results
: > "$results"
for round in $(seq "$rounds"); do
  # trimlet: start with the picture, answer the 10-megapixel question, resize, turn right, close.
  printf '[winPosition]\r\nmain_w=960\r\nmain_h=640\r\nmain_x=0\r\nmain_y=0\r\n' > "$work/bin/trimlet.ini"
  log=$work/trace-$round.log
  : > "$log"
  start=$(now)
  echo "$start launch - rss=0 hwm=0" >> "$log"
  # Started straight from here: /usr/bin/time in between delays the first paint by about 20 ms.
  TRIMLET_TRACE=$log TRIMLET_ACTIONS="click:btnNo;wait:4000;click:btnRotR;wait:4000;close" \
    "$work/bin/trimlet" "$picture" 2> "$work/stderr-$round" &
  pid=$!
  pids+=("$pid")
  await "$log" 'load-end'
  sleep 0.8
  wid=$(xdotool search --onlyvisible --pid "$pid" --name '^trimlet$' | head -n 1)
  resized=$(now)
  xdotool windowsize "$wid" 1240 820
  wait "$pid" || { echo "window_scale.sh: trimlet failed: $(cat "$work/stderr-$round")" >&2; exit 1; }

  painted=$(at "$log" window-painted)
  # The decode on its own: on a thread of its own from the start (prefetch), else in the load.
  decoded_from=$(at "$log" prefetch-begin)
  decoded=$(at "$log" prefetch-decoded)
  [ -n "$decoded_from" ] || { decoded_from=$(at "$log" load-begin); decoded=$(at "$log" load-decoded); }
  whole=$(at "$log" picture-painted imgSource "$decoded")
  shown=$(at "$log" picture-painted imgSource)
  # The 10-megapixel question comes before the whole picture is shown; the time it stands open
  # is the user's, not the program's.
  asked=$(at "$log" question-asked)
  answered=$(at "$log" question-answered)
  unasked() { awk -v s="$1" -v a="$asked" -v b="$answered" 'BEGIN { if (a != "" && a < s) s -= b - a; printf "%.6f", s }'; }
  whole=$(unasked "$whole")
  shown=$(unasked "$shown")
  shown_hwm=$(hwm_at "$log" picture-painted imgSource "$decoded")
  settled=$(at "$log" layout-begin "" "$resized")
  reshown=$(at "$log" picture-painted imgSource "$settled")
  turn=$(at "$log" turn-begin)
  turned=$(at "$log" turn-kernel-end)
  turn_shown=$(at "$log" picture-painted imgSource "$turned")
  peak=$(tail -n 1 "$log" | hwm_of)

  # feh on the same file in a window of the same size.
  start_feh=$(now)
  /usr/bin/time -f %M -o "$work/feh-$round" feh -g 960x640 --scale-down "$picture" & fpid=$!
  pids+=("$fpid")
  fwid=""
  for _ in $(seq 6000); do
    fwid=$(xdotool search --onlyvisible --class feh 2> /dev/null | head -n 1 || true)
    [ -n "$fwid" ] && break
    kill -0 "$fpid" 2> /dev/null || break  # gone without a window: the round has no feh figure
    sleep 0.01
  done
  feh_shown=$(now)
  [ -n "$fwid" ] || feh_shown=""
  xdotool key --window "$fwid" q 2> /dev/null || kill "$fpid" 2> /dev/null || true
  wait "$fpid" || true
  feh_peak=$(tail -n 1 "$work/feh-$round")

  echo "$round $(ms "$start" "$painted") $(ms "$start" "$shown") $(ms "$start" "$whole") $(ms "$decoded_from" "$decoded")" \
    "$(ms "$settled" "$reshown") $(ms "$resized" "$reshown") $(ms "$turn" "$turned") $(ms "$turn" "$turn_shown")" \
    "$shown_hwm $peak $(ms "$start_feh" "$feh_shown") $feh_peak" >> "$results"
done

echo "picture: $picture, ${pw} x ${ph}, 24-bit: $((picture_kib / 1024)) MiB; $rounds rounds, times in ms, memory in MiB"
awk -v pk="$picture_kib" '
  function mib(k) { return k == "" ? "-" : sprintf("%.0f", k / 1024) }
  BEGIN {
    printf "%-5s %6s %6s %6s %6s %7s %7s %7s %6s %6s %8s %8s %6s %6s\n", "round", "paint", "shown", "whole", "decode", \
      "settle", "resize", "kernel", "turn", "mem", "mem/pic", "peak", "feh", "fehmem"
  }
  {
    printf "%-5s %6s %6s %6s %6s %7s %7s %7s %6s %6s %8.2f %8s %6s %6s\n", $1, $2, $3, $4, $5, $6, $7, $8, $9, mib($10), \
      $10 / pk, mib($11), $12, mib($13)
    n++; for (i = 2; i <= 13; ++i) if ($i != "-") v[i, ++c[i]] = $i  # a round without a figure has no say
  }
  function median(i,   a, k, j, t, m) {
    m = c[i]
    for (k = 1; k <= m; ++k) a[k] = v[i, k]
    for (k = 2; k <= m; ++k) for (j = k; j > 1 && a[j - 1] > a[j]; --j) { t = a[j]; a[j] = a[j - 1]; a[j - 1] = t }
    return m % 2 ? a[(m + 1) / 2] : (a[m / 2] + a[m / 2 + 1]) / 2
  }
  END {
    if (!n) exit
    for (i = 2; i <= 13; ++i) m[i] = median(i)
    printf "%-5s %6.0f %6.0f %6.0f %6.0f %7.0f %7.0f %7.0f %6.0f %6s %8.2f %8s %6.0f %6s\n", "median", m[2], m[3], m[4], \
      m[5], m[6], m[7], m[8], m[9], mib(m[10]), m[10] / pk, mib(m[11]), m[12], mib(m[13])
    printf "\nstart to first paint: %.0f ms\n", m[2]
    printf "start to picture shown at the display size: %.0f ms\n", m[3]
    printf "start to the whole picture shown: %.0f ms = decode %.0f ms + %.0f ms\n", m[4], m[5], m[4] - m[5]
    printf "resize (settled to painted): %.0f ms; from the resize itself, with the 200-400 ms settling: %.0f ms\n", m[6], m[7]
    printf "quarter turn (click to painted): %.0f ms = kernel %.0f ms + %.0f ms\n", m[9], m[8], m[9] - m[8]
    printf "peak memory to picture shown: %.2f x the 24-bit picture; whole run (with the turn): %s MiB\n", m[10] / pk, mib(m[11])
    printf "feh: start to shown %.0f ms, peak %s MiB; trimlet / feh: shown %.2fx, whole %.2fx, memory %.2fx\n", m[12], \
      mib(m[13]), m[3] / m[12], m[4] / m[12], m[10] / m[13]
  }' "$results"
