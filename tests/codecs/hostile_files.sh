#!/usr/bin/env bash
# The real programs meet what a downloads folder may hold: tiny files declaring huge pictures,
# and a cut camera raw, are refused with one line, within 64 MiB of address space more than the program needs to
# start; 12-bit and lossless JPEGs are refused saying so; FIFOs under picture and shortcut
# names (and shortcuts leading to them) never hang trimlet-cli or, when given, the window
# program.
# Usage: hostile_files.sh TRIMLET_CLI [TRIMLET]
set -euo pipefail
cli=$1
window=${2:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck source=tests/support/report.sh
source "$(dirname "$0")/../support/report.sh"

# The smallest address-space limit, in MiB, under which the program starts at all.
base=8
until prlimit --as=$((base << 20)) "$cli" --version >/dev/null 2>&1; do
  base=$((base + 4))
  [ $base -le 512 ] || { echo "trimlet-cli does not start under any limit"; exit 1; }
done
limit=$(((base + 64) << 20))

# A GIF whose first image is 0 pixels wide on a 6727 x 65351 screen: 40 bytes.
printf 'GIF89a\x47\x1a\x47\xff\x80\x00\x00\x00\x00\x00\xff\xff\xff\x21\xf9\x04\x00\x00\x00\x00\x00'\
'\x2c\x00\x00\x00\x00\x00\x00\x64\x00\x00\x02\x00\x3b' > "$work/zero-wide.gif"
# A 12000 x 12000 screen and image whose data is a clear code and the end code.
printf 'GIF89a\xe0\x2e\xe0\x2e\x80\x00\x00\x00\x00\x00\xff\xff\xff'\
'\x2c\x00\x00\x00\x00\xe0\x2e\xe0\x2e\x00\x02\x01\x2c\x00\x3b' > "$work/no-pixels.gif"
# A 12000 x 12000 run-length BMP with one run of data.
bmp() {  # compression bits
  printf 'BM\x4a\x00\x00\x00\x00\x00\x00\x00\x3e\x00\x00\x00\x28\x00\x00\x00\xe0\x2e\x00\x00\xe0\x2e\x00\x00'
  printf '\x01\x00%b\x00%b\x00\x00\x00\x0c\x00\x00\x00' "$2" "$1"
  printf '\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\xff\xff\xff\x00'
  printf '\x10\x01\x10\x00\x00\x00\x00\x00\x00\x00\x00\x00'
}
bmp '\x01' '\x08' > "$work/rle8.bmp"
bmp '\x02' '\x04' > "$work/rle4.bmp"
# A 20000 x 20000 truecolour PNG whose image data is one compressed row of 64 bytes.
printf '\x89PNG\r\n\x1a\n\x00\x00\x00\x0dIHDR\x00\x00\x4e\x20\x00\x00\x4e\x20\x08\x02\x00\x00\x00\x6c\x12\xd1\x6e'\
'\x00\x00\x00\x0cIDAT\x78\x9c\x63\x60\xa0\x0c\x00\x00\x00\x40\x00\x01\xb7\x34\x7c\xef'\
'\x00\x00\x00\x00IEND\xae\x42\x60\x82' > "$work/huge.png"
# An 8 x 8 baseline JPEG whose frame header is changed to 20000 x 14000.
printf 'P5\n8 8\n255\n' > "$work/grey.pgm"
head -c 64 /dev/zero | tr '\0' '\200' >> "$work/grey.pgm"
cjpeg -grayscale "$work/grey.pgm" > "$work/huge.jpg"
sof=$(LC_ALL=C grep -obUaP '\xff\xc0' "$work/huge.jpg" | head -n1 | cut -d: -f1)
printf '\x36\xb0\x4e\x20' | dd of="$work/huge.jpg" bs=1 seek=$((sof + 5)) conv=notrunc status=none
# Grey TIFFs of one deflate strip (64 bytes of zeros) declaring 100000 and 20000 pixels a side.
tiff() {  # side as four little-endian bytes
  printf 'II*\x00\x08\x00\x00\x00\x09\x00'
  printf '\x00\x01\x04\x00\x01\x00\x00\x00%b\x01\x01\x04\x00\x01\x00\x00\x00%b' "$1" "$1"
  printf '\x02\x01\x03\x00\x01\x00\x00\x00\x08\x00\x00\x00\x03\x01\x03\x00\x01\x00\x00\x00\x08\x00\x00\x00'
  printf '\x06\x01\x03\x00\x01\x00\x00\x00\x01\x00\x00\x00\x11\x01\x04\x00\x01\x00\x00\x00\x7a\x00\x00\x00'
  printf '\x15\x01\x03\x00\x01\x00\x00\x00\x01\x00\x00\x00\x16\x01\x04\x00\x01\x00\x00\x00%b' "$1"
  printf '\x17\x01\x04\x00\x01\x00\x00\x00\x0c\x00\x00\x00\x00\x00\x00\x00'
  printf '\x78\x9c\x63\x60\xa0\x0c\x00\x00\x00\x40\x00\x01'
}
tiff '\xa0\x86\x01\x00' > "$work/huge.tif"
tiff '\x20\x4e\x00\x00' > "$work/large.tif"
# Small AVIF and HEIC files whose ispe box is changed to 60000 and 16000 pixels a side.
convert -size 16x16 gradient:red-blue -depth 8 "$work/small.png"
avifenc -s 10 "$work/small.png" "$work/small.avif" > /dev/null
heif-enc -q 30 -o "$work/small.heic" "$work/small.png" > /dev/null
for ext in avif heic; do
  for size in huge:'\x00\x00\xea\x60' large:'\x00\x00\x3e\x80'; do
    cp "$work/small.$ext" "$work/${size%%:*}.$ext"
    for ispe in $(LC_ALL=C grep -obUaP 'ispe' "$work/small.$ext" | cut -d: -f1); do  # heif-enc writes two
      printf '%b%b' "${size#*:}" "${size#*:}" |
        dd of="$work/${size%%:*}.$ext" bs=1 seek=$((ispe + 8)) conv=notrunc status=none
    done
  done
done
# A bare JPEG XL codestream declaring 20000 x 20000 over 64 bytes, and a real one cut in half.
printf '\xff\x0a\xfe\x70\x02\x00\xf0\x87\x13\x00\x10' > "$work/huge.jxl"
head -c 64 /dev/zero | tr '\0' '\125' >> "$work/huge.jxl"
cjxl "$work/small.png" "$work/small.jxl" > /dev/null 2>&1
head -c $(($(stat -c %s "$work/small.jxl") / 2)) "$work/small.jxl" > "$work/truncated.jxl"
# A camera raw DNG whose sensor is changed to 60000 x 60000 pixels, kept whole (6 kB) and cut
# to its first 600 bytes of headers, and the real DNG cut in the middle of its mosaic.
dng=$(dirname "$0")/../../fuzz/seeds/raw/rggb-orientation6.dng
cp "$dng" "$work/huge.dng"
for at in 30 42; do  # the values of ImageWidth and ImageLength
  printf '\x60\xea\x00\x00' | dd of="$work/huge.dng" bs=1 seek=$at conv=notrunc status=none
done
head -c 600 "$work/huge.dng" > "$work/tiny.dng"
head -c 3000 "$dng" > "$work/cut.dng"
# IFDs that lead past the end of the file, which LibRaw's own buffer reader follows into a crash.
cp "$(dirname "$dng")/ifd-past-end.dng" "$work/ifd-past-end.dng"

# info reads headers only, so it may list a picture whose data is missing; a conversion must
# refuse it.
for f in zero-wide.gif no-pixels.gif rle8.bmp rle4.bmp huge.png huge.jpg huge.tif large.tif huge.avif large.avif \
  huge.heic large.heic huge.jxl truncated.jxl huge.dng tiny.dng cut.dng ifd-past-end.dng; do
  for run in "info $work/$f" "$work/$f --output $work/out.bmp"; do
    status=0
    # shellcheck disable=SC2086
    prlimit --as=$limit "$cli" $run > "$work/out" 2> "$work/err" || status=$?
    if [ $status -eq 0 ] && [ "${run%% *}" = info ]; then
      [ -z "$(cat "$work/err")" ] || fail "$f: info said more: $(cat "$work/err")"
      continue
    fi
    [ $status -eq 1 ] || fail "$f: '$run' exited with $status: $(cat "$work/err")"
    [ "$(wc -l < "$work/err")" -eq 1 ] || fail "$f: not one line: $(cat "$work/err")"
    ! grep -qi memory "$work/err" || fail "$f: refused for want of memory: $(cat "$work/err")"
  done
done
[ ! -e "$work/out.bmp" ] || fail "a refused file was written"

# 12-bit and lossless JPEG: refused, saying which.
cjpeg -grayscale "$work/grey.pgm" > "$work/twelve-bit.jpg"
cp "$work/twelve-bit.jpg" "$work/lossless.jpg"
printf '\x0c' | dd of="$work/twelve-bit.jpg" bs=1 seek=$((sof + 4)) conv=notrunc status=none
printf '\xc3' | dd of="$work/lossless.jpg" bs=1 seek=$((sof + 1)) conv=notrunc status=none
for kind in twelve-bit:"12-bit JPEG is not supported" lossless:"lossless JPEG is not supported"; do
  f=${kind%%:*}.jpg
  for run in "info $work/$f" "$work/$f --output $work/out.bmp"; do
    status=0
    # shellcheck disable=SC2086
    "$cli" $run > /dev/null 2> "$work/err" || status=$?
    [ $status -eq 1 ] && grep -qF "${kind#*:}" "$work/err" || fail "$f: '$run' exited with $status: $(cat "$work/err")"
  done
done

# FIFOs: named like a picture, named like a shortcut, and a shortcut leading to one.
mkfifo "$work/pipe.jpg" "$work/pipe.lnk"
ln -s pipe.jpg "$work/to-pipe.lnk"
ln -s pipe.jpg "$work/link.png"
for f in pipe.jpg pipe.lnk to-pipe.lnk link.png; do
  for run in "info $work/$f" "$work/$f --output $work/out.bmp"; do
    status=0
    # shellcheck disable=SC2086
    timeout 10 "$cli" $run > /dev/null 2> "$work/err" || status=$?
    [ $status -eq 1 ] || fail "trimlet-cli $run exited with $status: $(cat "$work/err")"
  done
done

if [ -n "$window" ]; then
  mkdir -p "$work/bin" "$work/config" "$work/cache" "$work/runtime"
  chmod 700 "$work/runtime"
  cp "$window" "$work/bin/trimlet"  # settings and temporary file of its own
  export QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache XDG_RUNTIME_DIR=$work/runtime
  # The refusal is a message box that nothing here can close, so the test looks at where the
  # program waits: in its event loop (poll), never in the open() of the FIFO; then ends it.
  for f in pipe.jpg pipe.lnk to-pipe.lnk; do
    "$work/bin/trimlet" "$work/$f" 2> "$work/err" &
    pid=$!
    sleep 3
    call=$(cut -d' ' -f1 "/proc/$pid/syscall" 2>/dev/null || echo gone)
    kill -KILL $pid 2>/dev/null || true
    wait $pid 2>/dev/null || true
    case $call in
      7|271) ;;  # poll, ppoll
      *) fail "trimlet $f waits in system call $call: $(cat "$work/err")" ;;
    esac
  done
fi

finish "hostile files: all refused in time"
