#!/usr/bin/env bash
# Our JPEG and PNG codecs beside their peers, on the same bytes, in the same form, at one thread, in
# one run: medians in milliseconds, the ratio ours / peer, and a check that the outputs agree.
#
#   bench/compare_jpeg_png.sh [runs, default 7]
#
# JPEG: the peer is libjpeg-turbo itself. tjbench times the bare library in memory (decode into a
# BGR buffer, 1/1 and 1/8, and encode at quality 80, 4:2:0, integer DCT; it reports the mean over
# its bench time, run three times here and the median taken); ours decodes from a memory stream into
# a bitmap (one of the right size, and a fresh one) and encodes into a memory stream. djpeg and
# cjpeg are the file-to-file tools; ours are the I/O component's LoadFromFile and SaveToFile (timed
# in our process, so without a program's start). Our decodes must equal djpeg's exactly (the same
# library); our encode must come as close to the picture as cjpeg's.
#
# PNG: the peers are libpng through libvips (vips_pngload_buffer / vips_pngsave_buffer) and through
# ImageMagick (MagickCore BlobToImage / ImageToBlob), in one process with ours (bench/peers/peer_png),
# from memory to memory, one thread each, on the same picture: encode at zlib level 5 and 6 with no
# filter and with Paeth (every tool set alike; file sizes compared too), and decode of the files ours
# wrote. Every file is read back and every decoding compared with the picture (exact).
#
# The peers are installed here (never by the test command). Measure when the machine is quiet: the
# load is printed with the results.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-7}
"$root/scripts/install-deps.sh"
"$root/scripts/install-deps.sh" libjpeg-turbo-progs libvips-dev libmagickcore-dev libmagick++-dev
"$root/scripts/build.sh" "$root/build/peers" -DCMAKE_BUILD_TYPE=Release -DBRIMVALE_ASSERTS=OFF \
  -DBRIMVALE_BUILD_TESTS=OFF -DBRIMVALE_BENCH_PEERS=ON -- bench_io_jpeg peer_png
bench="$root/build/peers/bench/bench_io_jpeg"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

median() { sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }

# Wall milliseconds of a command, median of $runs runs after one warm-up.
time_cmd() {
  "$@" >/dev/null 2>&1
  for _ in $(seq "$runs"); do
    local t0 t1
    t0=$(date +%s%N)
    "$@" >/dev/null 2>&1
    t1=$(date +%s%N)
    echo $(((t1 - t0) / 1000))
  done | median | awk '{printf "%.1f", $1 / 1000}'
}

# tjbench's time per image in ms (median of three runs): from the Mpixels/s in field $1 of its table.
tj_ms() {
  local column=$1
  shift
  for _ in 1 2 3; do
    tjbench "$@" -benchtime 3 -warmup 1 -quiet -nowrite 2>/dev/null |
      awk -v c="$column" 'NF >= 8 && $1 == "BGR" {print 6000 * 4000 / $c / 1000}'
  done | median | awk '{printf "%.1f", $1}'
}

row() { printf "%-34s %9s %9s %7s\n" "$1" "$2" "$3" "$(awk -v a="$2" -v b="$3" 'BEGIN {printf "%.2f", a / b}')"; }

jpeg_half() {
  echo "== JPEG, 6000 x 4000, quality 80, 4:2:0, one thread; load: $(cut -d' ' -f1-3 /proc/loadavg)"
  (cd "$work" && "$bench" --make "$work" >/dev/null)
  "$bench" --time "$work" "$runs" >"$work/ours.txt"
  ours() { awk -v k="$1" 'index($0, k) == 1 {print $(NF - 1)}' "$work/ours.txt"; }
  local tj_decode tj_eighth tj_encode dj_decode dj_eighth dj_prog cj_encode
  # tjbench's table, field by field: BGR (TD) CS Subsamp Width Height Xform Ratio Decomp (decode),
  # BGR (TD) Subsamp Qual Width Height Comp Ratio Decomp (encode).
  tj_decode=$(cd "$work" && tj_ms 9 photo.jpg)
  tj_eighth=$(cd "$work" && tj_ms 9 photo.jpg -scale 1/8)
  tj_encode=$(cd "$work" && tj_ms 7 photo.ppm 80 -subsamp 420 -componly)
  dj_decode=$(time_cmd djpeg -dct int -outfile "$work/djpeg.ppm" "$work/photo.jpg")
  dj_eighth=$(time_cmd djpeg -dct int -scale 1/8 -outfile "$work/djpeg-eighth.ppm" "$work/photo.jpg")
  dj_prog=$(time_cmd djpeg -dct int -outfile "$work/djpeg-progressive.ppm" "$work/photo-progressive.jpg")
  cj_encode=$(time_cmd cjpeg -quality 80 -sample 2x2 -dct int -outfile "$work/cjpeg.jpg" "$work/photo.ppm")
  printf "%-34s %9s %9s %7s\n" "" "ours ms" "peer ms" "ratio"
  row "decode, sized bitmap / tjbench" "$(ours 'ours decode (sized')" "$tj_decode"
  row "decode, fresh bitmap / tjbench" "$(ours 'ours decode (fresh')" "$tj_decode"
  row "decode 1/8 / tjbench -scale 1/8" "$(ours 'ours decode 1/8')" "$tj_eighth"
  row "encode / tjbench" "$(ours 'ours encode  ')" "$tj_encode"
  row "file load / djpeg" "$(ours 'ours file load')" "$dj_decode"
  row "decode 1/8 / djpeg -scale 1/8" "$(ours 'ours decode 1/8')" "$dj_eighth"
  row "progressive decode / djpeg" "$(ours 'ours decode progressive')" "$dj_prog"
  row "file save / cjpeg" "$(ours 'ours file save')" "$cj_encode"
  echo "outputs (PSNR in dB; inf = identical):"
  echo "  decode vs djpeg:             $("$bench" --psnr "$work/ours.ppm" "$work/djpeg.ppm")"
  echo "  decode 1/8 vs djpeg:         $("$bench" --psnr "$work/ours-eighth.ppm" "$work/djpeg-eighth.ppm")"
  echo "  progressive vs djpeg:        $("$bench" --psnr "$work/ours-progressive.ppm" "$work/djpeg-progressive.ppm")"
  djpeg -dct int -outfile "$work/ours-encoded.ppm" "$work/ours-encoded.jpg"
  djpeg -dct int -outfile "$work/cjpeg-decoded.ppm" "$work/cjpeg.jpg"
  echo "  our encode vs the picture:   $("$bench" --psnr "$work/ours-encoded.ppm" "$work/photo.ppm")" \
       "($(stat -c %s "$work/ours-encoded.jpg") bytes)"
  echo "  cjpeg's vs the picture:      $("$bench" --psnr "$work/cjpeg-decoded.ppm" "$work/photo.ppm")" \
       "($(stat -c %s "$work/cjpeg.jpg") bytes)"
  echo "  our encode vs cjpeg's:       $("$bench" --psnr "$work/ours-encoded.ppm" "$work/cjpeg-decoded.ppm")"
  echo "ours alone:"
  sed 's/^/  /' "$work/ours.txt"
}

png_half() {
  echo "== PNG, 6000 x 4000 RGB, one thread"
  MAGICK_CONFIGURE_PATH="$root/bench/peers/magick" "$root/build/peers/bench/peer_png" "$root/bench/peers" "$runs"
}

jpeg_half
png_half
