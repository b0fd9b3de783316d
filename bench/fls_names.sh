#!/usr/bin/env bash
# Names against The Sleuth Kit: for every FAT and NTFS image of tests/fixtures (beside the build
# folder, each with the `fls -r -p` listing NAME.fls that the fixture script made) and for the
# two benchmark images, compares the set of (state, path) that `lumenard-cli analyse --format
# tsv` lists with the set that fls lists, prints what differs, and exits 1 when a difference is
# not one of these, which come from how each program finds names:
#
#   - Names beginning with '$' at the top: NTFS system files (fls also lists their streams and
#     $Extend's contents by index, not by record) and TSK's own virtual entries ($MBR, $FAT1,
#     $FAT2, $OrphanFiles). Paths with ':' are NTFS named streams, which fls lists as names.
#     Left out on both sides, as is FAT's volume label ("(Volume Label Entry)").
#   - "(realloc)" entries of fls: a name left in a folder whose directory entry or MFT record
#     now belongs to another file. The record's current name is what both list.
#   - TSK's $OrphanFiles: deleted names that fls finds by reading every directory slot (FAT) or
#     MFT record (NTFS) but cannot reach from the root. analyse lists the same object at its
#     path, below its deleted folder (NTFS: the deleted folder's record still names it) or
#     below "Lost folders/" when its folder is gone; such a row is matched to an orphan by name
#     (and on NTFS by record number, which is both programs' identifier).
#   - Orphans that analyse does not list: on FAT, the entries in the clusters of a deleted
#     folder after its first (FAT clears the chain of a deleted folder, so the folder walk
#     reads one cluster; the sector pass finds the rest as folder fragments); on NTFS, records
#     with no file name, which fls calls OrphanFile-NUMBER and analyse does not list.
#   - analyse's placeholder folders "Lost folders/NAME" stand for folders that are gone; fls
#     has no row for them.
#   - NTFS: a name that fls lists as live while analyse lists it as deleted, with the same
#     record number, is allowed when istat finds the record not in use. ntfs-3g can leave a
#     removed file's name in a node of its folder's index; fls takes the name's state from the
#     index, analyse from the record.
# $1 is a native build folder with lumenard-cli.
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
source "$(dirname "$0")/lib/images.sh"
export LC_ALL=C

if ! command -v fls >/dev/null; then
  echo "== Names against fls: skipped, The Sleuth Kit is not installed"
  exit 0
fi
cli=$(bench_cli)
bench_make_images
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Reads analyse's tsv, then fls's listing (kind is fat or ntfs). Prints tab-separated lines:
# "problem" and a difference no rule explains, "check" with a record number and a path that
# fls lists as live and analyse as deleted, and a closing "summary" of what was allowed.
read -r -d '' compare_awk <<'EOF' || true
function ignored(path) { return path ~ /^\$/ || path ~ /:/ || path ~ /\(Volume Label Entry\)$/ }
function base(path) { sub(/.*\//, "", path); return path }
function orphan_key(id, name) { return kind == "ntfs" ? id "\t" name : name }
BEGIN { FS = "\t" }
FNR == NR {
  if (FNR == 1 || NF < 10) next
  state = $2; id = $4; path = $10
  if (ignored(path)) next
  if (path ~ /^Lost folders\/[^\/]*$/) { placeholders++; next }
  if (path ~ /^Lost folders\//) { unplaced[path] = orphan_key(id, base(path)); next }
  ours[state "\t" path] = orphan_key(id, base(path))
  next
}
{
  tab = index($0, "\t")
  if (tab == 0) next
  head = substr($0, 1, tab - 1); path = substr($0, tab + 1)
  if (head ~ /\(realloc\)/) { realloc++; next }
  state = head ~ / \* / ? "deleted" : "live"
  inode = head; sub(/:$/, "", inode); sub(/.* /, "", inode); sub(/-.*/, "", inode)
  if (path ~ /^\$OrphanFiles\//) {
    key = orphan_key(inode, base(path))
    orphans[key]++
    nameless[key] = base(path) == "OrphanFile-" inode
    next
  }
  if (ignored(path)) next
  theirs[state "\t" path] = inode
}
function take_orphan(key) {
  if (orphans[key] > 0) { orphans[key]--; matched++; return 1 }
  return 0
}
END {
  for (key in ours) {
    if (key in theirs) { agreed++; delete theirs[key]; continue }
    if (key !~ /^deleted\t/) { print "problem\tonly in analyse: " key; continue }
    if (take_orphan(ours[key])) continue
    path = substr(key, 9); split(ours[key], record, "\t")
    if (kind == "ntfs" && theirs["live\t" path] == record[1]) {
      print "check\t" record[1] "\t" path
      delete theirs["live\t" path]
      continue
    }
    print "problem\tonly in analyse: " key
  }
  for (path in unplaced)
    if (!take_orphan(unplaced[path])) print "problem\tonly in analyse: " path
  for (key in theirs) print "problem\tonly in fls: " key
  for (key in orphans) {
    if (orphans[key] <= 0) continue
    if (kind == "fat" || nameless[key]) unreached += orphans[key]
    else print "problem\torphan of fls not in analyse: " key
  }
  printf "summary\t%d names agree; allowed: %d fls orphans matched, %d fls orphans not listed, %d (realloc), %d placeholders", agreed, matched, unreached, realloc, placeholders
}
EOF

# compare LABEL KIND IMAGE FLS_LISTING: 0 when every difference is explained.
compare() {
  local label=$1 kind=$2 image=$3 listing=$4 tsv=$work/analyse.tsv report=$work/report
  if ! "$cli" analyse --format tsv "$image" >"$tsv" 2>"$work/analyse.err"; then
    echo "  $label: analyse failed: $(tail -n 1 "$work/analyse.err")"
    return 1
  fi
  if ! awk -v kind="$kind" "$compare_awk" "$tsv" "$listing" >"$report"; then
    echo "  $label: the comparison failed"
    return 1
  fi
  local line what id path freed=0 problems=()
  while IFS=$'\t' read -r what id path; do
    case $what in
      problem) problems+=("$id${path:+	$path}") ;;
      check)
        if istat "$image" "$id" | grep -qx 'Not Allocated File'; then
          freed=$((freed + 1))
        else
          problems+=("deleted in analyse, live in fls and istat: $path")
        fi ;;
    esac
  done <"$report"
  echo "  $label: $(grep '^summary' "$report" | cut -f2)," \
    "$freed live in fls with a free record; ${#problems[@]} unexplained"
  for line in "${problems[@]:0:20}"; do echo "    $line"; done
  [ ${#problems[@]} -le 20 ] || echo "    ..."
  [ ${#problems[@]} -eq 0 ]
}

echo "== Names against fls -r -p: analyse's (state, path) set and fls's"
status=0
for kind in fat ntfs; do
  for image in "$bench_fixtures/$kind"/*.img; do
    [ -f "$image" ] || continue
    listing=${image%.img}.fls
    [ -f "$listing" ] || { echo "  $image: no .fls listing beside it"; continue; }
    compare "fixture $kind/$(basename "$image")" "$kind" "$image" "$listing" || status=1
  done
done
for big in fat32:fat ntfs:ntfs; do
  image=$bench_images/${big%%:*}.img
  fls -r -p "$image" >"$work/big.fls"
  compare "benchmark $(basename "$image")" "${big#*:}" "$image" "$work/big.fls" || status=1
done
exit $status
