#!/usr/bin/env bash
# Matches benchmark: ns per 512-byte unit over every built-in type. $1 is a native build folder
# (Release) with lumenard_core built.
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
program=$(bench_program matches_bench)
echo "== Matches: cost of one unit against every built-in type"
"$program"
