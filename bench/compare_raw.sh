#!/usr/bin/env bash
# The camera raw reader beside a bare LibRaw loop in one process (bench/bench_io_raw.cpp), with
# LibRaw's dcraw_emu and Debian's dcraw timed beside as child processes, on a synthetic 6000 x 4000
# DNG, full and half size, at one OpenMP thread (LibRaw's only threads) unless OMP_NUM_THREADS says.
#
#   bench/compare_raw.sh [width height [runs]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/install-deps.sh" dcraw
"$root/scripts/build.sh" "$root/build/peers" -DCMAKE_BUILD_TYPE=Release -DBRIMVALE_ASSERTS=OFF \
  -DBRIMVALE_BUILD_TESTS=OFF -- bench_io_raw
echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"
OMP_NUM_THREADS=${OMP_NUM_THREADS:-1} "$root/build/peers/bench/bench_io_raw" "$@"
