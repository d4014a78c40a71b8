#!/usr/bin/env bash
# Configures and builds the sanitizer build: clang with AddressSanitizer (LeakSanitizer included),
# UndefinedBehaviorSanitizer and libFuzzer's coverage, the tests and the libFuzzer programs, no
# benchmarks. Usage: scripts/build-sanitize.sh [build-dir (default build/sanitize)] [cmake options...] [-- targets...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build/sanitize}
[ $# -gt 0 ] && shift
exec "$root/scripts/build.sh" "$dir" -DCMAKE_BUILD_TYPE=Release -DBRIMVALE_ASSERTS=ON -DBRIMVALE_SANITIZE=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DBRIMVALE_BUILD_FUZZ=ON -DBRIMVALE_BUILD_BENCH=OFF "$@"
