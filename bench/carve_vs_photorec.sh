#!/usr/bin/env bash
# Carving against PhotoRec and foremost on one image of real files (bench/images/carve.sh over
# the files of bench/images/carve_files.sh, cached beside the build folder): in one run on the
# cached image, times `lumenard-cli analyse IMAGE --sectors-only --format tsv`,
# `photorec /log /d DIR /cmd IMAGE options,paranoid,fileopt,everything,enable,search` and
# `foremost -Q -q -t all`, and prints per tool the MB/s of image by wall time and by processor
# time, the peak resident memory, and per file type the files found at their start, complete
# (the recovered bytes begin with the whole original) and exact. Then checks that lumenard's
# listing is the same with 1, 2 and 4 threads, and (bench/carve_blocks.cpp) that the scan in
# process reports the same objects with 1, 2 and 4 workers and blocks of 64 KiB, 2 MiB, 16 MiB.
# The scanner's threads run at the lowest priority, so on a busy machine its wall time says
# more about the other programs than about the scan; the processor time does not.
# $1 is a native build folder (Release).
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
cli=$(bench_cli)

files=$bench_images/carve-files
image=$bench_images/carve.img
work=$bench_images/carve-run
stamp=$(cat "$bench_root"/bench/images/carve_files.sh "$bench_root"/bench/images/carve.sh | sha256sum | cut -d' ' -f1)
if [ ! -f "$image.stamp" ] || [ "$(cat "$image.stamp")" != "$stamp" ] || [ ! -f "$image" ]; then
  echo "making the carving corpus and $image" >&2
  mkdir -p "$bench_images"
  rm -rf "$files" "$image.stamp"
  bash "$bench_root/bench/images/carve_files.sh" "$files"
  bash "$bench_root/bench/images/carve.sh" "$image" "$files"
  echo "$stamp" >"$image.stamp"
fi
image_mb=$(awk -v b="$(stat -c %s "$image")" 'BEGIN { printf "%.1f", b / 1e6 }')

# NAME COMMAND...: runs the command once, output to $work/NAME.out; prints one line of figures.
measure() {
  local name=$1
  shift
  local started ended
  started=$EPOCHREALTIME
  if ! /usr/bin/time -f "%U %S %M" -o "$work/$name.time" "$@" >"$work/$name.out" 2>"$work/$name.err"; then
    echo "$name failed: $*" >&2
    tail -n 20 "$work/$name.err" >&2
    return 1
  fi
  ended=$EPOCHREALTIME
  read -r user sys kib <"$work/$name.time"
  awk -v n="$name" -v a="$started" -v b="$ended" -v u="$user" -v s="$sys" -v k="$kib" -v mb="$image_mb" \
    'BEGIN { w = b - a; c = u + s; if (c < 0.01) c = 0.01;
             printf "%-9s %8.2f s %9.1f MB/s %8.2f s %9.1f MB/s %9.1f MiB\n", n, w, mb / w, c, mb / c, k / 1024 }'
}

rm -rf "$work"
mkdir -p "$work"
cat "$image" >/dev/null  # the page cache holds the image for every tool alike
echo "== Carving $image ($image_mb MB, $(($(wc -l <"$image.manifest") - 1)) files)"
printf "%-9s %10s %14s %10s %14s %13s\n" tool wall "by wall" processor "by processor" "peak memory"
measure lumenard "$cli" analyse "$image" --sectors-only --format tsv
cp "$work/lumenard.out" "$work/lumenard.tsv"
scores=(lumenard=lumenard:"$work/lumenard.tsv")
if command -v photorec >/dev/null; then
  mkdir -p "$work/photorec"
  # PhotoRec writes photorec.log into the current folder.
  (cd "$work" && measure photorec photorec /log /d "$work/photorec/rec" /cmd "$image" \
    options,paranoid,fileopt,everything,enable,search)
  scores+=(photorec=files:"$work/photorec")
else
  echo "photorec: not installed (Debian package testdisk)"
fi
if command -v foremost >/dev/null; then
  measure foremost foremost -Q -q -t all -i "$image" -o "$work/foremost"
  scores+=(foremost=files:"$work/foremost")
else
  echo "foremost: not installed"
fi

echo
echo "== Files per type: found at their start / complete / exact"
CARVE_FILES=$files python3 "$bench_root/bench/carve_score.py" "$image" "$image.manifest" "${scores[@]}"

# The score reads lumenard's files from the image at the listed start and size; cat --start
# must give the same bytes.
echo
checked=0
while IFS=$'\t' read -r _ state _ _ _ size start _; do
  [ "$state" = lost ] && [ "$size" -gt 0 ] || continue
  "$cli" cat "$image" --start "$start" >"$work/cat.bin" 2>/dev/null
  if ! cmp -s "$work/cat.bin" <(tail -c +"$((start + 1))" "$image" | head -c "$size"); then
    echo "cat --start $start: not the listed $size bytes at that start" >&2
    exit 1
  fi
  checked=$((checked + 1))
  [ "$checked" -lt 3 ] || break
done < <(tail -n +2 "$work/lumenard.tsv" | awk -F'\t' 'NR % 40 == 1')
echo "cat --start gives the listed bytes ($checked files checked)"

for threads in 2 4; do
  "$cli" analyse "$image" --sectors-only --threads "$threads" --format tsv \
    >"$work/threads$threads.tsv" 2>/dev/null
  if cmp -s "$work/lumenard.tsv" "$work/threads$threads.tsv"; then
    echo "listing with $threads threads: the same as with 1"
  else
    echo "listing with $threads threads: DIFFERS from 1 thread" >&2
    diff "$work/lumenard.tsv" "$work/threads$threads.tsv" | head -n 10 >&2
    exit 1
  fi
done

# Block sizes are a setting that lumenard-cli does not take: the scanner runs in process for
# them, over the image in memory.
echo
echo "== The scan in process: workers and block sizes"
"$(bench_program carve_blocks)" "$image"
