#!/usr/bin/env bash
# The DICOM reader beside dcmtk's DicomImage in one process (bench/dicom_peer.cpp): 4096 x 4096
# 16-bit frames uncompressed, RLE and lossless JPEG (SV1), and an 8-bit baseline JPEG frame, each
# file written by dcmtk, read by both, outputs compared, times and ratios (ours / dcmtk) printed.
#
#   bench/compare_dicom.sh [size, default 4096] [runs, default 3]
#
# dcmtk's headers are installed here (never by the test command). Measure when the machine is quiet.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/install-deps.sh" libdcmtk-dev
"$root/scripts/build.sh" "$root/build/peers" -DCMAKE_BUILD_TYPE=Release -DBRIMVALE_ASSERTS=OFF \
  -DBRIMVALE_BUILD_TESTS=OFF -- dicom_peer
echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"
"$root/build/peers/bench/dicom_peer" "${1:-4096}" "${2:-3}"
