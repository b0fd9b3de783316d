#!/usr/bin/env bash
# Matches benchmark: ns per 512-byte unit over every built-in type. $1 is a native build folder
# (Release) with lumenard_core built; the program is compiled here against its libraries.
set -euo pipefail
build=${1:?usage: bench/matches.sh BUILD_FOLDER}
root=$(cd "$(dirname "$0")/.." && pwd)
program=$build/bench_matches_bench
if [ ! -x "$program" ]; then
  program=$build/matches_bench
  g++ -std=c++20 -O2 -I"$root/src" "$root/bench/matches_bench.cpp" \
    "$build/liblumenard_core.a" "$build/liblumenard_platform.a" -pthread -o "$program"
fi
echo "== Matches: cost of one unit against every built-in type"
"$program"
