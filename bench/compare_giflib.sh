#!/usr/bin/env bash
# The GIF picture class beside giflib on the same animation: giflib writes a 50-frame 320 x 240
# animation of 256 colours with one transparent index; both decode it (TGIFImage::LoadFromStream,
# DGifSlurp) and encode its frames again (SaveToStream with LZW, EGifSpew), from and to memory, on
# one thread, in turns. The engine's GIF codec reading all 50 frames stands beside them. Prints the
# medians in milliseconds and the ratios ours / giflib, after checking that the outputs agree: every frame's
# indices as giflib, the class and the engine read them, and the two encoders' files read through
# giflib to the same indices. Installs giflib's development files itself; the test command never
# runs this.
#   bench/compare_giflib.sh [runs]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-15}
"$root/scripts/install-deps.sh"
"$root/scripts/install-deps.sh" libgif-dev
build="$root/build/bench"
"$root/scripts/build.sh" "$build" -DCMAKE_BUILD_TYPE=Release -DBRIMVALE_ASSERTS=OFF -DBRIMVALE_BUILD_TESTS=OFF \
  -- bench_pictures_gif
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cc -O2 -std=c11 "$root/bench/giflib_time.c" -lgif -o "$dir/giflib_time"

"$dir/giflib_time" make "$dir/in.gif"
# Rounds in turn, each tool once per round, so that a busy moment of the machine falls on both; the
# processor time of the one thread each uses.
for _ in $(seq "$runs"); do
  "$dir/giflib_time" time "$dir/in.gif" 3 "$dir/giflib.idx" "$dir/giflib.gif" |
    awk '$1 == "decode_ms" {d = $2} $1 == "encode_ms" {e = $2} END {print d, e}' >>"$dir/giflib.times"
  BRIMVALE_GIF_INPUT="$dir/in.gif" BRIMVALE_GIF_OUTPUT="$dir" "$build/bench/bench_pictures_gif" \
    --benchmark_min_time=0.2 --benchmark_format=csv 2>/dev/null |
    awk -F, '{gsub(/"/, "", $1); t[$1] = $4} END {print t["BM_GIFPictureLoad"], t["BM_GIFPictureSave"],
              t["BM_GIFEngineReadAllFrames"]}' >>"$dir/ours.times"
done

# The outputs agree, or no figure is printed.
cmp -s "$dir/ours.idx" "$dir/giflib.idx" || { echo "the class reads other indices than giflib" >&2; exit 1; }
cmp -s "$dir/engine.idx" "$dir/giflib.idx" || { echo "the engine reads other indices than giflib" >&2; exit 1; }
sizes=$("$dir/giflib_time" same "$dir/giflib.gif" "$dir/ours.gif") ||
  { echo "the files the two encoders wrote do not read alike" >&2; exit 1; }

median() { sort -g | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
decode=$(cut -d' ' -f1 "$dir/giflib.times" | median)
encode=$(cut -d' ' -f2 "$dir/giflib.times" | median)
load=$(cut -d' ' -f1 "$dir/ours.times" | median)
save=$(cut -d' ' -f2 "$dir/ours.times" | median)
engine=$(cut -d' ' -f3 "$dir/ours.times" | median)
echo "machine load: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores; $runs rounds, medians of processor time, one thread"
echo "input: $(stat -c %s "$dir/in.gif") bytes, 50 frames of 320 x 240; all indices agree"
printf '%-44s %10s %10s %8s\n' "" "giflib ms" "ours ms" "ratio"
printf '%-44s %10.2f %10.2f %8s\n' "decode (DGifSlurp / LoadFromStream)" "$decode" "$load" "$(ratio "$load" "$decode")"
printf '%-44s %10.2f %10.2f %8s\n' "encode (EGifSpew / SaveToStream, LZW)" "$encode" "$save" "$(ratio "$save" "$encode")"
printf '%-44s %10.2f %10.2f %8s\n' "engine codec, all 50 frames (to DGifSlurp)" "$decode" "$engine" \
  "$(ratio "$engine" "$decode")"
echo "$sizes" | sed 's|^.*/giflib.gif|giflib\x27s file|; s|^.*/ours.gif|our file|'
