#!/usr/bin/env bash
# Installs the peer libraries the benchmark comparisons run against (bench/run_peers.sh): libvips,
# ImageMagick's Magick++ and MagickWand, and Pillow. Neither the build nor the tests need them.
set -euo pipefail
exec "$(dirname "$0")/install-deps.sh" libvips-dev libmagick++-dev libmagickwand-dev python3-pil python3
