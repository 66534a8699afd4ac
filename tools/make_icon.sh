#!/bin/sh
# SPDX-License-Identifier: GPL-2.0-or-later
# Draws the application icon (ui/ruvuvuri-32.png, -16.png and .ico, and the
# 48 and 128 pixel PNGs in packaging/icons): a clock
# dial over a chip in the 16-colour palette. Needs ImageMagick.
#   tools/make_icon.sh [OUT_DIR [ICON_DIR]]
set -e
out=${1:-ui}
# 32x32
convert -size 32x32 xc:none +antialias \
  -fill '#808080' \
  -draw 'rectangle 8,1 9,4' -draw 'rectangle 13,1 14,4' -draw 'rectangle 17,1 18,4' -draw 'rectangle 22,1 23,4' \
  -draw 'rectangle 8,27 9,30' -draw 'rectangle 13,27 14,30' -draw 'rectangle 17,27 18,30' -draw 'rectangle 22,27 23,30' \
  -draw 'rectangle 1,8 4,9' -draw 'rectangle 1,13 4,14' -draw 'rectangle 1,17 4,18' -draw 'rectangle 1,22 4,23' \
  -draw 'rectangle 27,8 30,9' -draw 'rectangle 27,13 30,14' -draw 'rectangle 27,17 30,18' -draw 'rectangle 27,22 30,23' \
  -fill '#008000' -stroke '#000000' -draw 'rectangle 4,4 27,27' \
  -stroke none -fill '#00ff00' -draw 'point 6,6' \
  -fill '#ffffff' -stroke '#000000' -draw 'circle 15.5,15.5 15.5,6' \
  -stroke none -fill '#000000' \
  -draw 'rectangle 15,7 16,8' -draw 'rectangle 15,23 16,24' -draw 'rectangle 7,15 8,16' -draw 'rectangle 23,15 24,16' \
  -stroke '#000080' -strokewidth 2 -draw 'line 15.5,15.5 15.5,9.5' \
  -stroke '#ff0000' -strokewidth 1 -draw 'line 16,16 21,20' \
  -stroke none -fill '#000000' -draw 'rectangle 15,15 16,16' \
  -colors 16 -strip PNG8:"$out/ruvuvuri-32.png"
# 16x16
convert -size 16x16 xc:none +antialias \
  -fill '#808080' \
  -draw 'rectangle 4,0 4,1' -draw 'rectangle 7,0 8,1' -draw 'rectangle 11,0 11,1' \
  -draw 'rectangle 4,14 4,15' -draw 'rectangle 7,14 8,15' -draw 'rectangle 11,14 11,15' \
  -draw 'rectangle 0,4 1,4' -draw 'rectangle 0,7 1,8' -draw 'rectangle 0,11 1,11' \
  -draw 'rectangle 14,4 15,4' -draw 'rectangle 14,7 15,8' -draw 'rectangle 14,11 15,11' \
  -fill '#008000' -stroke '#000000' -draw 'rectangle 2,2 13,13' \
  -fill '#ffffff' -stroke '#000000' -draw 'circle 7.5,7.5 7.5,3.5' \
  -stroke none -fill '#000080' -draw 'rectangle 7,4 7,7' \
  -fill '#ff0000' -draw 'line 8,8 10,10' \
  -fill '#000000' -draw 'point 7,8' \
  -colors 16 -strip PNG8:"$out/ruvuvuri-16.png"
convert "$out/ruvuvuri-32.png" "$out/ruvuvuri-16.png" -colors 16 "$out/ruvuvuri.ico"
# The larger sizes of the hicolor theme, from the 32x32 drawing: 128 in whole
# pixels (4x), 48 from a 3x copy halved, so that its edges stay even.
# packaging/icons/ruvuvuri.svg is the same drawing as a scalable image.
icons=${2:-packaging/icons}
convert "$out/ruvuvuri-32.png" -filter point -resize 128x128 -strip PNG32:"$icons/ruvuvuri-128.png"
convert "$out/ruvuvuri-32.png" -filter point -resize 96x96 -filter box -resize 48x48 -strip \
  PNG32:"$icons/ruvuvuri-48.png"
