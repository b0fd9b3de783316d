#!/usr/bin/env bash
# The real files of the carving benchmark, written by the Debian tools that make such files
# every day: JPEG, PNG, GIF, BMP and TIFF pictures (ImageMagick), JPEG-frame AVI, MPEG-4 and WAV
# files (ffmpeg), Word, Excel and PowerPoint files in the old binary formats and PDF files
# (LibreOffice), and ZIP, gzip, bzip2, xz and tar archives of text. Deterministic in content
# where the tools are. $1 is the folder to fill.
set -euo pipefail
out=${1:?usage: bench/images/carve_files.sh FOLDER}
mkdir -p "$out"
cd "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LC_ALL=C

# Text to put into documents and archives: words from the system's licence texts.
words=$work/words.txt
cat /usr/share/common-licenses/* | tr -cs 'A-Za-z' '\n' | grep -E '^.{3,}$' | head -n 40000 >"$words"
text() {  # SEED LINES: lines of ten words
  awk -v seed="$1" -v lines="$2" 'BEGIN { srand(seed) } { w[NR] = $0 } END {
    for (l = 0; l < lines; l++) { s = ""; for (i = 0; i < 10; i++) s = s w[int(rand() * NR) + 1] " "; print s } }' "$words"
}

for i in $(seq -w 1 40); do
  size=$((160 + 10#$i * 37))x$((120 + 10#$i * 23))
  convert -seed "$i" -size "$size" plasma:fractal -quality $((60 + 10#$i % 35)) "photo_$i.jpg"
done
for i in $(seq -w 1 12); do
  convert -seed "$i" -size $((64 + 10#$i * 40))x$((64 + 10#$i * 20)) plasma:fractal "picture_$i.png"
  convert -seed "$i" -size $((48 + 10#$i * 16))x$((48 + 10#$i * 8)) plasma:fractal -colors 64 "icon_$i.gif"
done
for i in $(seq -w 1 8); do
  convert -seed "$i" -size $((100 + 10#$i * 30))x$((80 + 10#$i * 20)) plasma:fractal -type truecolor "bitmap_$i.bmp"
  convert -seed "$i" -size $((100 + 10#$i * 30))x$((80 + 10#$i * 20)) plasma:fractal "scan_$i.tif"
done

for i in 1 2 3 4; do
  ffmpeg -v error -y -f lavfi -i "testsrc=size=320x240:rate=10" -t $((i + 1)) -c:v mjpeg -q:v 5 \
    "clip_$i.avi"
  ffmpeg -v error -y -f lavfi -i "sine=frequency=$((300 * i)):duration=$i" "tone_$i.wav"
done
for i in 1 2; do
  ffmpeg -v error -y -f lavfi -i "testsrc=size=320x240:rate=15" -t 2 -c:v mpeg4 "movie_$i.mp4"
done

# Documents: text into Word, comma-separated values into Excel, a flat presentation into
# PowerPoint, text into PDF; LibreOffice converts them all in one start per format.
docs=$work/docs
mkdir -p "$docs"
for i in 1 2 3 4; do
  text "$i" $((100 * i)) >"$docs/letter_$i.txt"
  awk -v seed="$i" 'BEGIN { srand(seed); for (r = 0; r < 300 * seed; r++) {
    s = r; for (c = 0; c < 8; c++) s = s "," int(rand() * 100000); print s } }' >"$docs/table_$i.csv"
  {
    echo '<?xml version="1.0" encoding="UTF-8"?>'
    echo '<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"'
    echo ' xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0"'
    echo ' xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"'
    echo ' xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0"'
    echo ' office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.presentation">'
    echo '<office:body><office:presentation>'
    for page in $(seq 1 $((3 * i))); do
      echo "<draw:page draw:name=\"page$page\"><draw:frame svg:x=\"2cm\" svg:y=\"2cm\""
      echo ' svg:width="20cm" svg:height="10cm"><draw:text-box>'
      text "$((i * 100 + page))" 6 | sed 's/.*/<text:p>&<\/text:p>/'
      echo '</draw:text-box></draw:frame></draw:page>'
    done
    echo '</office:presentation></office:body></office:document>'
  } >"$docs/slides_$i.fodp"
  text "$((i + 50))" $((60 * i)) >"$docs/report_$i.txt"
done
office() {  # FORMAT FILES...
  local format=$1
  shift
  HOME=$work soffice --headless --norestore --convert-to "$format" --outdir "$out" "$@" >/dev/null 2>&1
}
office doc "$docs"/letter_*.txt
office xls "$docs"/table_*.csv
office ppt "$docs"/slides_*.fodp
office pdf "$docs"/report_*.txt

# Archives of text.
for i in 1 2 3 4 5 6; do
  text "$((i + 200))" $((400 * i)) >"$work/notes_$i.txt"
  (cd "$work" && zip -q -X "$out/notes_$i.zip" "notes_$i.txt")
  gzip -n -c "$work/notes_$i.txt" >"notes_$i.txt.gz"
  bzip2 -c "$work/notes_$i.txt" >"notes_$i.txt.bz2"
done
for i in 1 2 3 4; do
  xz -c "$work/notes_$i.txt" >"notes_$i.txt.xz"
  tar -C "$work" --mtime=@0 --owner=0 --group=0 -cf "bundle_$i.tar" "notes_$i.txt" "notes_$((i + 1)).txt"
done
ls | wc -l >&2
