#!/usr/bin/env bash
# The GIF picture class beside giflib on the same animation: giflib writes a 50-frame 320 x 240
# animation of 256 colours with one transparent index; both decode it (TGIFImage::LoadFromStream,
# DGifSlurp) and encode its frames again (SaveToStream with LZW, EGifSpew), from and to memory, on
# one thread. The engine's GIF codec reading all 50 frames stands beside them. Prints the medians in
# milliseconds and the ratios ours / giflib, after checking that the outputs agree: every frame's
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
giflib=$("$dir/giflib_time" time "$dir/in.gif" "$runs" "$dir/giflib.idx" "$dir/giflib.gif")
ours=$(BRIMVALE_GIF_INPUT="$dir/in.gif" BRIMVALE_GIF_OUTPUT="$dir" "$build/bench/bench_pictures_gif" \
  --benchmark_repetitions="$runs" --benchmark_report_aggregates_only=true --benchmark_format=csv 2>/dev/null)

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
peer() { echo "$giflib" | awk -v k="$1" '$1 == k {print $2}'; }
median() { echo "$ours" | awk -F, -v n="$1_median" '{gsub(/"/, "", $1)} $1 == n {print $3}'; }

# The outputs agree, or no figure is printed.
cmp -s "$dir/ours.idx" "$dir/giflib.idx" || { echo "the class reads other indices than giflib" >&2; exit 1; }
cmp -s "$dir/engine.idx" "$dir/giflib.idx" || { echo "the engine reads other indices than giflib" >&2; exit 1; }
sizes=$("$dir/giflib_time" same "$dir/giflib.gif" "$dir/ours.gif") ||
  { echo "the files the two encoders wrote do not read alike" >&2; exit 1; }

decode=$(peer decode_ms)
encode=$(peer encode_ms)
load=$(median BM_GIFPictureLoad)
save=$(median BM_GIFPictureSave)
engine=$(median BM_GIFEngineReadAllFrames)
echo "machine load: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores; $runs runs, medians, one thread"
echo "input: $(stat -c %s "$dir/in.gif") bytes, 50 frames of 320 x 240; all indices agree"
printf '%-44s %10s %10s %8s\n' "" "giflib ms" "ours ms" "ratio"
printf '%-44s %10.2f %10.2f %8.2f\n' "decode (DGifSlurp / LoadFromStream)" "$decode" "$load" \
  "$(ratio "$load" "$decode")"
printf '%-44s %10.2f %10.2f %8.2f\n' "encode (EGifSpew / SaveToStream, LZW)" "$encode" "$save" \
  "$(ratio "$save" "$encode")"
printf '%-44s %10.2f %10.2f %8.2f\n' "engine codec, all 50 frames (to DGifSlurp)" "$decode" "$engine" \
  "$(ratio "$engine" "$decode")"
echo "$sizes" | sed 's|^.*/giflib.gif|giflib\x27s file|; s|^.*/ours.gif|our file|'
