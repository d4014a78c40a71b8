#!/usr/bin/env bash
# Installs the peer libraries the benchmark comparisons run against (bench/run_peers.sh): libvips,
# ImageMagick's Magick++ and MagickWand, and Pillow. Neither the build nor the tests need them.
# Idempotent: when every package is already installed it does not touch apt at all.
set -euo pipefail

packages=(
  libvips-dev libmagick++-dev libmagickwand-dev python3-pil python3
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
