#!/usr/bin/env bash
# Starts and closes the real trimlet under a real window manager (openbox on a private Xvfb),
# the way a user does, and reads its frame every time: five starts leave the frame exactly
# where it was; a window dragged by its title bar comes back where it was dropped; a window
# closed maximised comes back maximised and un-maximises to its old place; a size written by
# an older trimlet for a maximised window never makes the frame larger than the screen.
# Usage: window_placement.sh TRIMLET_EXECUTABLE
# shellcheck source=tests/app/private_x.sh
source "$(dirname "$0")/private_x.sh" "$1"
ini=$work/bin/trimlet.ini
screen_w=1280 screen_h=800
x_server DISPLAY ${screen_w}x$screen_h
export DISPLAY
window_manager

# The frame of the window as the window manager drew it: "X Y W H", title bar and border
# included.
frame_of() {
  local info extents left right top bottom
  info=$(xwininfo -id "$1")
  extents=$(xprop -id "$1" _NET_FRAME_EXTENTS | sed -n 's/.*= //p' | tr -d ' ')
  IFS=, read -r left right top bottom <<< "${extents:-0,0,0,0}"
  local x y w h
  x=$(sed -n 's/.*Absolute upper-left X: *//p' <<< "$info")
  y=$(sed -n 's/.*Absolute upper-left Y: *//p' <<< "$info")
  w=$(sed -n 's/^ *Width: *//p' <<< "$info")
  h=$(sed -n 's/^ *Height: *//p' <<< "$info")
  echo "$((x - left)) $((y - top)) $((w + left + right)) $((h + top + bottom))"
}

# Starts trimlet and waits until its window stands still; sets pid and wid.
start() {
  "$work/bin/trimlet" & pid=$!
  wid=""
  for _ in $(seq 100); do
    wid=$(xdotool search --onlyvisible --pid "$pid" --name '^trimlet$' 2> /dev/null | head -1 || true)
    [ -n "$wid" ] && xprop -id "$wid" _NET_FRAME_EXTENTS | grep -q '=' && break
    sleep 0.1
  done
  [ -n "$wid" ] || { fail "no window appeared"; return 1; }
  settle
}

# Waits until two readings of the frame 200 ms apart agree.
settle() {
  local last="" now
  for _ in $(seq 25); do
    sleep 0.2
    now=$(frame_of "$wid")
    [ "$now" = "$last" ] && return 0
    last=$now
  done
}

# Closes the window one of the ways a user does, and waits for the program to end.
close_by() {
  case $1 in
    wm) wmctrl -i -c "$wid" ;;
    alt-q) xdotool windowactivate --sync "$wid" key --clearmodifiers alt+q ;;
    alt-f4) xdotool windowactivate --sync "$wid" key --clearmodifiers alt+F4 ;;
  esac
  for _ in $(seq 100); do kill -0 "$pid" 2> /dev/null || break; sleep 0.1; done
  if kill -0 "$pid" 2> /dev/null; then
    fail "closing by $1 did not end trimlet"
    kill "$pid"
  fi
  wait "$pid" || fail "trimlet closed by $1 exited with $?"
}

maximised() { xprop -id "$wid" _NET_WM_STATE | grep -q '_NET_WM_STATE_MAXIMIZED_VERT.*_NET_WM_STATE_MAXIMIZED_HORZ\|_NET_WM_STATE_MAXIMIZED_HORZ.*_NET_WM_STATE_MAXIMIZED_VERT'; }
key() { tr -d '\r' < "$ini" | sed -n "s/^$1=//p"; }
# Double-clicks or drags the title bar, 40 pixels right of the frame's corner.
title_bar() { read -r x y _ <<< "$(frame_of "$wid")"; echo "$((x + 40)) $((y + 8))"; }
# Double-clicks the title bar until the window is maximised (yes) or not (no); on a busy
# machine two clicks may arrive too far apart to count as one double click.
double_click_title() {
  local x y
  for _ in 1 2 3; do
    read -r x y <<< "$(title_bar)"
    xdotool mousemove "$x" "$y" sleep 0.2 click --repeat 2 --delay 80 1
    settle
    if maximised; then [ "$1" = yes ] && return 0; else [ "$1" = no ] && return 0; fi
  done
  return 1
}

