#!/usr/bin/env bash
# The speed reference of the resampling benchmark: libvips' resize of the same in-memory
# 6000 x 4000 ie24RGB-sized image to 1500 x 1000, on all cores, file I/O excluded.
# Installs libvips only here; the test command never runs this script.
#   bench/compare_vips.sh [kernel] [runs]     kernel: lanczos3 (default), cubic, linear
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
if ! pkg-config --exists vips; then
  apt-get install -y --no-install-recommends libvips-dev >/dev/null
fi
out="${TMPDIR:-/tmp}/vips_resize_time"
cc -O2 -o "$out" "$here/vips_resize_time.c" $(pkg-config --cflags --libs vips)
"$out" "${1:-lanczos3}" "${2:-15}"
