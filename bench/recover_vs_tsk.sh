#!/usr/bin/env bash
# Recovery against The Sleuth Kit: on a FAT32 and an NTFS volume of 1 GiB with about 2,900
# files (bench/images/recover_image.sh, cached beside the build folder: live and deleted files,
# files in deleted folders, fragmented live and deleted files), times
# `lumenard-cli recover IMAGE --to DIR --all` and `tsk_recover -e IMAGE DIR` in one run, RUNS
# times each (3, alternating; the median counts) after a read of the image that fills the page
# cache and a sync before every run, so that no run pays for the last one's writes, and counts the files of
# the manifest each one writes byte-exact (same size and cksum, wherever and under whatever
# name it put them), by kind of file.
# $1 is a native build folder (Release).
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
runs=${RUNS:-3}
cli=$(bench_cli)
command -v tsk_recover >/dev/null || { echo "recover_vs_tsk: tsk_recover is missing (sleuthkit)" >&2; exit 1; }

make_image() {  # kind
  local image=$bench_images/recover_$1.img
  local sum
  sum=$(sha256sum "$bench_root/bench/images/recover_image.sh" | cut -d' ' -f1)
  if [ -f "$image" ] && [ -f "$image.manifest" ] && [ "$(cat "$image.stamp" 2>/dev/null)" = "$sum" ]; then
    return 0
  fi
  mkdir -p "$bench_images"
  echo "making $image" >&2
  rm -f "$image.stamp"
  local started=$SECONDS
  bash "$bench_root/bench/images/recover_image.sh" "$1" "$image"
  echo "$sum" >"$image.stamp"
  echo "  made in $((SECONDS - started)) s" >&2
}

# Runs the command with its output to a log; sets last_seconds and last_code.
measure() {
  local log=$1 started ended
  shift
  sync
  started=$EPOCHREALTIME
  last_code=0
  "$@" >"$log" 2>&1 || last_code=$?
  ended=$EPOCHREALTIME
  last_seconds=$(awk -v a="$started" -v b="$ended" 'BEGIN { printf "%.2f", b - a }')
}

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# The manifest's files that DIR holds byte-exact, by class: live, deleted, in a deleted folder,
# fragmented live, fragmented deleted; then the files written in all.
count_exact() {  # manifest dir
  find "$2" -type f -print0 | xargs -0 -r cksum | awk -v manifest="$1" '
    { have[$1 " " $2] = 1; written++ }
    END {
      while ((getline line < manifest) > 0) {
        split(line, f, "\t")
        path = f[7]
        class = path ~ /^frag\/frag/ ? (f[1] == "live" ? "frag-live" : "frag-deleted") \
              : path ~ /^gone\// ? "in-deleted-folder" : f[1]
        total[class]++
        if ((f[4] " " f[3]) in have) exact[class]++
      }
      n = split("live deleted in-deleted-folder frag-live frag-deleted", order, " ")
      for (i = 1; i <= n; i++) printf "%s %d/%d  ", order[i], exact[order[i]], total[order[i]]
      for (c in exact) all += exact[c]
      printf "| byte-exact %d, files written %d\n", all, written
    }'
}

compare() {  # kind
  local kind=$1 image=$bench_images/recover_$1.img
  local work i
  work=$(mktemp -d "$bench_images/recover_run.XXXXXX")
  echo "== $kind: $(du -h --apparent-size "$image" | cut -f1) image, $(wc -l <"$image.manifest") files in the manifest"
  cat "$image" >/dev/null
  local ours=() theirs=() summary tsk_summary
  for ((i = 0; i < runs; i++)); do
    rm -rf "$work/ours" "$work/tsk"
    mkdir -p "$work/ours"
    measure "$work/ours.log" "$cli" recover "$image" --to "$work/ours" --all
    ours+=("$last_seconds")
    summary="exit $last_code, $(grep -a '^recovered' "$work/ours.log" | tail -n 1)"
    measure "$work/tsk.log" tsk_recover -e "$image" "$work/tsk"
    theirs+=("$last_seconds")
    tsk_summary="exit $last_code, $(tail -n 1 "$work/tsk.log")"
  done
  printf '  %-28s %s s  median %s s  (%s)\n' "lumenard-cli recover --all" "${ours[*]}" \
    "$(median "${ours[@]}")" "$summary"
  printf '  %-28s %s s  median %s s  (%s)\n' "tsk_recover -e" "${theirs[*]}" \
    "$(median "${theirs[@]}")" "$tsk_summary"
  awk -v a="$(median "${ours[@]}")" -v b="$(median "${theirs[@]}")" \
    'BEGIN { printf "  recover / tsk_recover = %.2f (goal: at most 1)\n", (b > 0 ? a / b : 0) }'
  printf '  %-12s %s\n' "lumenard:" "$(count_exact "$image.manifest" "$work/ours")"
  printf '  %-12s %s\n' "tsk_recover:" "$(count_exact "$image.manifest" "$work/tsk")"
  rm -rf "$work"
}

make_image fat32
make_image ntfs
echo "== Recovery against The Sleuth Kit's tsk_recover -e, $runs run(s) each"
compare fat32
compare ntfs
