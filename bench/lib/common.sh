# Sourced by the bench/compare_*.sh scripts: the repository root, the drivers they time built when
# missing, a scratch folder removed on exit, and FFmpeg's quiet command line.
#   source "$(dirname "$0")/lib/common.sh"   (sets $root)

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# bench_build <build folder> <target>...
#   Builds the named benchmark targets when one of them is missing from <build folder>/bench. A new
#   folder is configured for benchmarks alone (Release, no tests); a folder configured already (the
#   test build, say) keeps its own settings, with the benchmarks turned on.
bench_build() {
  local build=$1 target missing=0
  shift
  for target in "$@"; do
    [ -x "$build/bench/$target" ] || missing=1
  done
  [ "$missing" = 1 ] || return 0
  local opts=(-DCMAKE_BUILD_TYPE=Release -DBRIMVALE_BUILD_BENCH=ON)
  [ -f "$build/CMakeCache.txt" ] || opts+=(-DBRIMVALE_BUILD_TESTS=OFF)
  "$root/scripts/build.sh" "$build" "${opts[@]}" -- "$@"
}

# bench_scratch: sets $dir to a new folder that is removed when the script exits.
bench_scratch() {
  dir=$(mktemp -d)
  trap 'rm -rf "$dir"' EXIT
}

ff() { ffmpeg -hide_banner -nostdin -loglevel error -y "$@"; }
