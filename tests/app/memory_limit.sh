#!/usr/bin/env bash
# The real trimlet with a 100-megapixel picture, then an address-space limit a little above
# what it holds: every command that needs a copy of the whole picture must fail with a message
# box and leave the program running, the picture and slots usable, nothing half-written; the
# framed commands, which need little, still work; closing exits 0 and writes the settings.
#
# The limit is set once the picture is loaded (prlimit --pid), so that it measures what the
# commands need rather than what decoding needed. A failing command must show a box: the next
# step answers it (click:btnOK), and a step without a box to answer fails the run.
# Usage: memory_limit.sh TRIMLET_EXECUTABLE
set -euo pipefail
. "$(dirname "$0")/private_copy.sh"
private_copy "$1" pictures

folder=$work/pictures
vips black "$folder/photo.png" 10000 10000 --bands 3   # 300 MB as a working bitmap
mib=$((1024 * 1024))
margin=$((64 * mib))

# Waits until a file appears; the program writes it as a sign that it reached that step.
await() {
  for _ in $(seq 600); do
    [ -e "$1" ] && return 0
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.05
  done
  return 1
}
vm_size() { awk '/^VmSize:/ { print $2 * 1024 }' "/proc/$pid/status"; }
limit_to() { prlimit --pid "$pid" --as="$1:$(prlimit --pid "$pid" --as --raw --noheadings --output HARD)"; }

# A framed save (a small cut) marks each stage: photo(1).jpg once the picture is loaded,
# photo(3).jpg before the join. Between them, under the limit: whole-picture save and copy,
# turns and flips and the free rotation fail with a box each; the framed copy and save, a
# slot's save and its expansion (slots share the picture, and the work area keeps only a
# reduced copy) still work.
steps="click:btnNo;click:btnSave;wait:2500"
steps+=";click:btnQuickSave;click:btnOK;click:btnAllCopy;click:btnOK"
steps+=";click:btnCopy;click:btnSave"
steps+=";click:btnRotR;click:btnOK;click:btnRevH;click:btnOK;click:btnRot180;click:btnOK"
steps+=";click:btnTmpSave1;click:btnTmpLoad1;click:btnTmpCutSave2"
steps+=";click:btnRotFree;click:btnAdd;click:btnOK;click:btnOK;click:btnCancel"
# With room for a second copy of the picture, but not for the two joined: the reload on the
# concatenation page (brought forward by an alignment button; no button down joins centred
# as well) decodes the file again and fails to join it.
steps+=";click:btnSave;wait:2500;click:spdTopBottom;click:popitemReload;click:btnOK"
steps+=";click:btnSave;wait:300;close"

# One malloc arena: a thread's own arena reserves 64 MiB of address space at a time, which the
# address-space limit counts as if it were memory in use, so the background size measurement
# could take the whole margin by the luck of where its reservation lands.
(cd "$work" && MALLOC_ARENA_MAX=1 TRIMLET_ACTIONS=$steps exec "$work/bin/trimlet" "$folder/photo.png") 2> "$work/stderr" &
pid=$!
if await "$folder/photo(1).jpg"; then
  limit_to $(($(vm_size) + margin))
  if await "$folder/photo(3).jpg"; then
    limit_to $(($(vm_size) + 300 * mib + margin))
  else
    fail "the commands under the limit did not get through: $(cat "$work/stderr")"
  fi
else
  fail "the picture was not loaded and saved: $(cat "$work/stderr")"
fi
# Steps that never get through leave the program waiting for them; it is ended then.
timeout 120 tail --pid="$pid" -f /dev/null || kill -9 "$pid"
status=0
wait "$pid" || status=$?
pid=
[ "$status" -eq 0 ] || fail "trimlet exited with $status: $(cat "$work/stderr")"

for n in 1 2 3 4; do
  [ "$(identify -format '%m' "$folder/photo($n).jpg" 2>/dev/null)" = "JPEG" ] || fail "photo($n).jpg missing or broken"
done
left=$(find "$folder" -mindepth 1 ! -name 'photo.png' ! -name 'photo([1-4]).jpg')
[ -z "$left" ] || fail "files left behind: $left"
if ! settings=$(settings_file) || ! tr -d '\r' < "$settings" | grep -qxF "path=$folder/photo(4).jpg"; then
  fail "settings not written at closing"
fi
finish
