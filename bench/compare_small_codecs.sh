#!/usr/bin/env bash
# The small codecs beside ImageMagick, on the same bytes, from and to memory, one thread each: ours
# (bench_io_small_codecs --time) and MagickCore's BlobToImage and ImageToBlob (bench/magick_codec_time.c,
# thread limit 1) take turns for a number of rounds; each round each job runs three times and gives
# its median; the table shows the median of the rounds in milliseconds of processor time and the
# ratio ours / ImageMagick. Before any figure is printed the outputs are checked: every picture both
# read must agree, and every file both wrote must decode (through ImageMagick's command-line tool)
# to the same picture. Installs ImageMagick's development files itself; the test command never runs
# this.
#   bench/compare_small_codecs.sh [rounds, default 7]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-7}
"$root/scripts/install-deps.sh"
"$root/scripts/install-deps.sh" libmagickcore-dev
build="$root/build/peers"
"$root/scripts/build.sh" "$build" -DCMAKE_BUILD_TYPE=Release -DBRIMVALE_ASSERTS=OFF -DBRIMVALE_BUILD_TESTS=OFF \
  -- bench_io_small_codecs
bench="$build/bench/bench_io_small_codecs"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
# shellcheck disable=SC2046
cc -O2 -std=c11 "$root/bench/magick_codec_time.c" $(pkg-config --cflags --libs MagickCore) -o "$dir/magick_codec_time"
# ImageMagick's limits raised for the larger pictures.
export MAGICK_CONFIGURE_PATH="$root/bench/peers/magick"
export MAGICK_THREAD_LIMIT=1
magick=$(command -v convert-im6.q16 || command -v magick || command -v convert)

"$bench" --make "$dir"
for r in $(seq "$rounds"); do
  "$bench" --time "$dir" 3 | sed "s/^/ours $r /" >>"$dir/times"
  "$dir/magick_codec_time" "$dir" 3 | sed "s/^/magick $r /" >>"$dir/times"
done

# The outputs agree, or no figure is printed. Reads: the pictures both decoded (16-bit samples come
# to 8 bits by ImageMagick's rounding and our truncation: one level apart at most). Writes: each
# file decoded by ImageMagick's tool, compared with the other side's. ImageMagick writes a Targa's
# rows top first but marks its origin bottom left, and reads its own files back the same way; ours
# are read as their origin says (-auto-orient), as FFmpeg reads both.
declare -A agree
fail=0
check() {
  local key=$1 limit=$2 result
  result=$("$bench" --diff "$3" "$4")
  agree[$key]=$result
  if [ "$(echo "$result" | awk '{print $2}')" -gt "$limit" ]; then
    echo "$key: the outputs differ ($result)" >&2
    fail=1
  fi
}
for f in "$dir"/ours-read-*; do
  job=$(basename "$f" | sed 's/^ours-read-//; s/\.p[pa]m$//')
  limit=0
  [ "$job" = ppm16 ] && limit=1
  check "read-$job" "$limit" "$f" "$dir/magick-read-$job.${f##*.}"
done
for f in "$dir"/ours-write-*; do
  job=$(basename "$f" | sed 's/^ours-write-//; s/\.[a-z]*$//')
  case $job in tga32 | ico32) fmt=pam ;; *) fmt=ppm ;; esac
  "$magick" "$f" -auto-orient -depth 8 "$fmt:$dir/decoded-ours-$job.$fmt"
  "$magick" "$dir/magick-write-$job.${f##*.}" -depth 8 "$fmt:$dir/decoded-magick-$job.$fmt"
  # Grey from colour is a matter of weights: the two PGM files may differ a little.
  limit=0
  [ "$job" = pgm ] && limit=12
  check "write-$job" "$limit" "$dir/decoded-ours-$job.$fmt" "$dir/decoded-magick-$job.$fmt"
done
[ $fail -eq 0 ] || exit 1

median() { sort -g | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
echo "machine load: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores; $rounds rounds, medians of processor time, one thread"
printf '%-28s %12s %12s %8s  %s\n' "job" "magick ms" "ours ms" "ratio" "outputs"
for op in read write; do
  for job in $(awk -v op="$op" '$1 == "ours" && $3 == op {print $4}' "$dir/times" | awk '!seen[$0]++'); do
    ours=$(awk -v op="$op" -v j="$job" '$1 == "ours" && $3 == op && $4 == j {print $5}' "$dir/times" | median)
    theirs=$(awk -v op="$op" -v j="$job" '$1 == "magick" && $3 == op && $4 == j {print $5}' "$dir/times" | median)
    printf '%-28s %12.2f %12.2f %8s  %s\n' "$op $job" "$theirs" "$ours" \
      "$(awk -v a="$ours" -v b="$theirs" 'BEGIN {printf "%.2f", a / b}')" "${agree[$op-$job]}"
  done
done
echo "inputs: $(cd "$dir" && ls -l in* a4* | awk '{printf "%s %d; ", $9, $5}')"
