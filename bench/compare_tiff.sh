#!/usr/bin/env bash
# The TIFF codec and the fax coder beside libtiff, through libvips in one process (peer_tiff): the
# 6000 x 4000 photo-like picture uncompressed, LZW with predictor 2 and deflate decoded and encoded
# from and to memory (deflate sizes compared), an A4 300-dpi bilevel page coded as Group 4 and
# Group 3 2-D (read back by libvips) and decoded; then tiffcp against our reader and writer file
# to file (LZW to none, none to Group 4). Medians of one run, the ratio ours / peer, and the
# agreement of the outputs.
#
#   bench/compare_tiff.sh [runs, default 7]
#
# libvips is installed here (never by the test command). Measure when the machine is quiet: the
# load is printed with the results.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-7}
"$root/scripts/install-deps.sh"
"$root/scripts/install-deps.sh" libvips-dev libmagickcore-dev libmagick++-dev
"$root/scripts/build.sh" "$root/build/peers" -DCMAKE_BUILD_TYPE=Release -DBRIMVALE_ASSERTS=OFF \
  -DBRIMVALE_BUILD_TESTS=OFF -DBRIMVALE_BENCH_PEERS=ON -- peer_tiff
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$root/build/peers/bench/peer_tiff" "$scratch" "$runs"
