#!/usr/bin/env bash
# Starts trimlet, then starts it again with a picture: the second start must end at once,
# leave exactly one trimlet main window on the display, and not take over the first.
# Usage: two_instances.sh TRIMLET_EXECUTABLE (runs itself under xvfb-run when no display).
set -euo pipefail
exe=$1
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s '-noreset -screen 0 1024x768x24' "$0" "$@"
fi
work=$(mktemp -d)
trap 'kill "$first" 2>/dev/null || true; rm -rf "$work"' EXIT
cp "$exe" "$work/trimlet"   # a private copy: its own instance name, its own settings
convert -size 64x48 xc:orange "$work/picture.bmp"
export XDG_RUNTIME_DIR=$work TRIMLET_LANG=ja  # the window is found by its Japanese title

"$work/trimlet" & first=$!
count_windows() { xwininfo -root -tree | grep -c '"trimlet": ("trimlet"' || true; }
for _ in $(seq 50); do [ "$(count_windows)" -ge 1 ] && break; sleep 0.2; done
[ "$(count_windows)" -eq 1 ] || { echo "first instance shows no window"; exit 1; }

start=$(date +%s%N)
timeout 10 "$work/trimlet" "$work/picture.bmp"
elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))
sleep 0.5
kill -0 "$first" || { echo "first instance ended"; exit 1; }
windows=$(count_windows)
echo "second start ended after ${elapsed_ms} ms; trimlet windows: $windows"
[ "$windows" -eq 1 ]

# A renamed copy is a separate program and runs beside the first.
cp "$exe" "$work/trimlet-copy"
"$work/trimlet-copy" & copy=$!
sleep 2
kill -0 "$copy" || { echo "renamed copy did not stay running"; exit 1; }
kill "$copy"

# Log-off ends the program through its normal close: the temporary JPEG goes with it.
echo x > "$work/trimlet.jpg"
kill -TERM "$first"
for _ in $(seq 50); do kill -0 "$first" 2>/dev/null || break; sleep 0.1; done
! kill -0 "$first" 2>/dev/null || { echo "first instance ignored SIGTERM"; exit 1; }
[ ! -e "$work/trimlet.jpg" ] || { echo "temporary file left after SIGTERM"; exit 1; }
echo "1 passed, 0 failed"
