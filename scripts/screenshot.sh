#!/usr/bin/env bash
# Takes the README's screenshots from the built program on a private X server: the main
# window with a picture and its cut frame, the preview, the free rotation and the version
# window, each cropped to its window, in Japanese (NAME.png) and English (NAME-en.png). The
# sample picture is drawn here.
# Usage: scripts/screenshot.sh [BUILD_DIR] [OUT_DIR]   (defaults: build, docs/screenshots)
# TRIMLET_SCREENSHOT_SCALE=2 (or 1.5, 3) takes them on a screen of that pixel ratio instead, as
# large in pixels as the ratio makes it, to see what a dense screen shows.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build}")
out=$(realpath -m "${2:-$root/docs/screenshots}")
exe=$build/app/trimlet
[ -x "$exe" ] || { echo "screenshot.sh: $exe is not built" >&2; exit 1; }

# Always a fresh X server of a known size, never the desktop the script was started from. The
# search for a free display starts at a random number: other runs starting together all try
# :99 first, and the loser of that race may end up drawing on the winner's screen.
scale=${TRIMLET_SCREENSHOT_SCALE:-1}
if [ -z "${TRIMLET_SCREENSHOT_XVFB:-}" ]; then
  screen=$(awk -v s="$scale" 'BEGIN { printf "%dx%d", int(1280 * s + 0.5), int(800 * s + 0.5) }')
  exec env TRIMLET_SCREENSHOT_XVFB=1 xvfb-run -a -n $((200 + RANDOM % 700)) -s "-noreset -screen 0 ${screen}x24" \
    "$0" "$build" "$out"
fi
if [ "$scale" != 1 ]; then export QT_SCALE_FACTOR=$scale; else unset QT_SCALE_FACTOR; fi

