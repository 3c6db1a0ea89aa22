#!/usr/bin/env bash
# Draws trimlet's icon — a photo with a dimmed surround, a dashed cut frame and orange crop
# corners — into forms/icons/trimlet-SIZE.png. Needs ImageMagick's `convert`.
# 16 and 32 px are drawn pixel by pixel (a shrunk large icon turns to mush there); 48 px and up
# come from one drawing on a 256-unit square, 4x oversampled and box-averaged. Every size has its
# double among them (96 and 512 for 48 and 256), so a screen at twice the density gets drawn
# pixels instead of enlarged ones.
set -euo pipefail
out="$(cd "$(dirname "$0")/.." && pwd)/forms/icons"
mkdir -p "$out"

outline='#34495e' sky='#8fd3f7' sun='#ffd43b' hill='#6cc25b' field='#3d9a43'
mark='#ff7b1a' markEdge='#8a3b00' dim='rgba(0,0,0,0.4)'

# One crop corner as two filled bars (whole pixels, both ends inclusive): outer corner X,Y,
# arms pointing DX,DY (+1 or -1), arm length A, thickness T.
corner() {
    local x=$1 y=$2 dx=$3 dy=$4 a=$5 t=$6
    local xa=$((x + dx * (a - 1))) ya=$((y + dy * (a - 1)))
    local xt=$((x + dx * (t - 1))) yt=$((y + dy * (t - 1)))
    echo "rectangle $((x < xa ? x : xa)),$((y < yt ? y : yt)) $((x > xa ? x : xa)),$((y > yt ? y : yt))"
    echo "rectangle $((x < xt ? x : xt)),$((y < ya ? y : ya)) $((x > xt ? x : xt)),$((y > ya ? y : ya))"
}

# Everything outside the cut frame L,T-R,B within the picture PL,PT-PR,PB, darkened.
dimOutside() {
    local pl=$1 pt=$2 pr=$3 pb=$4 l=$5 t=$6 r=$7 b=$8
    echo "fill $dim"
    echo "rectangle $pl,$pt $pr,$((t - 1)) rectangle $pl,$((b + 1)) $pr,$pb"
    echo "rectangle $pl,$t $((l - 1)),$b rectangle $((r + 1)),$t $pr,$b"
}

icon16() {
    cat <<EOF
fill $outline rectangle 0,2 15,13
fill $sky rectangle 1,3 14,12
fill $sun rectangle 12,4 13,5
fill $hill polygon 1,10 4,7 7,9 10,7 14,10 14,12 1,12
fill $field rectangle 1,12 14,12
$(dimOutside 1 3 14 12 4 5 11 10)
fill white rectangle 4,5 11,5 rectangle 4,10 11,10 rectangle 4,6 4,9 rectangle 11,6 11,9
fill $mark
$(corner 3 4 1 1 3 1; corner 12 4 -1 1 3 1; corner 12 11 -1 -1 3 1; corner 3 11 1 -1 3 1)
EOF
}

icon32() {
    cat <<EOF
fill $outline polygon 1,4 30,4 31,5 31,26 30,27 1,27 0,26 0,5
fill white rectangle 1,5 30,26
fill $sky rectangle 3,7 28,24
fill $sun rectangle 24,9 25,12 rectangle 23,10 26,11
fill $hill polygon 3,20 9,14 15,19 20,15 28,21 28,24 3,24
fill $field polygon 3,24 3,22 12,20 19,23 28,21 28,24
$(dimOutside 3 7 28 24 9 11 22 20)
fill black rectangle 9,11 22,11 rectangle 9,20 22,20 rectangle 9,12 9,19 rectangle 22,12 22,19
fill white
EOF
    # Marching ants: two pixels white, two black, round the frame.
    local x y
    for ((x = 9; x <= 22; x++)); do ((((x - 9) % 4) < 2)) && echo "point $x,11 point $((31 - x)),20"; done
    for ((y = 12; y <= 19; y++)); do ((((y - 12) % 4) < 2)) && echo "point 22,$y point 9,$((31 - y))"; done
    echo "fill $mark"
    corner 7 9 1 1 5 2; corner 24 9 -1 1 5 2; corner 24 22 -1 -1 5 2; corner 7 22 1 -1 5 2
}

# The large drawing on a 256-unit square; the crop corners are filled outlines because
# ImageMagick's wide open strokes draw ragged ends.
iconLarge() {
    cat <<EOF
push graphic-context
  fill white stroke $outline stroke-width 6
  roundrectangle 16,40 240,216 14,14
pop graphic-context
fill $sky rectangle 30,54 226,202
fill $sun circle 186,92 186,110
fill $hill polygon 30,176 84,118 134,160 172,130 226,178 226,202 30,202
fill $field polygon 30,196 96,158 156,188 226,164 226,202 30,202
push graphic-context
  fill-rule evenodd fill $dim
  path 'M 30 54 L 226 54 L 226 202 L 30 202 Z M 72 84 L 184 84 L 184 174 L 72 174 Z'
pop graphic-context
push graphic-context
  fill none stroke black stroke-width 6 rectangle 72,84 184,174
  stroke white stroke-width 4 stroke-dasharray 12,8 rectangle 72,84 184,174
pop graphic-context
push graphic-context
  fill $mark stroke $markEdge stroke-width 3 stroke-linejoin miter
  polygon 56,68 104,68 104,80 68,80 68,116 56,116
  polygon 200,68 152,68 152,80 188,80 188,116 200,116
  polygon 200,190 152,190 152,178 188,178 188,142 200,142
  polygon 56,190 104,190 104,178 68,178 68,142 56,142
pop graphic-context
EOF
}

save() { convert "$@" -strip -define png:exclude-chunks=date,time "PNG32:$out/trimlet-${size}.png"; }

size=16; save -size 16x16 xc:none +antialias -draw "$(icon16)"
size=32; save -size 32x32 xc:none +antialias -draw "$(icon32)"
for size in 48 64 96 128 256 512; do
    big=$((size * 4))
    scale=$(awk "BEGIN { printf \"%.6f\", $big / 256 }")
    save -size "${big}x${big}" xc:none -draw "affine $scale,0,0,$scale,0,0 $(iconLarge)" \
        -filter box -resize "${size}x${size}"
done
echo "wrote $out/trimlet-{16,32,48,64,96,128,256,512}.png"
