#!/usr/bin/env bash
# The AVI file services against the ffmpeg command of the same FFmpeg: whole commands as a user
# runs them (process start included), side by side in one hyperfine run at the same codec thread
# count. Outputs are compared by PSNR (our frames decoded by ffmpeg against ffmpeg's) and size.
#   1. 100 raw 1280 x 720 frames into AVI with MJPG and XVID at -q:v 3 (quality 9333 here), through
#      AVIMakeCompressedStream from the raw frames and through AVISaveV from an uncompressed AVI;
#   2. the same 100 frames written uncompressed;
#   3. every frame of a 10-second 720p MJPEG AVI through AVIStreamGetFrame.
#   bench/compare_avi.sh [build folder, default build/bench] [threads, default 1]
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
build=${1:-$root/build/bench}
threads=${2:-1}
command -v ffmpeg >/dev/null && command -v hyperfine >/dev/null || "$root/scripts/install-deps.sh" ffmpeg hyperfine
bench_build "$build" avi_tool
tool=$build/bench/avi_tool
bench_scratch
ffmpeg -hide_banner -v error -y -f lavfi -i testsrc2=size=1280x720:rate=25 -frames:v 100 -f rawvideo -pix_fmt bgr24 "$dir/frames.raw"
ffmpeg -hide_banner -v error -y -f rawvideo -pix_fmt bgr24 -s 1280x720 -r 25 -i "$dir/frames.raw" -c:v rawvideo "$dir/raw.avi"
ffmpeg -hide_banner -v error -y -f lavfi -i testsrc2=size=1280x720:rate=25:duration=10 -c:v mjpeg -q:v 3 "$dir/clip.avi"
ff="ffmpeg -v error -y -threads $threads"
ours="$tool -threads $threads"
psnr() {  # two AVI files, decoded by ffmpeg
  ffmpeg -hide_banner -nostats -i "$1" -i "$2" -lavfi psnr -f null - 2>&1 | grep -o 'average:[^ ]*' || echo "average:?"
}
run() {  # name, ours, peer
  echo "== $1 (threads $threads)"
  hyperfine -N -w 1 -r 5 --export-json "$dir/$1.json" -n ours "$2" -n ffmpeg "$3" | grep -v '^ *$' | grep -v 'Range\|±' || true
  python3 - "$dir/$1.json" <<'PY'
import json, sys
res = {x["command"]: x for x in json.load(open(sys.argv[1]))["results"]}
r = {k: v["median"] for k, v in res.items()}
print(f"   median ours {r['ours']:.3f} s, ffmpeg {r['ffmpeg']:.3f} s: ratio {r['ours'] / r['ffmpeg']:.2f}")
# CPU time (user + system, mean over the runs) moves far less than wall time on a shared machine.
c = {k: v["user"] + v["system"] for k, v in res.items()}
print(f"   CPU ours {c['ours']:.3f} s, ffmpeg {c['ffmpeg']:.3f} s: ratio {c['ours'] / c['ffmpeg']:.2f}")
PY
}
in="-f rawvideo -pix_fmt bgr24 -s 1280x720 -r 25 -i $dir/frames.raw"
for c in MJPG XVID; do
  # The same pictures as ours: MJPG as 4:2:0 JPEG, XVID with the BT.709 matrix that players assume
  # for high definition (MPEG-4 part 2 carries no matrix).
  codec=$([ $c = MJPG ] && echo "-c:v mjpeg -pix_fmt yuvj420p" || echo "-c:v mpeg4 -vtag XVID -vf scale=out_color_matrix=bt709:out_range=tv -pix_fmt yuv420p")
  run "stream_$c" "$ours encode -i $dir/frames.raw -s 1280x720 -r 25 -c $c -q 9333 -o $dir/a.avi" \
    "$ff $in $codec -q:v 3 $dir/b.avi"
  echo "   PSNR $(psnr "$dir/a.avi" "$dir/b.avi"), sizes ours $(stat -c %s "$dir/a.avi") ffmpeg $(stat -c %s "$dir/b.avi")"
  run "savev_$c" "$ours savev -i $dir/raw.avi -c $c -q 9333 -o $dir/a.avi" "$ff $in $codec -q:v 3 $dir/b.avi"
  echo "   PSNR $(psnr "$dir/a.avi" "$dir/b.avi"), sizes ours $(stat -c %s "$dir/a.avi") ffmpeg $(stat -c %s "$dir/b.avi")"
done
run raw "$ours encode -i $dir/frames.raw -s 1280x720 -r 25 -c none -o $dir/a.avi" "$ff $in -c:v rawvideo $dir/b.avi"
echo "   PSNR $(psnr "$dir/a.avi" "$dir/b.avi")"
run decode "$ours decode -i $dir/clip.avi" "$ff -i $dir/clip.avi -pix_fmt bgr24 -f null -"
$ours decode -i "$dir/clip.avi" -o "$dir/a.raw"
$ff -i "$dir/clip.avi" -f rawvideo -pix_fmt bgr24 "$dir/b.raw"
echo "   PSNR $(ffmpeg -hide_banner -nostats -f rawvideo -pix_fmt bgr24 -s 1280x720 -i "$dir/a.raw" -f rawvideo -pix_fmt bgr24 -s 1280x720 -i "$dir/b.raw" -lavfi psnr -f null - 2>&1 | grep -o 'average:[^ ]*')"