# The picture's path shows in the status line: a fixed one keeps the pictures the same from run
# to run, unless another run holds it.
work=/tmp/trimlet-screenshots
mkdir -m 700 "$work" 2>/dev/null || work=$(mktemp -d)
pid=""
cleanup() { [ -n "$pid" ] && kill -9 "$pid" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
mkdir -p "$work/bin" "$work/pictures" "$work/config" "$work/cache" "$work/runtime" "$out"
chmod 700 "$work/runtime"
export XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache XDG_RUNTIME_DIR=$work/runtime
unset TRIMLET_ACTIONS
# A private copy keeps its settings beside itself: the build's own settings stay untouched.
cp "$exe" "$work/bin/trimlet"

font=$(fc-match -f '%{file}' IPAPGothic)
picture=$work/pictures/hills.jpg
convert -size 1600x1200 gradient:'#3d6fb6'-'#f6c987' \
  \( -size 1600x1200 xc:none -fill '#fff6d0' -draw 'circle 1140,430 1140,520' -blur 0x30 \) -composite \
  -fill '#fffbe8' -draw 'circle 1140,430 1140,500' \
  -fill '#6b7fa6' -draw 'polygon 0,760 180,600 340,690 560,470 760,660 930,560 1120,700 1330,520 1600,720 1600,1200 0,1200' \
  -fill '#3f6b46' -draw 'polygon 0,860 260,760 520,840 800,740 1080,830 1360,760 1600,840 1600,1200 0,1200' \
  -fill '#2d5233' -draw 'polygon 0,960 300,900 640,950 980,880 1300,940 1600,900 1600,1200 0,1200' \
  -fill '#5b3b22' -draw 'rectangle 268,860 284,1010' -draw 'rectangle 1374,955 1386,1030' \
  -fill '#24462a' -draw 'polygon 276,700 220,880 332,880' -draw 'polygon 276,760 206,940 346,940' \
  -fill '#1f3b23' -draw 'polygon 1380,780 1330,960 1430,960' \
  -fill '#d9a25a' -draw 'path "M 620,1200 C 700,1080 760,1010 800,960 C 840,1010 900,1080 980,1200 Z"' \
  -font "$font" -pointsize 72 -fill '#ffffffd0' -annotate +90+170 '夕暮れの丘' \
  -pointsize 32 -annotate +94+220 'trimlet sample picture' \
  -quality 92 "$picture"

# The window's absolute geometry (WxH+X+Y) by its title, once it is on the screen and has
# kept its place for a moment: a window is mapped first and placed after.
window_geometry() {
  local line id geometry last=""
  for _ in $(seq 100); do
    # Pop-up menus share the title; they are never 300 logical pixels wide.
    line=$(xwininfo -root -tree | grep -F "\"$1\": (\"trimlet\"" |
      awk -v scale="$scale" '{ size = $(NF - 1); split(size, s, /[x+]/); if (s[1] >= 300 * scale) print }' |
      head -n 1 || true)
    id=$(awk '{ print $1 }' <<< "$line")
    if [ -n "$id" ] && xwininfo -id "$id" | grep -q 'IsViewable'; then
      geometry=$(awk '{ size = $(NF - 1); sub(/\+.*/, "", size); print size $NF }' <<< "$line")
      [ "$geometry" = "$last" ] && { echo "$geometry"; return 0; }
      last=$geometry
    fi
    sleep 0.1
  done
  echo "screenshot.sh: no window \"$1\" appeared" >&2
  return 1
}

# The smallest rectangle holding both geometries.
union() {
  local a b
  IFS='x+' read -r -a a <<< "$1"
  IFS='x+' read -r -a b <<< "$2"
  local x=$((a[2] < b[2] ? a[2] : b[2])) y=$((a[3] < b[3] ? a[3] : b[3]))
  local r=$((a[2] + a[0] > b[2] + b[0] ? a[2] + a[0] : b[2] + b[0]))
  local bottom=$((a[3] + a[1] > b[3] + b[1] ? a[3] + a[1] : b[3] + b[1]))
  echo "$((r - x))x$((bottom - y))+$x+$y"
}

# shot FILE STEPS TITLE [TITLE]: starts trimlet on the picture with the steps, waits for the
# window(s), saves the screen cropped to them, and ends trimlet as a log-off would.
shot() {
  local file=$1 steps=$2 geometry
  # Settings of a first start, with a window large enough to show the work area well and a
  # landscape screen size reduced to 75 %.
  printf '[winPosition]\r\nmain_w=960\r\nmain_h=640\r\nmain_x=0\r\nmain_y=0\r\n[size]\r\nwidth=800\r\nheight=480\r\npower=75\r\n%b' \
    "${shot_size:-}" > "$work/bin/trimlet.ini"
  # Lines of the settings file a shot adds (the stored cut sets).
  printf '%b' "${shot_ini:-}" >> "$work/bin/trimlet.ini"
  TRIMLET_ACTIONS=$steps "$work/bin/trimlet" "$picture" & pid=$!
  geometry=$(window_geometry "$3")
  [ $# -lt 4 ] || geometry=$(union "$geometry" "$(window_geometry "$4")")
  sleep 1   # painting, and the rotation preview's rendering
  import -window root "$work/screen.png"
  convert "$work/screen.png" -crop "$geometry" +repage -strip -define png:compression-level=9 "$out/$file"
  kill -TERM "$pid"
  local status=0
  wait "$pid" || status=$?
  pid=""
  [ "$status" -eq 0 ] || { echo "screenshot.sh: trimlet ended with $status" >&2; return 1; }
  echo "$out/$file $geometry $(stat -c %s "$out/$file") bytes"
}

export TRIMLET_LANG=ja
shot main.png "click:btnTmpSave1;click:btnTmpCutSave2" trimlet   # two slots filled, the third empty
# A set of three sizes framed at their fit rates, and a span over two monitors.
shot_size='fit=1\r\n' shot_ini='[sets]\r\n壁紙=800x480,480x800,1280x800\r\n' \
  shot sets.png "click:btnCutSet;wait:300;click:popitemCutSet2" trimlet
shot_ini='[sets]\r\n二画面=span:2560x1440+0+0/597,1920x1080+2560+180/527;bezel:10\r\n' \
  shot span.png "click:btnCutSet;wait:300;click:popitemCutSet2" trimlet
shot preview.png "click:btnPreview" プレビュー
shot rotation.png "click:btnRotFree;wait:200;click:btnSub" trimlet 自由回転
shot version.png "click:btnAbout" バージョン情報
# The same in English, as everyone whose system is not Japanese sees them.
export TRIMLET_LANG=en
shot main-en.png "click:btnTmpSave1;click:btnTmpCutSave2" trimlet
shot preview-en.png "click:btnPreview" Preview
shot rotation-en.png "click:btnRotFree;wait:200;click:btnSub" trimlet Rotate
shot version-en.png "click:btnAbout" "About trimlet"
