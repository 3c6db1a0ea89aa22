#!/usr/bin/env bash
# Installs the build into a fresh prefix and checks what a user and a desktop meet there: every
# file in its place, the menu entry, AppStream data and manual pages valid, both installed
# programs working, and the window program keeping its files in the XDG folders rather than
# beside itself (the run is as root here, who could write there).
# Usage: install_layout.sh CMAKE BINARY_DIR SOURCE_DIR VERSION
set -uo pipefail
cmake=$1 build=$2 source=$3 version=$4
icons=$source/forms/icons

work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill -9 "$pid" 2>/dev/null; rm -rf "$work"' EXIT
prefix=$work/prefix
passed=0 failed=0
check() {  # check NAME COMMAND...: one result line per check
  if "${@:2}"; then passed=$((passed + 1)); else echo "FAILED: $1"; failed=$((failed + 1)); fi
}

"$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 \
  || { cat "$work/install.log"; echo "0 passed, 1 failed"; exit 1; }

# --- every file in its place
files=(bin/trimlet bin/trimlet-cli share/applications/trimlet.desktop
       share/metainfo/io.github.trimlet.trimlet.metainfo.xml share/trimlet/README
       share/man/man1/trimlet-cli.1 share/man/man1/trimlet.1)
sizes=()
for icon in "$icons"/trimlet-*.png; do
  size=${icon##*/trimlet-}; size=${size%.png}; sizes+=("$size")
  files+=("share/icons/hicolor/${size}x${size}/apps/trimlet.png")
done
for f in "${files[@]}"; do check "installed $f" test -s "$prefix/$f"; done
check "programs executable" test -x "$prefix/bin/trimlet" -a -x "$prefix/bin/trimlet-cli"
[ ${#sizes[@]} -ge 2 ] || { echo "FAILED: no icons found in $icons"; failed=$((failed + 1)); }

# An icon must be the size its folder names: width and height from the PNG header.
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%dx%d", $3 * 256 + $4, $7 * 256 + $8 }'; }
for size in "${sizes[@]}"; do
  check "icon ${size}x${size} has that size" \
    test "$(png_size "$prefix/share/icons/hicolor/${size}x${size}/apps/trimlet.png")" = "${size}x${size}"
done

# --- the menu entry and the AppStream data
quiet() { "$@" >"$work/quiet.log" 2>&1 || { cat "$work/quiet.log"; return 1; }; }
desktop=$prefix/share/applications/trimlet.desktop
check "desktop-file-validate" quiet desktop-file-validate "$desktop"
entry() { grep -qx -- "$1" "$desktop"; }
check "desktop Exec opens a file" entry 'Exec=trimlet %f'
check "desktop Icon" entry 'Icon=trimlet'
# The menu speaks the desktop's language as the windows do: English, and Japanese for Japanese.
for key in Name GenericName Comment Keywords; do
  check "desktop $key" grep -q "^$key=." "$desktop"
  check "desktop $key[ja]" grep -q "^$key\[ja\]=." "$desktop"
done
check "desktop picture types" entry 'MimeType=image/jpeg;image/png;image/gif;image/bmp;image/webp;image/avif;image/heic;image/heif;image/tiff;image/jxl;image/x-canon-cr2;image/x-canon-cr3;image/x-nikon-nef;image/x-sony-arw;image/x-fuji-raf;image/x-olympus-orf;image/x-panasonic-rw2;image/x-adobe-dng;image/x-pentax-pef;'
metainfo=$prefix/share/metainfo/io.github.trimlet.trimlet.metainfo.xml
check "appstreamcli validate" quiet appstreamcli validate --no-net "$metainfo"
check "AppStream summary in English and Japanese" test "$(grep -c '<summary' "$metainfo")" = 2 -a \
  "$(grep -c '<summary xml:lang="ja">.' "$metainfo")" = 1
check "AppStream licence MIT" grep -q '<project_license>MIT</project_license>' "$metainfo"
check "AppStream release of this version" grep -q "<release version=\"$version\" date=\"[0-9-]*\">" "$metainfo"
# The tree check also finds the menu entry the metainfo launches.
check "appstreamcli validate-tree" quiet appstreamcli validate-tree --no-net "$prefix"

# --- the manual pages render without a warning and cover the whole command line
for page in trimlet-cli trimlet; do
  LC_ALL=C.UTF-8 groff -man -Tutf8 -ww "$prefix/share/man/man1/$page.1" >"$work/$page.txt" 2>"$work/$page.err"
  check "$page.1 renders without warnings" test ! -s "$work/$page.err"
  [ -s "$work/$page.err" ] && cat "$work/$page.err"
done
man_text=$(col -b <"$work/trimlet-cli.txt")
has_in_man() { grep -qF -- "$1" <<<"$man_text"; }
for section in SYNOPSIS 'EXIT STATUS' EXAMPLES; do check "man page section $section" has_in_man "$section"; done
cli=$prefix/bin/trimlet-cli
help=$("$cli" --help 2>&1)
options=$( { grep -oE -- '--[a-z][a-z-]*' <<<"$help"; printf '%s\n' --turn --flip --rotate --join --cut \
  --output --save --quality --format --tail --background --align-h --align-v --force --help --version; } | sort -u)
for option in $options; do check "man page documents $option" has_in_man "$option"; done

# --- the installed command-line tool
check "trimlet-cli --version" test "$("$cli" --version)" = "trimlet-cli $version"
check "trimlet --version without a display" test "$(env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/bin/trimlet" --version)" = "trimlet $version"
# A 3 x 2 24-bit BMP: rows of 9 bytes padded to 12, bottom row first.
printf 'BM\x4e\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\x03\0\0\0\x02\0\0\0\x01\0\x18\0\0\0\0\0\x18\0\0\0\x13\x0b\0\0\x13\x0b\0\0\0\0\0\0\0\0\0\0' >"$work/small.bmp"
printf '\0\0\xff\0\xff\0\xff\0\0\0\0\0\xff\xff\xff\0\0\0\x80\x80\x80\0\0\0' >>"$work/small.bmp"
check "trimlet-cli info on a BMP" test "$("$cli" info "$work/small.bmp")" = "$work/small.bmp	bitmap	3	2"
check "trimlet-cli converts to JPEG" test "$("$cli" "$work/small.bmp" --output "$work/small.jpg")" = "$work/small.jpg"
check "trimlet-cli info on its JPEG" test "$("$cli" info "$work/small.jpg")" = "$work/small.jpg	jpeg	3	2"
# HEIF and AVIF come from the module in the prefix's library folder, found from the program's.
heic=$source/fuzz/seeds/heic/lossy.heic avif=$source/fuzz/seeds/avif/grey.avif
check "HEIF and AVIF module installed" test -n "$(find "$prefix" -path '*/lib*/trimlet/heif-avif.so' -type f)"
check "trimlet-cli reads HEIF and AVIF" test "$("$cli" info "$heic" "$avif" 2>&1)" = "$heic	heif	23	17
$avif	avif	23	17"

# --- the installed window program keeps its files in the XDG folders
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"
ls -A "$prefix/bin" >"$work/bin.before"
QT_QPA_PLATFORM=offscreen "$prefix/bin/trimlet" >"$work/trimlet.log" 2>&1 & pid=$!
# Up: it answers later starts, then makes its windows, the preview choosing its temporary
# file; its close path is wired right after that.
up=no
for _ in $(seq 100); do
  [ -n "$(find "$XDG_RUNTIME_DIR" -type s)" ] && { up=yes; break; }
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
check "installed trimlet starts" test "$up" = yes
for _ in $(seq 30); do [ -d "$XDG_CACHE_HOME/trimlet" ] && break; sleep 0.1; done
sleep 1
check "temporary file's folder made in \$XDG_CACHE_HOME/trimlet" test -d "$XDG_CACHE_HOME/trimlet"
kill -TERM "$pid" 2>/dev/null
status=
for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || { wait "$pid"; status=$?; break; }; sleep 0.1; done
pid_left=$pid; pid=
[ -z "$status" ] && { kill -9 "$pid_left" 2>/dev/null; wait "$pid_left" 2>/dev/null; }
check "trimlet closes normally on SIGTERM (status ${status:-none})" test "$status" = 0
check "settings written to \$XDG_CONFIG_HOME/trimlet/trimlet.ini" test -s "$XDG_CONFIG_HOME/trimlet/trimlet.ini"
check "nothing written into bin" cmp -s "$work/bin.before" <(ls -A "$prefix/bin")
check "no settings file inside the prefix" test -z "$(find "$prefix" -name '*.ini')"
[ "$failed" -eq 0 ] || { echo "--- trimlet output:"; cat "$work/trimlet.log"; }

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
