#!/usr/bin/env bash
# One trimlet per graphical session: a start on a second X display runs a trimlet of its own
# there, while a later start on either display only brings that display's trimlet forward
# and ends at once — also when the display is spelled another way (":N.0").
# Usage: two_sessions.sh TRIMLET_EXECUTABLE
# shellcheck source=tests/app/private_x.sh
source "$(dirname "$0")/private_x.sh" "$1"
convert -size 64x48 xc:orange "$work/picture.bmp"
unset DISPLAY WAYLAND_DISPLAY XDG_SESSION_ID
a="" b=""
x_server a 1024x768
x_server b 1024x768
windows_on() { DISPLAY=$1 xwininfo -root -tree | grep -c '"trimlet": ("trimlet"' || true; }
wait_window() { for _ in $(seq 100); do [ "$(windows_on "$1")" -ge 1 ] && return; sleep 0.1; done; }

DISPLAY=$a "$work/bin/trimlet" & first=$!
pids+=("$first")
wait_window "$a"
DISPLAY=$b "$work/bin/trimlet" & second=$!
pids+=("$second")
wait_window "$b"
sleep 0.5
kill -0 "$second" 2> /dev/null || fail "the start on the second display ended"
[ "$(windows_on "$b")" -eq 1 ] || fail "the second display shows $(windows_on "$b") trimlet windows"
[ "$(windows_on "$a")" -eq 1 ] || fail "the first display shows $(windows_on "$a") trimlet windows"

# Later starts in either session end at once and leave one window there.
for display in "$a" "$a.0" "$b"; do
  status=0
  DISPLAY=$display timeout 10 "$work/bin/trimlet" "$work/picture.bmp" || status=$?
  [ "$status" -eq 0 ] || fail "a later start on $display exited with $status"
done
sleep 0.5
kill -0 "$first" 2> /dev/null || fail "the first display's trimlet ended"
kill -0 "$second" 2> /dev/null || fail "the second display's trimlet ended"
[ "$(windows_on "$a") $(windows_on "$b")" = "1 1" ] || fail "windows after the later starts: $(windows_on "$a") and $(windows_on "$b")"

finish
