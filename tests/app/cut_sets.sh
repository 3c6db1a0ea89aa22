#!/usr/bin/env bash
# A set cut from a folder of photos with real keys under openbox: the set chosen from the menu
# beside the cut size (Space on it, Down, Return), 枠内保存 (Alt+X) and PageDown per photo, saves
# every photo's pieces at their sizes under one number each; the same with a span of two
# monitors writes each screen's piece at its own size.
# Usage: cut_sets.sh TRIMLET_EXECUTABLE
# shellcheck source=tests/app/private_x.sh
source "$(dirname "$0")/private_x.sh" "$1"
x_server DISPLAY 1280x800
export DISPLAY
window_manager

folder=$work/photos
mkdir -p "$folder"
convert -size 3600x2700 gradient:red-navy -quality 92 "$folder/a.jpg"
convert -size 2700x3600 gradient:orange-teal -quality 92 "$folder/b.jpg"

ini=$work/bin/trimlet.ini
log=$work/trace.log
# pass SET DOWNS: one pass over the folder with the stored set, chosen DOWNS items below none.
pass() {
  printf '[winPosition]\r\nmain_w=1000\r\nmain_h=700\r\nmain_x=0\r\nmain_y=0\r\n[size]\r\nfit=1\r\n[sets]\r\n机=%s\r\n' \
    "$1" > "$ini"
  start_window "$log" "focus:btnCutSet;wait:120000" "$folder/a.jpg" || { fail "no window"; return; }
  sleep 0.5  # the focus step
  # shellcheck disable=SC2046  # the keys are words
  xdotool key --delay 200 space $(printf 'Down %.0s' $(seq "$2")) Return
  sleep 0.3
  xdotool key --delay 300 alt+x Next alt+x
  sleep 1
  xdotool key alt+q
  for _ in $(seq 100); do kill -0 "$pid" 2> /dev/null || break; sleep 0.1; done
  if kill -0 "$pid" 2> /dev/null; then fail "trimlet did not close: $(cat "$work/stderr")"; fi
}

size() { identify -format '%wx%h' "$1" 2> /dev/null || echo none; }
pieces() { find "$folder" -name '*(*' | sort | tr '\n' ' '; }

# Down thrice: none, この画面すべて, then the stored set.
pass 1920x1080,1080x2400 3
for p in a b; do
  for s in 1920x1080 1080x2400; do
    got=$(size "$folder/$p(1)_$s.jpg")
    [ "$got" = "$s" ] || fail "$p(1)_$s.jpg: $got; written: $(pieces)"
  done
done
[ "$(find "$folder" -name '*(*' | wc -l)" -eq 4 ] || fail "the set pass wrote: $(pieces)"

pass "span:2560x1440+0+0/597,1920x1080+2560+180/527;bezel:10" 3
for p in a b; do
  for s in 2560x1440 1920x1080; do
    got=$(size "$folder/$p(2)_$s.jpg")
    [ "$got" = "$s" ] || fail "$p(2)_$s.jpg: $got; written: $(pieces)"
  done
done
finish
