#!/usr/bin/env bash
# File-system analysis against The Sleuth Kit: on a FAT32 and an NTFS image of 200,000 files in
# nested folders (bench/images/, cached beside the build folder), times
# `lumenard-cli analyse --format tsv IMAGE` and `fls -r -p IMAGE`, both to /dev/null, RUNS times
# each (5), alternating after one untimed run of each that fills the page cache; also analyse
# with --deleted-only, whose short listing leaves mostly the analysis. Prints every time, the
# medians, their ratio and the peak resident memory of each program.
# $1 is a native build folder (Release).
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
source "$(dirname "$0")/lib/images.sh"
runs=${RUNS:-5}
cli=$(bench_cli)
bench_make_images

# USAGE_FILE COMMAND...: runs the command; GNU time (Debian's package "time") writes its peak
# resident memory in KiB to the file. Without GNU time the memory shows as 0.
run_measured() {
  if [ -x /usr/bin/time ]; then
    /usr/bin/time -f %M -o "$@"
  else
    shift
    "$@"
  fi
}

# Runs the command once with its output to /dev/null; sets last_seconds to its wall time and
# last_kib to its peak resident memory. A failing command ends the benchmark.
measure() {
  local usage started ended
  usage=$(mktemp)
  started=$EPOCHREALTIME
  if ! run_measured "$usage" "$@" >/dev/null 2>"$usage.err"; then
    echo "failed: $*" >&2
    tail -n 20 "$usage.err" >&2
    rm -f "$usage" "$usage.err"
    exit 1
  fi
  ended=$EPOCHREALTIME
  last_seconds=$(awk -v a="$started" -v b="$ended" 'BEGIN { printf "%.3f", b - a }')
  last_kib=$(tail -n 1 "$usage" | grep -x '[0-9]*' || echo 0)
  rm -f "$usage" "$usage.err"
}

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
largest() { printf '%s\n' "$@" | sort -g | tail -n 1; }

# Prints a row: the label, every time, the median and the largest peak memory.
report() {
  local label=$1 times=$2 kibs=$3
  # shellcheck disable=SC2086
  printf '  %-32s %s s   median %s s   peak %s MiB\n' "$label" "$times" "$(median $times)" \
    $(($(largest $kibs) / 1024))
}

compare() {
  local kind=$1 image=$bench_images/$1.img
  local ours=() ours_kib=() short=() short_kib=() fls_s=() fls_kib=() i
  echo "== $kind: $(du -h --apparent-size "$image" | cut -f1) image," \
    "$("$cli" analyse --format tsv "$image" 2>/dev/null | wc -l) lines from analyse," \
    "$(fls -r -p "$image" | wc -l) from fls"
  for ((i = 0; i < runs; i++)); do
    measure "$cli" analyse --format tsv "$image"
    ours+=("$last_seconds") ours_kib+=("$last_kib")
    measure fls -r -p "$image"
    fls_s+=("$last_seconds") fls_kib+=("$last_kib")
    measure "$cli" analyse --deleted-only --format tsv "$image"
    short+=("$last_seconds") short_kib+=("$last_kib")
  done
  report "lumenard-cli analyse" "${ours[*]}" "${ours_kib[*]}"
  report "fls -r -p" "${fls_s[*]}" "${fls_kib[*]}"
  # The same analysis with a listing of a few thousand rows: what the listing itself costs.
  report "  the same with --deleted-only" "${short[*]}" "${short_kib[*]}"
  awk -v a="$(median "${ours[@]}")" -v b="$(median "${fls_s[@]}")" \
    'BEGIN { printf "  analyse / fls = %.2f (goal: at most 1, aim 0.5)\n", (b > 0 ? a / b : 0) }'
}

echo "== File-system analysis against The Sleuth Kit's fls, $runs runs each"
compare fat32
compare ntfs
