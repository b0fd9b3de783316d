#!/usr/bin/env bash
# The folder tree that the benchmark images hold: 20 top folders × 10 subfolders × 1,000 files
# of a few bytes each (200,000 files) with long lower-case names, f0000_notes.txt to
# f0999_notes.txt. Their first six characters differ, so that mtools finds a free 8.3 alias
# ("F0000_~1.TXT") at its first try: names that share them cost it a scan of the folder per
# try, which makes a folder of 1,000 such files take minutes. $1 is the folder to fill.
set -euo pipefail
tree=${1:?usage: bench/images/tree.sh FOLDER}
export LC_ALL=C
tops=20 subs=10 files=1000
for ((t = 0; t < tops; t++)); do
  for ((s = 0; s < subs; s++)); do
    folder=$(printf '%s/top%02d/sub%d' "$tree" "$t" "$s")
    mkdir -p "$folder"
    for ((f = 0; f < files; f++)); do
      printf -v name 'f%04d_notes.txt' "$f"
      echo "$t $s $f" >"$folder/$name"
    done
  done
done
