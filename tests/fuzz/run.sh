#!/usr/bin/env bash
# Builds every tests/fuzz/*_fuzz.cpp with clang's libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer against the engine, and runs each for a bounded time.
#
#   run.sh BUILD_FOLDER [SECONDS_EACH]      (./run fuzz [SECONDS_EACH]; 60 s by default)
#
# Each target keeps its corpus in BUILD_FOLDER/corpus/NAME, seeded from tests/fuzz/corpus/NAME
# when that folder exists. A crash leaves its input in BUILD_FOLDER/crashes/NAME and makes the
# script exit non-zero after the other targets ran.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:?usage: run.sh BUILD_FOLDER [SECONDS_EACH]}
seconds=${2:-60}
[[ "$seconds" =~ ^[0-9]+$ ]] || { echo "fuzz: seconds must be a number, not '$seconds'" >&2; exit 2; }

shopt -s nullglob
sources=("$root"/tests/fuzz/*_fuzz.cpp)
if [ ${#sources[@]} -eq 0 ]; then
  echo "fuzz: no fuzz targets yet (tests/fuzz/*_fuzz.cpp)"
  exit 0
fi

mkdir -p "$build"
args=(-S "$root" -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
      -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMENARD_FUZZ=ON -DLUMENARD_TESTS=OFF)
[ -f "$build/CMakeCache.txt" ] || args+=(-G Ninja)
cmake "${args[@]}" >"$build/configure.log" 2>&1 || { cat "$build/configure.log" >&2; exit 1; }
if ! cmake --build "$build" -j "$(nproc)" --target fuzz >"$build/build.log" 2>&1; then
  grep -E -A5 'error|FAILED' "$build/build.log" | head -100 >&2
  echo "fuzz: build failed (whole output: $build/build.log)" >&2
  exit 1
fi

# The NTFS target patches the images of tests/fixtures/ntfs_images.sh and ntfs_compressed.sh
# (made as root through ntfs-3g); they are made here when ./run test has not made them yet.
export LUMENARD_FIXTURES=${LUMENARD_FIXTURES:-$(dirname "$build")/fixtures}
for images in ntfs_images:listed ntfs_compressed:compressed; do
  [ -f "$LUMENARD_FIXTURES/ntfs/${images#*:}.img" ] && continue
  bash "$root/tests/fixtures/${images%%:*}.sh" "$LUMENARD_FIXTURES" ||
    { echo "fuzz: the NTFS images could not be made" >&2; exit 1; }
done

failed=()
for source in "${sources[@]}"; do
  name=$(basename "$source" .cpp)
  corpus=$build/corpus/$name
  crashes=$build/crashes/$name
  mkdir -p "$corpus" "$crashes"
  seeds=()
  [ -d "$root/tests/fuzz/corpus/$name" ] && seeds+=("$root/tests/fuzz/corpus/$name")
  echo "== fuzzing $name for $seconds s"
  # A smaller quarantine than the default 256 MiB: runs that allocate a few MiB each would
  # otherwise spend most of their time faulting in fresh pages.
  if ! ASAN_OPTIONS=detect_leaks=1:quarantine_size_mb=32 UBSAN_OPTIONS=print_stacktrace=1 \
      "$build/$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$crashes/" "$corpus" "${seeds[@]}" \
      >"$build/$name.log" 2>&1; then
    tail -n 60 "$build/$name.log" >&2
    failed+=("$name")
  else
    grep -E '^stat::number_of_executed_units|^Done' "$build/$name.log" | tail -n 2 || true
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: failures in ${failed[*]} (inputs in $build/crashes/)" >&2
  exit 1
fi
echo "fuzz: ${#sources[@]} targets ran without a finding"
