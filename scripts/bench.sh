#!/usr/bin/env bash
# Builds the benchmark programs (an optimised build without assertions or tests, in build/bench)
# and runs one of them when it is named; the test command does not build them.
#   scripts/bench.sh                          builds every benchmark program
#   scripts/bench.sh bench_core_bitmap [args] builds that one and runs it with the arguments
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BRIMVALE_BENCH_BUILD:-$root/build/bench}
"$root/scripts/install-deps.sh"
opts=(-DCMAKE_BUILD_TYPE=Release -DBRIMVALE_ASSERTS=OFF -DBRIMVALE_BUILD_TESTS=OFF -DBRIMVALE_BUILD_BENCH=ON)
if [ $# -eq 0 ]; then
  exec "$root/scripts/build.sh" "$build" "${opts[@]}"
fi
program=$1
shift
"$root/scripts/build.sh" "$build" "${opts[@]}" -- "$program"
exec "$build/bench/$program" "$@"
