#!/usr/bin/env bash
# File list benchmark: a million found files in one folder. First the rows alone (natively:
# reading the folder from the store, each header click's sort, bytes per row), then the list
# window itself under Wine inside Xvfb when the Windows build beside $1 has its window test
# (fill and first paint, sorts by header clicks, scrolling, bytes per object). The goal: shown
# in under a second, sorted by size in under two, under 64 bytes per object in the view.
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
program=$(bench_program files_list_million)
echo "== File list rows: a million found files in one folder (native)"
"$program"

mingw=$(dirname "$bench_build")/mingw
window_test=$mingw/tests/gui/test_gui_files_list_inprocess.exe
if [ -f "$mingw/CMakeCache.txt" ]; then
  cmake --build "$mingw" --target test_gui_files_list_inprocess >"$mingw.files_list.log" 2>&1 ||
    { tail -n 30 "$mingw.files_list.log" >&2; window_test=; }
fi
if [ -n "$window_test" ] && [ -f "$window_test" ] && command -v xvfb-run >/dev/null; then
  echo "== File list window: a million found files in one folder (Wine, Xvfb)"
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  xvfb-run -a -s "-screen 0 1280x800x24" "$bench_root/cmake/wine-run" "$window_test" \
    --gtest_filter='*AMillionFoundFiles*' --gtest_brief=1 | grep -v '^Running main'
else
  echo "== File list window: skipped (no Windows build with its window test beside $bench_build)"
fi