# Five starts from a stored place: the frame stays exactly there, whichever way it closes.
printf '[winPosition]\r\nmain_w=900\r\nmain_h=560\r\nmain_x=150\r\nmain_y=100\r\n' > "$ini"
client_size="900 560"
expected=""
for run in 1 2 3 4 5; do
  start || break
  frame=$(frame_of "$wid")
  read -r fx fy fw fh <<< "$frame"
  [ "$fx $fy" = "150 100" ] || fail "start $run: frame at $fx,$fy, not 150,100"
  [ -z "$expected" ] && expected=$frame
  [ "$frame" = "$expected" ] || fail "start $run: frame $frame, first start $expected"
  close_by "$(echo wm alt-q alt-f4 wm alt-q | cut -d' ' -f$run)"
  [ "$(key main_x) $(key main_y)" = "150 100" ] || fail "start $run saved the place $(key main_x),$(key main_y)"
  [ "$(key main_w) $(key main_h)" = "$client_size" ] || fail "start $run saved the size $(key main_w)x$(key main_h)"
done
echo "five starts: frame $expected"

# Dragged by the title bar: the next start is where it was dropped.
# On a busy machine openbox may take the press for a click and miss the drag; a user would
# simply drag again, and so does this.
start
for _ in 1 2 3; do
  read -r x y <<< "$(title_bar)"
  xdotool mousemove "$x" "$y" sleep 0.3 mousedown 1 sleep 0.3 mousemove $((x + 30)) $((y + 20)) sleep 0.3 \
    mousemove $((x + 100)) $((y + 60)) sleep 0.3 mouseup 1
  settle
  moved=$(frame_of "$wid")
  [ "${moved% * *}" = "150 100" ] || break
done
read -r mx my _ <<< "$moved"
[ "$mx $my" = "250 160" ] || fail "the drag left the frame at $mx,$my, not 250,160"
close_by wm
start
[ "$(frame_of "$wid")" = "$moved" ] || fail "after the drag the frame came back as $(frame_of "$wid"), not $moved"

# Maximised by a double click on the title bar and closed so: it comes back maximised,
# inside the screen, and un-maximises to where it was.
double_click_title yes || fail "the double click did not maximise"
close_by wm
[ "$(key main_max)" = 1 ] || fail "a maximised close saved main_max=$(key main_max)"
[ "$(key main_x) $(key main_y) $(key main_w) $(key main_h)" = "250 160 900 560" ] ||
  fail "a maximised close saved $(key main_x),$(key main_y) $(key main_w)x$(key main_h), not the normal place"
start
maximised || fail "closed maximised, it came back not maximised"
read -r fx fy fw fh <<< "$(frame_of "$wid")"
((fx >= 0 && fy >= 0 && fx + fw <= screen_w && fy + fh <= screen_h)) || fail "maximised frame $fx,$fy ${fw}x$fh overhangs the screen"
double_click_title no || fail "the double click did not un-maximise"
[ "$(frame_of "$wid")" = "$moved" ] || fail "un-maximised to $(frame_of "$wid"), not $moved"
close_by alt-q
[ "$(key main_max)" = 0 ] || fail "a normal close saved main_max=$(key main_max)"
start
[ "$(frame_of "$wid")" = "$moved" ] || fail "after un-maximising the frame came back as $(frame_of "$wid")"
close_by wm

# What an older trimlet wrote for a maximised window: its client area filled the screen.
printf '[winPosition]\r\nmain_w=%d\r\nmain_h=%d\r\nmain_x=0\r\nmain_y=0\r\n' $screen_w $((screen_h - 19)) > "$ini"
start
read -r fx fy fw fh <<< "$(frame_of "$wid")"
((fx >= 0 && fy >= 0 && fx + fw <= screen_w && fy + fh <= screen_h)) || fail "an old maximised size gave the frame $fx,$fy ${fw}x$fh"
close_by wm
start
[ "$(frame_of "$wid")" = "$fx $fy $fw $fh" ] || fail "the fitted frame moved to $(frame_of "$wid") at the next start"
close_by wm

finish
