#!/usr/bin/env bash
# Found-object store benchmark: a million file-system objects and a million lost objects; seconds
# and heap bytes per object. $1 is a native build folder (Release) with lumenard_core built.
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
program=$(bench_program store_bench)
echo "== Found-object store: a million objects of each pass"
"$program"
