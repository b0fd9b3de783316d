#!/usr/bin/env bash
# Found-object store benchmark: a million file-system objects and a million lost objects; seconds
# and heap bytes per object. $1 is a native build folder (Release) with lumenard_core built; the
# program is compiled here against its libraries when the build has not made it.
set -euo pipefail
build=${1:?usage: bench/store.sh BUILD_FOLDER}
root=$(cd "$(dirname "$0")/.." && pwd)
program=$build/bench_store_bench
if [ ! -x "$program" ]; then
  program=$build/store_bench
  g++ -std=c++20 -O2 -I"$root/src" "$root/bench/store_bench.cpp" \
    "$build/liblumenard_core.a" "$build/liblumenard_platform.a" -pthread -o "$program"
fi
echo "== Found-object store: a million objects of each pass"
"$program"
