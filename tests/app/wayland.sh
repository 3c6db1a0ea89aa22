#!/usr/bin/env bash
# The real trimlet under Debian's weston with its headless backend, on Qt's Wayland platform
# (no fallback to X or offscreen): it starts with a picture and saves a piece of it, a second
# start reaches the first and ends, and the window keeps the size it was given through starts
# and closes, which Wayland lets the program set but never tells it a place for. Then the
# clipboard and drags, which need input devices that the headless backend lacks, under weston's
# X11 backend on a private Xvfb, where xdotool moves the pointer (WAYLAND_INPUT_TESTS).
# Skipped (77) without weston or Qt's Wayland platform.
# Usage: wayland.sh TRIMLET_EXECUTABLE [WAYLAND_INPUT_TESTS]
set -uo pipefail
# shellcheck source=tests/app/private_copy.sh
. "$(dirname "$0")/private_copy.sh"
command -v weston >/dev/null || { echo "SKIPPED: weston is not installed (scripts/install-deps.sh test)"; exit 77; }
plugins=$(qtpaths6 --query QT_INSTALL_PLUGINS 2>/dev/null || echo /usr/lib/x86_64-linux-gnu/qt6/plugins)
ls "$plugins"/platforms/libqwayland-*.so >/dev/null 2>&1 \
  || { echo "SKIPPED: Qt's Wayland platform is not installed (qt6-wayland)"; exit 77; }

private_copy "$1" pictures
input_tests=${2:-}
servers=()
trap 'for p in "${servers[@]}"; do kill "$p" 2>/dev/null; done; private_copy_cleanup' EXIT
export QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY=trimlet-test
unset DISPLAY
# weston SOCKET OPTION...: starts weston and waits for its socket.
weston_on() {
  weston --socket="$1" --width=1280 --height=800 --idle-time=0 "${@:2}" >"$work/weston-$1.log" 2>&1 &
  servers+=($!)
  for _ in $(seq 100); do [ -S "$XDG_RUNTIME_DIR/$1" ] && return 0; sleep 0.1; done
  cat "$work/weston-$1.log"
  return 1
}
weston_on "$WAYLAND_DISPLAY" --backend=headless-backend.so || { echo "FAIL: weston did not start"; exit 1; }

picture=$work/pictures/photo.png
convert -size 1000x700 gradient:orange-navy "$picture"
kind_and_size() { identify -format '%m %wx%h' "$1" 2>/dev/null || echo "unreadable"; }
# Runs trimlet with the steps; prints its exit status.
run() {
  local status=0
  TRIMLET_ACTIONS=$1 timeout 30 "$work/bin/trimlet" "${@:2}" >"$work/stderr" 2>&1 || status=$?
  echo "$status"
}

# --- starts on Wayland with the picture: a save from the window is a piece of it
status=$(run "click:btnSave;wait:300;close" "$picture")
[ "$status" -eq 0 ] || fail "run on Wayland exited with $status: $(cat "$work/stderr")"
[ "$(kind_and_size "$work/pictures/photo(1).jpg")" = "JPEG 640x640" ] \
  || fail "the piece saved on Wayland: $(kind_and_size "$work/pictures/photo(1).jpg")"

# --- the window keeps its size: set in the settings, it comes back from the close unchanged;
# the place an X11 session stored stays, since Wayland tells the window none
settings=$(settings_file) || { fail "no settings file written"; finish; }
value() { tr -d '\r' <"$settings" | sed -n "s/^$1=//p"; }
sed -i 's/^main_w=[-0-9]*/main_w=900/; s/^main_h=[-0-9]*/main_h=650/; s/^main_x=[-0-9]*/main_x=123/; s/^main_y=[-0-9]*/main_y=77/' "$settings"
for round in 1 2; do
  status=$(run "wait:500;close")
  [ "$status" -eq 0 ] || fail "size run $round exited with $status: $(cat "$work/stderr")"
  [ "$(value main_w)x$(value main_h)" = 900x650 ] \
    || fail "size after run $round: $(value main_w)x$(value main_h), not 900x650"
  [ "$(value main_x),$(value main_y)" = 123,77 ] \
    || fail "place after run $round: $(value main_x),$(value main_y), not the stored 123,77"
done

# --- a second start reaches the first and ends at once; the first runs on
"$work/bin/trimlet" >"$work/first.log" 2>&1 & pid=$!
for _ in $(seq 100); do [ -n "$(find "$XDG_RUNTIME_DIR" -type s ! -name "$WAYLAND_DISPLAY")" ] && break; sleep 0.1; done
[ -n "$(find "$XDG_RUNTIME_DIR" -type s ! -name "$WAYLAND_DISPLAY")" ] || fail "the first trimlet listens for no later start"
status=0
timeout 10 "$work/bin/trimlet" "$picture" >"$work/second.log" 2>&1 || status=$?
[ "$status" -eq 0 ] || fail "the second start exited with $status: $(cat "$work/second.log")"
sleep 0.5
kill -0 "$pid" 2>/dev/null || fail "the first trimlet ended when the second started"
# Steps given to a second start cannot run, and say so.
status=$(run "close" "$picture")
[ "$status" -eq 1 ] && grep -q 'another trimlet is running' "$work/stderr" \
  || fail "a second start with steps exited with $status: $(cat "$work/stderr")"
kill -TERM "$pid"
status=
for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || { wait "$pid"; status=$?; break; }; sleep 0.1; done
pid=
[ "${status:-none}" = 0 ] || fail "the first trimlet did not close on SIGTERM (status ${status:-none})"

# --- the clipboard and drags, with a pointer and a keyboard
if [ -n "$input_tests" ]; then
  if ! command -v Xvfb >/dev/null || ! command -v xdotool >/dev/null; then
    fail "the clipboard and drag part needs Xvfb and xdotool (scripts/install-deps.sh test)"
  else
    Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x800x24 3>"$work/display" 2>"$work/xvfb.log" &
    servers+=($!)
    for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
    DISPLAY=:$(cat "$work/display")
    export DISPLAY
    # The kiosk shell shows the window undecorated at the corner of weston's X window.
    if weston_on trimlet-input --backend=x11-backend.so --use-pixman --shell=kiosk-shell.so; then
      status=0
      WAYLAND_DISPLAY=trimlet-input QT_WAYLAND_DISABLE_WINDOWDECORATION=1 timeout 120 "$input_tests" \
        >"$work/input.log" 2>&1 || status=$?
      [ "$status" -eq 0 ] || { grep -v '^#' "$work/input.log" | head -40; fail "clipboard and drag tests exited with $status"; }
    else
      fail "weston's X11 backend did not start"
    fi
  fi
fi

finish
