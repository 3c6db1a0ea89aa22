#!/usr/bin/env bash
# A folder of mixed photos cut in one pass with real keys under openbox, as a user works: the
# fit rate on, 1920 × 1080, 枠内保存 (Alt+X) and PageDown per photo, started with the keyboard on
# the quality slider, saves every photo once at the full cut size and the quality set; a second
# pass at 1080 × 1920 never lands on a piece of the first; a turn, リロード and Ctrl+Z give the
# turned picture back; "-45" typed at the first opening of 自由回転 turns by -45.
# Usage: folder_pass.sh TRIMLET_EXECUTABLE
# shellcheck source=tests/app/private_x.sh
source "$(dirname "$0")/private_x.sh" "$1"
x_server DISPLAY 1280x800
export DISPLAY
window_manager

folder=$work/photos
mkdir -p "$folder"
convert -size 3000x2000 gradient:red-navy -quality 92 "$folder/a.jpg"
convert -size 2000x3000 gradient:orange-teal -quality 92 "$folder/b.jpg"
convert -size 3000x2000 gradient:olive-pink -quality 92 "$folder/c.jpg"
# EXIF orientation 6: the stored 3000 × 2000 is shown turned right, as phones write it.
exiftool -q -overwrite_original -n -Orientation=6 "$folder/c.jpg"
convert -size 2600x2000 gradient:green-yellow -alpha set -channel A -evaluate set 50% "$folder/d.png"
convert -size 4000x2250 gradient:purple-white -quality 92 "$folder/e.jpg"
convert -size 2200x3300 gradient:black-cyan -quality 92 "$folder/f.jpg"
convert -size 3000x2000 gradient:brown-lime "$folder/g.bmp"
convert -size 2000x2600 gradient:gold-blue "$folder/h.png"
photos=(a b c d e f g h)
[ "$(identify -format '%[orientation]' "$folder/c.jpg")" = RightTop ] || fail "c.jpg has no EXIF turn"

ini=$work/bin/trimlet.ini
log=$work/trace.log
# run W H STEPS: one pass from a.jpg, keys sent to the window as a user types them.
pass() {
  printf '[winPosition]\r\nmain_w=1000\r\nmain_h=700\r\nmain_x=0\r\nmain_y=0\r\n[size]\r\nwidth=%s\r\nheight=%s\r\nfit=1\r\n[jpeg]\r\nquality=83\r\n' \
    "$1" "$2" > "$ini"
  start_window "$log" "focus:tbarQual;wait:120000" "$folder/a.jpg" || { fail "no window"; return; }
  sleep 0.5  # the focus step
  for _ in "${photos[@]}"; do xdotool key --delay 150 alt+x Next; done
  # shellcheck disable=SC2086  # the keys are words
  [ -z "$3" ] || xdotool key --delay 300 $3
  sleep 1
  xdotool key alt+q
  for _ in $(seq 100); do kill -0 "$pid" 2> /dev/null || break; sleep 0.1; done
  if kill -0 "$pid" 2> /dev/null; then fail "trimlet did not close: $(cat "$work/stderr")"; fi
}

pieces() { find "$folder" -name '*(*' | sort; }
pass 1920 1080 ""
for p in "${photos[@]}"; do
  out=$(ls "$folder/$p(1).jpg" 2> /dev/null || true)
  [ -n "$out" ] || { fail "no piece of $p: $(pieces | tr '\n' ' ')"; continue; }
  got=$(identify -format '%w %h %Q' "$out")
  [ "$got" = "1920 1080 83" ] || fail "$p(1).jpg: $got, not 1920 1080 83"
done
[ "$(pieces | wc -l)" -eq 8 ] || fail "the first pass wrote: $(pieces | tr '\n' ' ')"

# The second pass steps over the first one's pieces, and ends with a turn, a reload and an undo
# on its last photo.
pass 1080 1920 "alt+e alt+r alt+f alt+z ctrl+z alt+e alt+y minus 4 5 alt+r"
for p in "${photos[@]}"; do
  got=$(identify -format '%w %h' "$folder/$p(2).jpg" 2> /dev/null || echo none)
  [ "$got" = "1080 1920" ] || fail "$p(2).jpg: $got, not 1080 1920"
done
[ "$(pieces | wc -l)" -eq 16 ] || fail "the second pass wrote: $(pieces | tr '\n' ' ')"
if pieces | grep -q ')('; then fail "a piece was cut from a piece: $(pieces | tr '\n' ' ')"; fi

# The display copies painted last: turned, reloaded as stored, and turned again by the undo.
mapfile -t shown < <(awk '$2 == "rotated" { exit } $2 == "picture-painted" && $3 == "imgSource" { print $4 }' "$log" | tail -n 3)
landscape() { local w=${1%x*} h=${1#*x}; [ "$w" -gt "$h" ]; }
if [ "${#shown[@]}" -ne 3 ] || ! landscape "${shown[0]}" || landscape "${shown[1]}" || ! landscape "${shown[2]}"; then
  fail "turn, reload, undo showed: ${shown[*]}"
fi
rotated=$(awk '$2 == "rotated" { print $3 }' "$log")
[ "$rotated" = -45 ] || fail "自由回転 with -45 typed turned by '${rotated}'"
finish
