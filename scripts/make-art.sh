#!/bin/bash
# Draws the program's pictures into src/res with ImageMagick. The top-left
# pixel of the side bitmap and of the frames is the background that the
# program recolours to the dialog face colour.
set -euo pipefail
out=$(cd "$(dirname "$0")/.." && pwd)/src/res
bg='rgb(192,192,192)'
navy='rgb(24,52,96)'
teal='rgb(0,128,128)'
amber='rgb(230,150,20)'

# Side bitmap: a VQ unit on a control network, top to bottom.
convert -size 150x300 "xc:$bg" \
  -fill 'rgb(214,222,232)' -stroke none -draw "roundrectangle 10,10 140,290 12,12" \
  -stroke "$navy" -strokewidth 3 -draw "line 75,40 75,260" \
  -stroke "$navy" -strokewidth 2 -draw "line 30,80 120,80" -draw "line 30,220 120,220" \
  -stroke none -fill "$navy" -draw "circle 30,80 36,80" -draw "circle 120,80 126,80" \
  -draw "circle 30,220 36,220" -draw "circle 120,220 126,220" \
  -fill "$teal" -draw "roundrectangle 40,120 110,180 6,6" \
  -fill white -draw "rectangle 50,132 100,150" \
  -fill "$amber" -draw "circle 58,166 62,166" -fill 'rgb(60,200,90)' -draw "circle 74,166 78,166" \
  -fill "$navy" -font DejaVu-Sans-Bold -pointsize 14 -draw "text 56,146 'VQ'" \
  -type TrueColor "PNG24:$out/side210.png"

# Six frames: a bright dot travels along a chain of units.
for i in 0 1 2 3 4 5; do
  args=(-size 48x48 "xc:$bg" -stroke "$navy" -strokewidth 2 -draw "line 8,24 40,24")
  for j in 0 1 2 3 4 5; do
    x=$((6 + j * 7))
    if [ "$j" -eq "$i" ]; then args+=(-stroke none -fill "$amber" -draw "circle $x,24 $((x + 4)),24")
    else args+=(-stroke none -fill "$teal" -draw "circle $x,24 $((x + 2)),24"); fi
  done
  args+=(-fill "$navy" -draw "rectangle 14,8 34,16" -draw "rectangle 14,32 34,40")
  convert "${args[@]}" -type TrueColor "PNG24:$out/frame$((150 + i)).png"
done

# Application icon.
convert -size 64x64 xc:none -fill "$teal" -draw "roundrectangle 4,4 60,60 10,10" \
  -fill white -draw "rectangle 14,18 50,40" -fill "$navy" -font DejaVu-Sans-Bold -pointsize 18 \
  -draw "text 18,37 'VQ'" -fill "$amber" -draw "circle 22,50 25,50" -fill 'rgb(60,200,90)' -draw "circle 34,50 37,50" \
  "PNG32:$out/app128.png"

# Up and Down arrows, 16 x 16.
convert -size 16x16 xc:none -fill "$navy" -draw "polygon 8,2 14,10 2,10" -draw "rectangle 6,10 10,14" "PNG32:$out/up190.png"
convert -size 16x16 xc:none -fill "$navy" -draw "polygon 8,14 14,6 2,6" -draw "rectangle 6,2 10,6" "PNG32:$out/down138.png"

# Drag cursor: an arrow with a small list item.
convert -size 32x32 xc:none -fill black -stroke white -strokewidth 1 \
  -draw "polygon 1,1 1,20 6,15 10,23 13,22 9,14 16,14" \
  -fill "$teal" -stroke "$navy" -draw "rectangle 14,20 30,30" "PNG32:$out/drag.png"
