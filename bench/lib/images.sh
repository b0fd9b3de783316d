# shellcheck shell=bash
# Sourced by the bench/*.sh scripts that need the big images: bench_make_images makes
# fat32.img and ntfs.img under $bench_images (lib/common.sh) with bench/images/*.sh. Each is
# made again only when it is missing or when its generator or the tree script changed: its
# stamp holds their checksum.

bench_image_sum() {
  cat "$bench_root/bench/images/tree.sh" "$bench_root/bench/images/$1.sh" | sha256sum | cut -d' ' -f1
}

bench_image_current() {
  [ -f "$bench_images/$1.img" ] && [ -f "$bench_images/$1.stamp" ] &&
    [ "$(cat "$bench_images/$1.stamp")" = "$(bench_image_sum "$1")" ]
}

bench_make_images() {
  local kinds=() kind
  for kind in fat32 ntfs; do
    bench_image_current "$kind" || kinds+=("$kind")
  done
  [ ${#kinds[@]} -eq 0 ] && return 0
  mkdir -p "$bench_images"
  local tree=$bench_images/tree
  rm -rf "$tree"
  echo "making the folder tree of 200,000 files" >&2
  bash "$bench_root/bench/images/tree.sh" "$tree"
  for kind in "${kinds[@]}"; do
    echo "making $bench_images/$kind.img" >&2
    rm -f "$bench_images/$kind.stamp"
    local started=$SECONDS
    bash "$bench_root/bench/images/$kind.sh" "$bench_images/$kind.img" "$tree"
    bench_image_sum "$kind" >"$bench_images/$kind.stamp"
    echo "  made in $((SECONDS - started)) s" >&2
  done
  rm -rf "$tree"
}
