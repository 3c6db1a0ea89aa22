#!/usr/bin/env bash
# The real trimlet with names that are not UTF-8, as an old archive unpacks them: a picture
# named 画像.png in Shift_JIS bytes, in a folder named 写真 in Shift_JIS bytes, given on the
# command line relative to the working folder. Saving, reloading and saving again must write
# 画像(1).jpg and 画像(2).jpg beside it, their names the picture's own bytes, and the settings
# must remember the last one byte for byte.
# Usage: foreign_names.sh TRIMLET_EXECUTABLE
set -euo pipefail
. "$(dirname "$0")/private_copy.sh"
private_copy "$1"

folder_name=$'\x8e\xca\x90\x5e'   # 写真
stem=$'\x89\xe6\x91\x9c'          # 画像
folder=$work/$folder_name
mkdir "$folder"
convert -size 900x700 gradient:orange-navy "$folder/$stem.png"

status=0
(cd "$work" && TRIMLET_ACTIONS="click:btnSave;click:btnReload;click:btnSave;wait:300;close" \
   timeout -k 5 60 "$work/bin/trimlet" "$folder_name/$stem.png") 2> "$work/stderr" || status=$?
[ "$status" -eq 0 ] || fail "trimlet exited with $status: $(cat "$work/stderr")"

for n in 1 2; do
  saved="$folder/$stem($n).jpg"
  [ "$(identify -format '%m' "$saved" 2>/dev/null)" = "JPEG" ] || fail "$n: no JPEG under the picture's own bytes + ($n).jpg"
done
listing=$(cd "$folder" && LC_ALL=C ls -1 | od -An -tx1 | tr -d ' \n')
expected=$(printf '%s\n' "$stem(1).jpg" "$stem(2).jpg" "$stem.png" | od -An -tx1 | tr -d ' \n')
[ "$listing" = "$expected" ] || fail "the folder holds other names: $(cd "$folder" && printf '%q ' *)"

if ! settings=$(settings_file); then
  fail "no settings file written"
else
  tr -d '\r' < "$settings" | grep -qaxF "path=$folder/$stem(2).jpg" || fail "settings lack the last output path as bytes: $(grep -a '^path=' "$settings" | od -c | head -3)"
fi
finish
