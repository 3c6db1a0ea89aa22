#!/usr/bin/env bash
# Drives the built trimlet through TRIMLET_ACTIONS, as a user would: a save from the main
# window writes NAME(1).jpg of the cut size beside the picture and leaves the picture alone,
# the next run writes NAME(2).jpg, a save from the preview window NAME(3).jpg; closing removes
# the temporary JPEG and writes the settings. Steps that cannot run must fail the run.
# Usage: real_program.sh TRIMLET_EXECUTABLE
set -euo pipefail
. "$(dirname "$0")/private_copy.sh"
private_copy "$1" "my pictures"

folder="$work/my pictures"
picture="$folder/photo.jpg"
convert -size 1000x700 gradient:orange-navy -fill white -draw 'circle 500,350 500,450' -quality 95 "$picture"
original=$(sha256sum < "$picture")

# Runs trimlet on the picture with the given steps; prints its exit status.
run() {
  local status=0
  (cd "$work" && TRIMLET_ACTIONS=$1 timeout 30 "$work/bin/trimlet" "my pictures/photo.jpg") 2> "$work/stderr" || status=$?
  echo "$status"
}
kind_and_size() { identify -format '%m %wx%h' "$1" 2>/dev/null || echo "unreadable"; }

# The cut size of a fresh settings file is 640 × 640 at 100 %.
status=$(run "click:btnSave;wait:300;close")
[ "$status" -eq 0 ] || fail "save run exited with $status: $(cat "$work/stderr")"
[ "$(kind_and_size "$folder/photo(1).jpg")" = "JPEG 640x640" ] || fail "photo(1).jpg: $(kind_and_size "$folder/photo(1).jpg")"
[ "$(sha256sum < "$picture")" = "$original" ] || fail "the picture itself changed"
first=$(sha256sum < "$folder/photo(1).jpg" 2>/dev/null || true)

status=$(run "click:btnSave;wait:300;close")
[ "$status" -eq 0 ] || fail "second save run exited with $status"
[ "$(kind_and_size "$folder/photo(2).jpg")" = "JPEG 640x640" ] || fail "photo(2).jpg: $(kind_and_size "$folder/photo(2).jpg")"
[ "$(sha256sum < "$folder/photo(1).jpg")" = "$first" ] || fail "photo(1).jpg was replaced"

# Through the preview window, whose own save button is reached while it runs modally.
status=$(run "click:btnPreview;wait:300;click:btnSave;wait:300;close")
[ "$status" -eq 0 ] || fail "preview run exited with $status: $(cat "$work/stderr")"
[ "$(kind_and_size "$folder/photo(3).jpg")" = "JPEG 640x640" ] || fail "photo(3).jpg: $(kind_and_size "$folder/photo(3).jpg")"

# Closing removed the temporary JPEG wherever it was kept and wrote the settings, with the
# absolute path of the last save although the picture was named relatively.
for temp in "$work/bin/trimlet.jpg" "$work/cache/trimlet/trimlet.jpg"; do
  [ ! -e "$temp" ] || fail "temporary file left: $temp"
done
if ! settings=$(settings_file); then
  fail "no settings file written"
else
  lines=$(tr -d '\r' < "$settings")   # the file keeps Windows line ends
  grep -qxF "path=$folder/photo(3).jpg" <<< "$lines" || fail "settings lack the last output path: $(grep -i '^path=' <<< "$lines")"
  grep -qx 'width=640' <<< "$lines" || fail "settings lack the cut width"
fi
count_files() { find "$folder" -mindepth 1 | wc -l; }
[ "$(count_files)" -eq 4 ] || fail "unexpected files: $(ls "$folder")"

# Steps that cannot run end the program with a failure and one line on standard error,
# through the normal close: also from inside a modal window.
for steps in "click:btnNoSuchButton;close" "click:btnPreview;wait:200;click:btnOpen;close" "frobnicate" \
             "wait:-5" "close;click:btnSave"; do
  status=$(run "$steps")
  if [ "$status" -eq 0 ] || [ "$status" -eq 124 ]; then fail "'$steps' exited with $status"; fi
  [ "$(grep -c 'TRIMLET_ACTIONS' "$work/stderr")" -eq 1 ] || fail "'$steps' did not explain itself: $(cat "$work/stderr")"
done
[ ! -e "$work/bin/trimlet.jpg" ] || fail "temporary file left after a failed run"
[ "$(count_files)" -eq 4 ] || fail "a failed run wrote: $(ls "$folder")"

# Steps given to a second start cannot run there; that must not pass for success.
(cd "$work" && TRIMLET_ACTIONS="wait:3000;close" timeout 30 "$work/bin/trimlet") & first_pid=$!
sleep 1
status=$(run "click:btnSave;close")
wait "$first_pid" || fail "first instance exited with $?"
[ "$status" -eq 1 ] || fail "second start with steps exited with $status"
[ ! -e "$folder/photo(4).jpg" ] || fail "second start saved"
finish
