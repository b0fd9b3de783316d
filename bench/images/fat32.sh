#!/usr/bin/env bash
# A FAT32 image of the benchmark tree made by mkfs.fat and mtools: 1.5 GiB with the 4 KiB
# clusters mkfs.fat chooses for that size. Deleted afterwards: the last 100 files of sub0 in
# every top folder (2,000 files) and the whole of top00/sub9 with its 1,000 files.
# $1 is the image to write, $2 the tree (bench/images/tree.sh).
set -euo pipefail
image=${1:?usage: bench/images/fat32.sh IMAGE TREE}
tree=${2:?usage: bench/images/fat32.sh IMAGE TREE}
PATH=$PATH:/usr/sbin:/sbin
export MTOOLS_SKIP_CHECK=1 LC_ALL=C

rm -f "$image"
truncate -s 1536M "$image"
mkfs.fat -F 32 -S 512 -s 8 -n BENCH "$image" >/dev/null
mcopy -s -i "$image" "$tree"/* ::/
for top in "$tree"/top*; do
  mdel -i "$image" "::/$(basename "$top")/sub0/f09*_notes.txt"
done
mdeltree -i "$image" ::/top00/sub9
