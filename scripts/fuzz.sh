#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for SECONDS (default 60), starting
# from a small seed corpus made here and the seeds in fuzz/seeds/, with memory limits that
# make any input taking more than 256 MB a finding. Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_bmp fuzz_load_bmp fuzz_load_jpg fuzz_jpeg_region fuzz_jpeg_restart fuzz_jpeg_lossless fuzz_load_png fuzz_load_gif fuzz_load_avif fuzz_load_heic fuzz_heif_grid
                                      fuzz_load_tif fuzz_load_webp fuzz_load_jxl fuzz_load_dng fuzz_shell_link fuzz_profile_file fuzz_files_on_disk
                                      fuzz_photo_jpg fuzz_photo_png fuzz_exif fuzz_icc fuzz_cut_set)

scripts/install-deps.sh
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTRIMLET_FUZZ=ON >/dev/null
cmake --build build-fuzz

seeds=build-fuzz/seeds
if [ ! -d "$seeds" ]; then
  mkdir -p "$seeds"/{bmp,jpg,png,gif,disk}
  # Shortcuts and settings files come with the sources (the shortcuts are the ones the unit
  # tests compose, written out with TRIMLET_LNK_SEED_DIR); the disk target takes both, behind
  # the byte that chooses between them.
  cp -r fuzz/seeds/lnk fuzz/seeds/ini fuzz/seeds/avif fuzz/seeds/heic fuzz/seeds/tif "$seeds"/
  for f in fuzz/seeds/lnk/*; do { printf '\0'; cat "$f"; } > "$seeds/disk/$(basename "$f")"; done
  for f in fuzz/seeds/ini/*; do { printf '\1'; cat "$f"; } > "$seeds/disk/$(basename "$f")"; done
  src="$seeds/src.ppm"
  convert -size 23x17 gradient:red-blue -fill yellow -draw 'circle 10,8 14,8' "$src"
  convert "$src" "$seeds/bmp/rgb24.bmp"
  convert "$src" -type Palette "$seeds/bmp/pal8.bmp"
  convert "$src" -type Palette -compress RLE "$seeds/bmp/rle8.bmp"
  convert "$src" -colors 16 -type Palette "$seeds/bmp/pal4.bmp"
  convert "$src" -monochrome "$seeds/bmp/mono.bmp"
  convert "$src" -define bmp:subtype=RGB565 "$seeds/bmp/rgb565.bmp"
  convert "$src" bmp2:"$seeds/bmp/core.bmp"
  convert "$src" -alpha set bmp:"$seeds/bmp/v5.bmp"
  convert "$src" -quality 80 "$seeds/jpg/colour.jpg"
  convert "$src" -colorspace Gray "$seeds/jpg/grey.jpg"
  convert "$src" -interlace Plane "$seeds/jpg/progressive.jpg"
  convert "$src" -colorspace CMYK "$seeds/jpg/cmyk.jpg"
  convert "$src" "$seeds/png/rgb.png"
  convert "$src" -interlace PNG "$seeds/png/interlaced.png"
  convert "$src" -depth 16 "$seeds/png/rgb16.png"
  convert "$src" -colors 5 png8:"$seeds/png/pal.png"
  convert "$src" -alpha set -channel A -evaluate set 50% png32:"$seeds/png/rgba.png"
  convert "$src" -colorspace Gray -depth 2 "$seeds/png/grey2.png"
  convert "$src" -transparent red "$seeds/png/trns.png"
  convert "$src" -colors 8 "$seeds/gif/plain.gif"
  convert "$src" -transparent red -interlace GIF "$seeds/gif/interlaced.gif"
  convert -delay 10 "$src" \( "$src" -crop 8x6+3+2 \) -colors 8 "$seeds/gif/anim.gif"
fi
if [ ! -d "$seeds/icc" ]; then
  # Photos as cameras leave them: orientations, profiles of every colour space, several chunks.
  mkdir -p "$seeds"/{photo_jpg,photo_png,exif,icc}
  cp /usr/share/color/icc/*.icc "$seeds/icc/"
  # CMYK profiles come with Ghostscript, where it is installed.
  cp /usr/share/color/icc/ghostscript/*.icc "$seeds/icc/" 2>/dev/null || true
  cp "$seeds"/jpg/* "$seeds/photo_jpg/"
  cp "$seeds"/png/* "$seeds/photo_png/"
  for o in 2 6 7; do
    for kind in jpg png; do
      for f in "$seeds/$kind"/{colour,grey,cmyk,rgb,trns,pal}.$kind; do
        [ -e "$f" ] || continue
        out="$seeds/photo_$kind/o$o-$(basename "$f")"
        cp "$f" "$out"
        exiftool -q -n -overwrite_original -Orientation=$o "$out"
      done
    done
  done
  exiftool -q -overwrite_original '-ICC_Profile<=/usr/share/color/icc/compatibleWithAdobeRGB1998.icc' \
    "$seeds/photo_jpg/o6-colour.jpg" "$seeds/photo_png/o6-rgb.png"
  exiftool -q -overwrite_original '-ICC_Profile<=/usr/share/color/icc/Gray.icc' \
    "$seeds/photo_jpg/o2-grey.jpg"
  exiftool -q -overwrite_original '-ICC_Profile<=/usr/share/color/icc/sRGB.icc' "$seeds/photo_png/o7-trns.png"
  if [ -e /usr/share/color/icc/ghostscript/ps_cmyk.icc ]; then
    exiftool -q -overwrite_original '-ICC_Profile<=/usr/share/color/icc/ghostscript/ps_cmyk.icc' \
      "$seeds/photo_jpg/o7-cmyk.jpg"
  fi
  for f in "$seeds"/photo_jpg/o*.jpg; do exiftool -b -EXIF "$f" > "$seeds/exif/$(basename "$f").tiff"; done
fi
if [ ! -d "$seeds/restart" ]; then
  # Restart intervals of whole MCU rows, of several intervals a row and of neither, in each
  # sampling, on a picture of a few MCU rows.
  mkdir -p "$seeds/restart"
  src="$seeds/restart.ppm"
  convert -size 61x53 gradient:red-blue -fill yellow -draw 'circle 30,26 40,26' "$src"
  cjpeg -restart 1 "$src" > "$seeds/restart/rows1.jpg"
  cjpeg -restart 1B "$src" > "$seeds/restart/mcu1.jpg"
  cjpeg -restart 3B -sample 1x1 "$src" > "$seeds/restart/444-3.jpg"
  cjpeg -restart 1 -sample 2x1 "$src" > "$seeds/restart/422.jpg"
  cjpeg -restart 2 -grayscale "$src" > "$seeds/restart/grey.jpg"
  convert "$src" -quality 85 "$seeds/restart/magick-plain.jpg"
  jpegtran -restart 2 "$seeds/restart/magick-plain.jpg" > "$seeds/restart/magick.jpg"
  rm "$seeds/restart/magick-plain.jpg"
fi
if [ ! -d "$seeds/sets" ]; then
  cp -r fuzz/seeds/sets "$seeds"/
fi
if [ ! -d "$seeds/webp" ]; then
  mkdir -p "$seeds/webp"
  src="$seeds/src.ppm"
  [ -f "$src" ] || convert -size 23x17 gradient:red-blue -fill yellow -draw 'circle 10,8 14,8' "$src"
  convert "$src" -alpha set -channel A -fx 'i%5 ? 1 : 0' "$seeds/webp-alpha.pam"
  cwebp -quiet -q 60 "$src" -o "$seeds/webp/lossy.webp"
  cwebp -quiet -lossless "$src" -o "$seeds/webp/lossless.webp"
  cwebp -quiet -q 60 -alpha_q 50 "$seeds/webp-alpha.pam" -o "$seeds/webp/lossy-alpha.webp"
  cwebp -quiet -lossless -exact "$seeds/webp-alpha.pam" -o "$seeds/webp/lossless-alpha.webp"
  webpmux -set icc /usr/share/color/icc/sRGB.icc "$seeds/webp/lossy.webp" -o "$seeds/webp/icc.webp"
  webpmux -frame "$seeds/webp/lossless-alpha.webp" +80+2+2 -frame "$seeds/webp/lossy.webp" +80 \
    -o "$seeds/webp/anim.webp"
fi
if [ ! -d "$seeds/jxl" ]; then
  mkdir -p "$seeds/jxl"
  src="$seeds/src.ppm"
  [ -f "$src" ] || convert -size 23x17 gradient:red-blue -fill yellow -draw 'circle 10,8 14,8' "$src"
  convert "$src" -alpha set -channel A -fx 'i%5 ? 1 : 0' "$seeds/jxl-alpha.png"
  cjxl "$src" "$seeds/jxl/lossy.jxl" -q 60 >/dev/null 2>&1
  cjxl "$src" "$seeds/jxl/lossless.jxl" -d 0 >/dev/null 2>&1
  cjxl "$seeds/jxl-alpha.png" "$seeds/jxl/alpha.jxl" -d 0 >/dev/null 2>&1
  convert "$src" -quality 80 "$seeds/jxl-src.jpg"
  cjxl "$seeds/jxl-src.jpg" "$seeds/jxl/recompressed.jxl" >/dev/null 2>&1
fi

for t in "${targets[@]}"; do
  case $t in
    fuzz_bmp|fuzz_load_bmp) kind=bmp ;;
    fuzz_load_jpg|fuzz_jpeg_region|fuzz_jpeg_lossless) kind=jpg ;;
    fuzz_jpeg_restart) kind=restart ;;
    fuzz_load_png) kind=png ;;
    fuzz_load_gif) kind=gif ;;
    fuzz_load_avif) kind=avif ;;
    fuzz_load_heic|fuzz_heif_grid) kind=heic ;;
    fuzz_load_tif) kind=tif ;;
    fuzz_load_webp) kind=webp ;;
    fuzz_load_jxl) kind=jxl ;;
    fuzz_load_dng) kind=raw ;;
    fuzz_shell_link) kind=lnk ;;
    fuzz_profile_file) kind=ini ;;
    fuzz_files_on_disk) kind=disk ;;
    fuzz_photo_jpg) kind=photo_jpg ;;
    fuzz_photo_png) kind=photo_png ;;
    fuzz_exif) kind=exif ;;
    fuzz_icc) kind=icc ;;
    fuzz_cut_set) kind=sets ;;
    *) echo "unknown target $t" >&2; exit 2 ;;
  esac
  corpus=$PWD/build-fuzz/corpus-$t  # absolute: fuzz_files_on_disk works in a folder of its own
  mkdir -p "$corpus" "$seeds/$kind"
  # The seeds kept with the sources join the made ones on every run, so new ones are never missed.
  if [ -d "fuzz/seeds/$kind" ]; then cp -r "fuzz/seeds/$kind/." "$seeds/$kind/"; fi
  echo "== $t for ${seconds}s"
  status=0
  # An over-allocation is a finding: no input may take more than 256 MB. ASan's quarantine of
  # freed blocks is kept small so that it does not count against that. Leaks inside the
  # libraries that are not ours to fix are suppressed by fuzz/lsan.supp.
  ASAN_OPTIONS=quarantine_size_mb=32 LSAN_OPTIONS=suppressions="$PWD/fuzz/lsan.supp" \
  build-fuzz/fuzz/$t "$corpus" "$PWD/$seeds/$kind" -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=256 -malloc_limit_mb=256 -print_final_stats=1 -artifact_prefix="$PWD/build-fuzz/$t-" \
    >"build-fuzz/$t.log" 2>&1 || status=$?
  grep -E 'stat::number_of_executed_units|stat::peak_rss_mb' "build-fuzz/$t.log" || true
  if [ $status -ne 0 ]; then
    tail -n 40 "build-fuzz/$t.log" >&2
    echo "fuzz: finding in $t (artifact under build-fuzz/)" >&2
    exit 1
  fi
done
