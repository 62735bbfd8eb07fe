#!/usr/bin/env bash
# Draws the program's three icons (32x32 and 16x16 in each .ico) with ImageMagick.
#   document.ico (1)  an editor window: a page with lines of text
#   frame.ico    (2)  the program: a padlock with a quill across it
#   about.ico    (101) the About box: a key
# Run from this folder; the .ico files are committed.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

draw() {  # name, size, ImageMagick draw arguments...
    local out=$1 size=$2
    shift 2
    convert -size 32x32 xc:none "$@" -resize "${size}x${size}" "$tmp/$out-$size.png"
}

page=(-fill white -stroke black -strokewidth 1 -draw "polygon 6,2 21,2 27,8 27,30 6,30"
      -fill '#c0c0c0' -draw "polygon 21,2 21,8 27,8"
      -stroke '#000080' -strokewidth 2
      -draw "line 10,12 23,12" -draw "line 10,17 23,17" -draw "line 10,22 20,22"
      -draw "line 10,26 23,26")
lock=(-fill none -stroke '#404040' -strokewidth 3 -draw "arc 8,3 24,19 180,360"
      -draw "line 8,11 8,15" -draw "line 24,11 24,15"
      -fill '#d4a017' -stroke black -strokewidth 1 -draw "roundrectangle 4,14 28,30 3,3"
      -fill black -draw "circle 16,21 16,23" -draw "rectangle 15,22 17,27"
      -stroke '#800000' -strokewidth 2 -draw "line 30,1 12,27"
      -fill '#800000' -stroke none -draw "polygon 30,1 22,6 26,10")
key=(-fill '#d4a017' -stroke black -strokewidth 1 -draw "circle 10,16 10,7"
     -fill none -draw "circle 10,16 10,13"
     -fill '#d4a017' -draw "rectangle 18,14 30,18" -draw "rectangle 24,18 26,23"
     -draw "rectangle 28,18 30,22")

for s in 32 16; do
    draw document "$s" "${page[@]}"
    draw frame "$s" "${lock[@]}"
    draw about "$s" "${key[@]}"
done
for n in document frame about; do
    convert "$tmp/$n-32.png" "$tmp/$n-16.png" "$n.ico"
done
