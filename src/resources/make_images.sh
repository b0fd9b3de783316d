#!/usr/bin/env bash
# Makes the program's icon and splash picture with ImageMagick. The results are committed;
# run this again only to change them.
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Icon 128: a blue disc with a light "L", at 48, 32 and 16 pixels.
convert -size 256x256 xc:none -fill '#1d3c6e' -draw 'roundrectangle 8,8 248,248 48,48' \
  -fill '#3f7fbf' -draw 'circle 128,128 128,40' \
  -font Helvetica-Bold -pointsize 150 -fill white -gravity center -annotate +4+6 'L' \
  "$work/icon.png"
convert "$work/icon.png" -define icon:auto-resize=48,32,16 lumenard.ico

# Bitmap 266: the splash picture, 256 colours to keep the program small.
convert -size 480x300 gradient:'#1d3c6e'-'#3f7fbf' \
  -font Helvetica-Bold -pointsize 60 -fill white -gravity center -annotate +0-25 'Lumenard' \
  -font Helvetica -pointsize 20 -fill '#dce8f5' -annotate +0+35 'Professional data recovery tool.' \
  -colors 256 -type Palette BMP3:splash.bmp
