#!/usr/bin/env bash
# The speed reference of bench_io_codecs: ImageMagick's convert doing the same work on this machine,
# files included: load and save of a 1920 x 1080 24-bit BMP, and of a 50-frame 320 x 240 GIF.
# Prints the median wall time of each in milliseconds, as measured and with convert's own start-up
# (a 1 x 1 image to nowhere) taken off. Installs ImageMagick only here; the test command never runs
# this script.
#   bench/compare_imagemagick.sh [runs]
set -euo pipefail
if ! command -v convert >/dev/null; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get install -y -qq --no-install-recommends imagemagick >/dev/null
fi
# The program itself, not a wrapper earlier in the PATH, so that only its own start-up is timed.
im=convert
for candidate in /usr/bin/convert-im6.q16 /usr/bin/convert /usr/bin/magick; do
  if [ -x "$candidate" ]; then
    im=$candidate
    break
  fi
done
runs=${1:-9}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

# The inputs, made by convert itself: a 24-bit BMP and its raw pixels, 50 frames of 256 colours as an
# animated GIF and as raw pixels.
"$im" -size 1920x1080 gradient:red-blue -attenuate 0.3 +noise Uniform -depth 8 -type TrueColor BMP3:"$dir/in.bmp"
"$im" "$dir/in.bmp" -depth 8 rgb:"$dir/in.rgb"
for i in $(seq 0 49); do
  "$im" -size 320x240 gradient:yellow-navy -fill red -draw "rectangle $((4 * i)),$((2 * i)) $((4 * i + 60)),$((2 * i + 60))" \
    "$dir/f$(printf %02d "$i").png"
done
"$im" -delay 10 "$dir"/f*.png -colors 256 "$dir/in.gif"
"$im" "$dir/in.gif" -coalesce -depth 8 rgb:"$dir/frames.rgb"

median_ms() {
  local times=()
  for _ in $(seq "$runs"); do
    local s e
    s=$(date +%s%N)
    "$@" >/dev/null 2>&1
    e=$(date +%s%N)
    times+=($(((e - s) / 1000)))
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {printf "%.2f", a[int((NR + 1) / 2)] / 1000}'
}

base=$(median_ms "$im" -size 1x1 xc:black null:)
report() {
  local name=$1
  shift
  local t
  t=$(median_ms "$@")
  awk -v n="$name" -v t="$t" -v b="$base" 'BEGIN {printf "%-28s %9.2f ms   without start-up %9.2f ms\n", n, t, t - b}'
}
echo "convert start-up (1 x 1 to null): ${base} ms; $(nproc) cores; $("$im" -version | head -1)"
report "load BMP 1920x1080x24" "$im" "$dir/in.bmp" null:
report "save BMP 1920x1080x24" "$im" -size 1920x1080 -depth 8 rgb:"$dir/in.rgb" BMP3:"$dir/out.bmp"
report "load GIF 50 x 320x240" "$im" "$dir/in.gif" null:
report "save GIF 50 x 320x240" "$im" -size 320x240 -depth 8 rgb:"$dir/frames.rgb" "$dir/out.gif"
