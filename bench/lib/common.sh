# shellcheck shell=bash disable=SC2034  # its variables are for the scripts that source it
# Sourced by the bench/*.sh scripts: the work tree, the build folder they are given as $1, and
# the programs they take from it.
bench_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
bench_build=$(cd "${1:?usage: bench/SCRIPT.sh BUILD_FOLDER}" && pwd)
# Beside the build folder: the images of tests/fixtures and the cached benchmark images.
bench_fixtures=${LUMENARD_FIXTURES:-$(dirname "$bench_build")/fixtures}
bench_images=$(dirname "$bench_build")/bench-images

# Prints the path of the program made from bench/NAME.cpp. A build configured with
# -DLUMENARD_BENCH=ON has made it as bench_NAME; otherwise it is compiled here against the
# build's libraries.
bench_program() {
  local name=$1
  local program=$bench_build/bench_$name
  if [ ! -x "$program" ]; then
    program=$bench_build/$name
    g++ -std=c++20 -O2 -I"$bench_root/src" "$bench_root/bench/$name.cpp" \
      "$bench_build/liblumenard_core.a" "$bench_build/liblumenard_platform.a" -pthread \
      -o "$program" >&2 || return 1
  fi
  echo "$program"
}

# Prints the path of the build's lumenard-cli, brought up to date first.
bench_cli() {
  cmake --build "$bench_build" --target lumenard-cli >"$bench_build.cli.log" 2>&1 || {
    tail -n 30 "$bench_build.cli.log" >&2
    return 1
  }
  echo "$bench_build/lumenard-cli"
}
