#!/usr/bin/env bash
# Makes the program's icon and splash picture with ImageMagick. The results are committed;
# run this again only to change them.
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# "toolbar" makes only the toolbar icons below.
if [ "${1:-}" != toolbar ]; then
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

# Bitmap 276: the band across the top of the Recover dialog (267 x 37 dialog units), a folder
# with an arrow coming out of it on the program's blue.
convert -size 400x56 gradient:'#1d3c6e'-'#3f7fbf' -rotate 270 -resize 400x56\! \
  -fill '#e0b040' -draw 'polygon 14,20 30,20 34,25 58,25 58,48 14,48' \
  -fill '#7bd67f' -draw 'polygon 36,4 50,18 42,18 42,34 30,34 30,18 22,18' \
  -font DejaVu-Sans-Bold -pointsize 24 -fill white -gravity west -annotate +72-6 'Lumenard' \
  -font DejaVu-Sans -pointsize 12 -fill '#dce8f5' -annotate +74+16 'Recover your files to a safe place' \
  -colors 256 -type Palette BMP3:recover_banner.bmp
fi

# Icons 247-255 of the explorer window's toolbar and menu, 24 and 16 pixels, drawn on a
# transparent ground: each one a simple picture of its command.
icon() {  # name, ImageMagick draw arguments...
  local name=$1; shift
  convert -size 96x96 xc:none "$@" "$work/$name.png"
  convert "$work/$name.png" -define icon:auto-resize=24,16 "$name.ico"
}
icon analyze -fill '#6f7b8a' -draw 'roundrectangle 8,30 88,78 10,10' \
  -fill '#c9d1da' -draw 'roundrectangle 14,36 82,60 6,6' -stroke '#1d3c6e' -strokewidth 9 -fill none \
  -draw 'circle 40,40 40,16' -draw 'line 57,57 84,84'
icon stop -fill '#c0392b' -draw 'roundrectangle 14,14 82,82 12,12' -fill white \
  -draw 'rectangle 32,32 64,64'
icon rescan -stroke '#2e7d32' -strokewidth 10 -fill none -draw 'arc 14,14 82,82 200,500' \
  -stroke none -fill '#2e7d32' -draw 'polygon 8,40 34,40 21,62' -draw 'polygon 88,56 62,56 75,34'
icon recover -fill '#e0b040' -draw 'polygon 8,34 36,34 42,42 88,42 88,86 8,86' \
  -fill '#2e7d32' -draw 'polygon 48,4 72,28 58,28 58,58 38,58 38,28 24,28'
icon find -stroke '#1d3c6e' -strokewidth 10 -fill '#dce8f5' -draw 'circle 38,38 38,12' \
  -draw 'line 58,58 88,88'
icon settings -fill '#5d6d7e' -draw 'circle 48,48 48,8' -fill none -stroke white -strokewidth 4 \
  -draw 'line 48,8 48,24' -draw 'line 48,72 48,88' -draw 'line 8,48 24,48' -draw 'line 72,48 88,48' \
  -stroke none -fill white -draw 'circle 48,48 48,34' -fill '#5d6d7e' -draw 'circle 48,48 48,42'
icon website -fill '#2e86c1' -draw 'circle 48,48 48,6' -fill none -stroke white -strokewidth 4 \
  -draw 'ellipse 48,48 18,42 0,360' -draw 'line 6,48 90,48' -draw 'line 48,6 48,90' \
  -draw 'line 14,28 82,28' -draw 'line 14,68 82,68'
icon help -fill '#2e86c1' -draw 'circle 48,48 48,6' -fill white -stroke none \
  -font DejaVu-Sans-Bold -pointsize 64 -gravity center -annotate +0+2 '?'
icon about -fill '#1d3c6e' -draw 'circle 48,48 48,6' -fill white -stroke none \
  -font DejaVu-Serif-Bold -pointsize 64 -gravity center -annotate +0+2 'i'
