#!/usr/bin/env bash
# Logging every found file (LogFoundFiles) during the file-system analysis of the FAT32 image of
# 200,000 files (bench/images/): the analysis without and with the option, natively with the
# lines counted as a window would receive them, then, when the Windows tools and Wine are
# there, the Windows build under Wine with the lines going to the explorer window's log list
# (and once more to a counter, for the engine's own share). RUNS pairs each (3).
# $1 is a native build folder (Release).
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
source "$(dirname "$0")/lib/images.sh"
runs=${RUNS:-3}
program=$(bench_program log_found_files)
bench_image_current fat32 || bench_make_images
image=$bench_images/fat32.img

echo "== LogFoundFiles: analysis of $image, natively"
"$program" "$image" "$runs"

windows=$(dirname "$bench_build")/bench-mingw
if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null || ! command -v xvfb-run >/dev/null; then
  echo "(no MinGW or Xvfb here: the Windows measurement is left out)"
  exit 0
fi
cmake -S "$bench_root" -B "$windows" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$bench_root/cmake/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DLUMENARD_TESTS=OFF -DLUMENARD_BENCH=ON >"$windows.configure.log" 2>&1
cmake --build "$windows" --target bench_log_found_files >"$windows.build.log" 2>&1 || {
  tail -n 30 "$windows.build.log" >&2
  exit 1
}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
windows_image="Z:$(echo "$image" | tr / '\\')"
echo "== LogFoundFiles under Wine, lines to the explorer window's log list"
xvfb-run -a "$bench_root/cmake/wine-run" "$windows/bench_log_found_files.exe" "$windows_image" "$runs"
echo "== LogFoundFiles under Wine, lines counted (the engine's share)"
xvfb-run -a "$bench_root/cmake/wine-run" "$windows/bench_log_found_files.exe" "$windows_image" "$runs" \
  --engine-only
