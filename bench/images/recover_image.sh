#!/usr/bin/env bash
# A volume of 1 GiB for the recovery benchmark, FAT32 (mkfs.fat and mtools) or NTFS (mkntfs and
# ntfs-3g, FUSE, as root), with about 2,900 files of random bytes (so that each is known by its
# cksum, whatever name a program gives it back under):
#   live/dNN/fNNNN.bin  40 folders of 60 files from 512 bytes to 400 KiB; the last 5 of each
#                       folder are deleted afterwards
#   gone/dN/fNNNN.bin   4 folders of 50 files, deleted with their folders
#   frag/fragNN.bin     40 files of 20 pieces of 16 KiB whose pieces are not consecutive on the
#                       volume (with small kept files between them); frag00 to frag19 are
#                       deleted afterwards
# FAT32: the pieces' holes are made by files removed before the fragmented files are copied,
# with the allocation hint of FSInfo cleared so that mtools fills the holes from the start.
# NTFS: each fragmented file is written a piece at a time from its last piece to its first, with
# a filler file written after every piece, so that its pieces lie apart and in reverse order;
# the fillers are removed.
# Nothing is written after the deletions, so every deleted file's clusters still hold its bytes.
#
#   recover_image.sh fat32|ntfs IMAGE     writes IMAGE and IMAGE.manifest: one line per file
#   state (live|deleted)  kind (file)  size  crc (cksum)  intact (yes)  mtime (0)  path
set -euo pipefail
kind=${1:?usage: recover_image.sh fat32|ntfs IMAGE}
image=${2:?usage: recover_image.sh fat32|ntfs IMAGE}
PATH=$PATH:/usr/sbin:/sbin
export LC_ALL=C MTOOLS_SKIP_CHECK=1

work=$(mktemp -d "$(dirname "$image")/recover_image.XXXXXX")
mnt=$work/mnt
stage=$work/stage
mkdir -p "$mnt" "$stage"
cleanup() {
  mountpoint -q "$mnt" && umount "$mnt"
  rm -rf "$work"
}
trap cleanup EXIT

RANDOM=2027
piece=16384
pieces=20

stage_files() {
  local d f size
  for ((d = 0; d < 40; d++)); do
    mkdir -p "$stage/live/d$(printf %02d $d)"
    for ((f = 0; f < 60; f++)); do
      # Mostly small files, some large ones: 512 bytes to 400 KiB.
      size=$(((RANDOM % 4 == 0 ? RANDOM * 12 : RANDOM) % 409600 + 512))
      head -c "$size" /dev/urandom >"$stage/live/d$(printf %02d $d)/f$(printf %04d $((d * 60 + f))).bin"
    done
  done
  for ((d = 0; d < 4; d++)); do
    mkdir -p "$stage/gone/d$d"
    for ((f = 0; f < 50; f++)); do
      head -c $((RANDOM % 65536 + 512)) /dev/urandom >"$stage/gone/d$d/f$(printf %04d $((d * 50 + f))).bin"
    done
  done
  mkdir -p "$stage/frag" "$stage/holes"
  for ((f = 0; f < 40; f++)); do
    head -c $((pieces * piece)) /dev/urandom >"$stage/frag/frag$(printf %02d $f).bin"
  done
  for ((f = 0; f < 40 * pieces; f++)); do
    head -c "$piece" /dev/urandom >"$stage/holes/h$(printf %04d $f)"
    head -c 2048 /dev/urandom >"$stage/frag/k$(printf %04d $f).bin"
  done
}

# The paths deleted afterwards, from the root.
deleted_paths() {
  local d f
  for ((d = 0; d < 40; d++)); do
    for ((f = 55; f < 60; f++)); do
      printf 'live/d%02d/f%04d.bin\n' $d $((d * 60 + f))
    done
  done
  (cd "$stage" && find gone -type f)
  for ((f = 0; f < 20; f++)); do printf 'frag/frag%02d.bin\n' $f; done
}

write_manifest() {
  local deleted=$work/deleted
  deleted_paths | sort >"$deleted"
  # cksum prints "crc size path"; the k files are the small files between the fragments' pieces.
  (cd "$stage" && find live gone frag -type f -print0 | xargs -0 cksum) |
    awk -v deleted="$deleted" '
      BEGIN { while ((getline line < deleted) > 0) gone[line] = 1 }
      { path = $3; for (i = 4; i <= NF; i++) path = path " " $i
        printf "%s\tfile\t%s\t%s\tyes\t0\t%s\n", (path in gone ? "deleted" : "live"), $2, $1, path }' |
    sort -t$'\t' -k7
}

make_fat32() {
  rm -f "$image"
  truncate -s 1G "$image"
  mkfs.fat -F 32 -S 512 -s 8 -n RECOVER "$image" >/dev/null
  mcopy -s -i "$image" "$stage/live" "$stage/gone" ::/
  mmd -i "$image" ::/frag
  local order=() f
  for ((f = 0; f < 40 * pieces; f++)); do
    order+=("$stage/holes/h$(printf %04d $f)" "$stage/frag/k$(printf %04d $f).bin")
  done
  mcopy -i "$image" "${order[@]}" ::/frag/
  mdel -i "$image" '::/frag/h*'
  # FSInfo's next-free hint (sector 1, offset 0x1EC) unknown: allocation starts at the start.
  printf '\xff\xff\xff\xff' | dd of="$image" bs=1 seek=$((512 + 0x1EC)) conv=notrunc status=none
  mcopy -i "$image" "$stage"/frag/frag*.bin ::/frag/
  local path
  while read -r path; do
    case $path in gone/*) ;; *) mdel -i "$image" "::/$path" ;; esac
  done < <(deleted_paths)
  mdeltree -i "$image" ::/gone
}

make_ntfs() {
  rm -f "$image"
  truncate -s 1G "$image"
  local log
  log=$(mkntfs -Q -F -q -c 4096 -L RECOVER "$image" 2>&1) || { echo "$log" >&2; exit 1; }
  ntfs-3g "$image" "$mnt"
  cp -r "$stage/live" "$stage/gone" "$mnt"/
  mkdir "$mnt/frag" "$mnt/fill"
  local f p name
  for ((f = 0; f < 40; f++)); do
    name=frag$(printf %02d $f).bin
    for ((p = pieces - 1; p >= 0; p--)); do
      dd if="$stage/frag/$name" of="$mnt/frag/$name" bs=$piece skip=$p seek=$p count=1 \
        conv=notrunc status=none
      cp "$stage/holes/h$(printf %04d $((f * pieces + p)))" "$mnt/fill/"
      cp "$stage/frag/k$(printf %04d $((f * pieces + p))).bin" "$mnt/frag/"
    done
  done
  rm -r "$mnt/fill"
  local path
  while read -r path; do rm -f "$mnt/$path"; done < <(deleted_paths)
  rm -r "$mnt/gone"
  umount "$mnt"
}

stage_files
case $kind in
  fat32) make_fat32 ;;
  ntfs) make_ntfs ;;
  *) echo "recover_image.sh: fat32 or ntfs, not $kind" >&2; exit 2 ;;
esac
write_manifest >"$image.manifest"
