#!/usr/bin/env bash
# An NTFS image of the benchmark tree made by mkntfs and written through ntfs-3g (FUSE, as
# root): 2 GiB with 4 KiB clusters and 1 KiB MFT records; the files are small enough to stay
# inside their records. Deleted afterwards, as on the FAT32 image: the last 100 files of sub0
# in every top folder and the whole of top00/sub9. $1 is the image to write, $2 the tree.
set -euo pipefail
image=${1:?usage: bench/images/ntfs.sh IMAGE TREE}
tree=${2:?usage: bench/images/ntfs.sh IMAGE TREE}
PATH=$PATH:/usr/sbin:/sbin
export LC_ALL=C

mnt=$(mktemp -d)
cleanup() {
  mountpoint -q "$mnt" && umount "$mnt"
  rmdir "$mnt"
}
trap cleanup EXIT

rm -f "$image"
truncate -s 2G "$image"
# mkntfs warns that an image file has no disk geometry; only a failure is worth showing.
log=$(mkntfs -Q -F -q -c 4096 -L BENCH "$image" 2>&1) || { echo "$log" >&2; exit 1; }
ntfs-3g "$image" "$mnt"
cp -r "$tree"/* "$mnt"/
for top in "$mnt"/top*; do
  rm -f "$top"/sub0/f09*_notes.txt
done
rm -r "$mnt"/top00/sub9
umount "$mnt"
