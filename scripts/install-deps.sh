#!/usr/bin/env bash
# Installs the Debian packages Brimvale builds and tests with. Idempotent: when every package is
# already installed it does not touch apt at all, so repeated runs cost a fraction of a second.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config
  qt6-base-dev qt6-multimedia-dev libgl-dev
  libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev libavdevice-dev
  zlib1g-dev libjpeg62-turbo-dev libpng-dev libopenjp2-7-dev libraw-dev liblcms2-dev
  libcurl4-openssl-dev libdvdnav-dev libdvdread-dev libjxr-dev libv4l-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  ffmpeg dvdauthor fonts-dejavu-core
  # The DVD tests check their discs' properties with lsdvd.
  lsdvd
  # The media tests play through a PulseAudio daemon of their own and record it with parec.
  pulseaudio pulseaudio-utils
  imagemagick pngcheck giflib-tools libjpeg-turbo-progs libtiff-tools poppler-utils libopenjp2-tools
  # Oracles of the TIFF and EXIF, DICOM, HD Photo and camera raw tests.
  libimage-exiftool-perl dcmtk libgdcm-tools libjxr-tools libraw-bin
  # The PostScript and PDF writer tests render and check their output with independent readers.
  ghostscript qpdf
  # The metafile tests render their pictures with independent players (WMF to PNG; EMF to SVG to
  # PNG) and draw text with metric-compatible fonts.
  libwmf-bin emf2svg librsvg2-bin fonts-liberation2
  # The download tests run their own http, https (a CA made by openssl), proxy and ftp servers.
  openssl python3-pyftpdlib
  # The sanitizer build and the fuzz targets: clang, libFuzzer's runtime, llvm-symbolizer.
  clang libclang-rt-dev llvm
  # The linker of both builds (cmake/Linker.cmake).
  lld
)
# Packages given as arguments are installed in place of the list (scripts/install-bench-deps.sh).
if [ $# -gt 0 ]; then packages=("$@"); fi

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
