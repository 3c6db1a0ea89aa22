# shellcheck shell=bash
# Sourced by the tests that run the real trimlet on X servers of their own, with the trimlet
# executable as its argument. Gives a work folder with a private copy of trimlet in
# $work/bin (settings and temporary JPEG beside it), a private runtime folder, `x_server VAR
# [WxH]` to start an X server and put its display into VAR, `window_manager` to start openbox
# on $DISPLAY, `start_window LOG ACTIONS ARGS...` to start that copy and wait until its picture
# is painted, `fail` to count a failure and `finish` to report; everything started and
# recorded in `pids` is ended on exit, programs before the servers they use.
set -euo pipefail
work=$(mktemp -d)
pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    if kill "${pids[i]}" 2> /dev/null; then wait "${pids[i]}" 2> /dev/null || true; fi
  done
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/bin" "$work/runtime"
chmod 700 "$work/runtime"
cp "$1" "$work/bin/trimlet"
# The windows are found by their Japanese titles, whatever the machine's language.
export TRIMLET_LANG=ja
export QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR=$work/runtime

x_server() {
  local file="$work/display-$1"
  # -noreset: between two runs of trimlet no client is left, and a server that resets then
  # refuses the next start for a moment.
  Xvfb -displayfd 5 -noreset -screen 0 "${2:-1280x800}x24" -nolisten tcp 5> "$file" 2> /dev/null & pids+=($!)
  for _ in $(seq 100); do [ -s "$file" ] && break; sleep 0.1; done
  [ -s "$file" ] || { echo "FAIL: Xvfb did not start"; exit 1; }
  printf -v "$1" ':%s' "$(cat "$file")"
}

window_manager() {
  openbox > /dev/null 2>&1 & pids+=($!)
  for _ in $(seq 100); do wmctrl -m > /dev/null 2>&1 && break; sleep 0.1; done
  wmctrl -m > /dev/null || { echo "FAIL: openbox did not start"; exit 1; }
}

# Starts the copy on ARGS with the automation steps ACTIONS and its trace in LOG (its errors
# in $work/stderr), activates its window and waits until the picture is painted; sets pid.
# False when no window appeared.
start_window() {
  local log=$1 actions=$2 wid=
  shift 2
  : > "$log"
  TRIMLET_TRACE=$log TRIMLET_ACTIONS=$actions "$work/bin/trimlet" "$@" 2> "$work/stderr" & pid=$!
  pids+=("$pid")
  for _ in $(seq 200); do
    wid=$(xdotool search --onlyvisible --pid "$pid" --name '^trimlet' 2> /dev/null | head -n 1 || true)
    [ -n "$wid" ] && break
    sleep 0.1
  done
  [ -n "$wid" ] || return 1
  xdotool windowactivate --sync "$wid"
  for _ in $(seq 100); do grep -q 'picture-painted imgSource' "$log" && break; sleep 0.1; done
}

# shellcheck source=tests/support/report.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/report.sh"
