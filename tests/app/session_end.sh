#!/usr/bin/env bash
# Log-off sends SIGTERM; a trimlet that outlives it holds up the log-off and loses its
# settings. For each dialog a user can have open — a message box, the file, colour and name
# dialogs, a menu, the preview, the free rotation, the large-picture question at start, and a
# warning of the closing itself — the real program, on a private X server, must end within
# two seconds of the signal with its settings written and its temporary JPEG gone.
# Usage: session_end.sh TRIMLET_EXECUTABLE
# shellcheck source=tests/app/private_x.sh
source "$(dirname "$0")/private_x.sh" "$1"
ini=$work/bin/trimlet.ini
temp=$work/bin/trimlet.jpg
x_server DISPLAY
export DISPLAY
convert -size 640x480 gradient:orange-navy "$work/photo.bmp"
convert -size 4000x2501 xc:teal "$work/large.bmp"   # over 10,000,000 pixels: the question

# A visible window of the process with a title other than the main window's: the dialog is
# open, and its title is in dialog_title. A menu bears the program's name, so for it a second
# such window tells.
dialog_title=""
dialog_open() {
  local w title named=0
  for w in $(xdotool search --onlyvisible --pid "$1" '' 2> /dev/null || true); do
    title=$(xdotool getwindowname "$w" 2> /dev/null || true)
    if [ -n "$title" ] && [ "$title" != trimlet ]; then
      dialog_title=$title
      return 0
    fi
    [ "$title" = trimlet ] && named=$((named + 1))
  done
  [ "$2" = menu ] && [ "$named" -ge 2 ]
}

# case NAME PICTURE STEPS [TITLE]: starts trimlet on the picture with the steps, waits for the
# dialog (of that title: Qt's own dialogs too are in Japanese), sends SIGTERM and checks how
# the program ended.
case_() {
  local name=$1 picture=$2 steps=$3 title=${4:-}
  [ -d "$ini" ] || rm -f "$ini"
  echo "stands for the preview's JPEG" > "$temp"
  (cd "$work" && TRIMLET_ACTIONS=$steps exec "$work/bin/trimlet" "$picture") 2> "$work/stderr" & local pid=$!
  pids+=("$pid")
  local open=no
  for _ in $(seq 150); do dialog_open "$pid" "$name" && { open=yes; break; }; sleep 0.1; done
  if [ "$open" = no ]; then
    fail "$name: the dialog never opened"
    kill -KILL "$pid"
    wait "$pid" 2> /dev/null || true
    return
  fi
  [ -z "$title" ] || [ "$dialog_title" = "$title" ] || fail "$name: the dialog is called '$dialog_title', not '$title'"
  sleep 0.3
  kill -0 "$pid" 2> /dev/null || { fail "$name: trimlet ended before the signal"; return; }
  local start status=0
  start=$(date +%s%N)
  kill -TERM "$pid"
  for _ in $(seq 100); do kill -0 "$pid" 2> /dev/null || break; sleep 0.02; done
  local elapsed=$((($(date +%s%N) - start) / 1000000))
  if kill -0 "$pid" 2> /dev/null; then
    fail "$name: still running ${elapsed} ms after SIGTERM"
    kill -KILL "$pid"
  fi
  wait "$pid" || status=$?
  [ "$status" -eq 0 ] || fail "$name: exited with $status: $(cat "$work/stderr")"
  ((elapsed <= 2000)) || fail "$name: took ${elapsed} ms to end"
  [ ! -e "$temp" ] || fail "$name: the temporary JPEG was left"
  if [ -d "$ini" ]; then
    grep -q 'trimlet: 警告: 設定の保存ができませんでした。' "$work/stderr" ||
      fail "$name: the failed save was not reported: $(cat "$work/stderr")"
  else
    tr -d '\r' < "$ini" 2> /dev/null | grep -q '^main_w=' || fail "$name: no settings written"
  fi
  echo "$name: ended ${elapsed} ms after SIGTERM"
}

case_ "message box" photo.bmp "click:btnPaste" 情報
case_ "open dialog" photo.bmp "click:btnOpen" 開く
case_ "colour dialog" photo.bmp "click:btnBGColor" 色を選択
case_ "preset name box" photo.bmp "click:btnSizeSave;wait:300;click:item1" "横VGA(640×480)を上書きします"
case_ menu photo.bmp "click:btnSizeLoad"
case_ "preview" photo.bmp "click:btnPreview"
case_ "save-as dialog over the preview" photo.bmp "click:btnPreview;wait:300;click:btnSaveAs"
case_ "free rotation" photo.bmp "click:btnRotFree"
case_ "large-picture question at start" large.bmp "" 警告
rm -f "$ini"
mkdir "$ini"   # the settings cannot be written: the closing's warning must not wait for a person
case_ "closing's own warning" photo.bmp "click:btnPaste"
rmdir "$ini"

finish
