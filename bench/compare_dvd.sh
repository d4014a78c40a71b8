#!/usr/bin/env bash
# DVD navigation against mpv (Debian's, on libdvdnav), whole commands as a user runs them (process
# start included) in one hyperfine run, one decoder thread each, on a 5-minute PAL title with 10
# chapters authored here (testsrc2 through ffmpeg's pal-dvd target and dvdauthor):
#   1. the title's first frame, 2. chapter 7's first frame, 3. the frame at 00:03:21:13 (201.52 s).
# Our frames are compared with ffmpeg's decode of the title's VOB at the same frame number (PSNR over
# all bytes; identical frames print "inf"); mpv's title is matched by duration. FFmpeg cannot
# navigate a disc: its -ss into the title's VOB (no IFO read, no navigation) is timed in the same
# run as a lower bound, and its frame compared likewise.
#   bench/compare_dvd.sh [build folder, default build/bench] [runs, default 5]
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
build=${1:-$root/build/bench}
runs=${2:-5}
command -v ffmpeg >/dev/null && command -v hyperfine >/dev/null && command -v mpv >/dev/null &&
  command -v dvdauthor >/dev/null && command -v lsdvd >/dev/null ||
  "$root/scripts/install-deps.sh" ffmpeg hyperfine mpv dvdauthor lsdvd
bench_build "$build" media_grab
grab=$build/bench/media_grab
bench_scratch
ffmpeg -nostdin -v error -f lavfi -i testsrc2=size=720x576:rate=25:duration=300 \
  -f lavfi -i sine=f=440:sample_rate=48000:duration=300 -target pal-dvd -aspect 4:3 -y "$dir/title.mpg"
VIDEO_FORMAT=PAL dvdauthor -o "$dir/disc" -t -c 0,30,60,90,120,150,180,210,240,270 "$dir/title.mpg" >/dev/null 2>&1
VIDEO_FORMAT=PAL dvdauthor -o "$dir/disc" -T >/dev/null 2>&1
rm -f "$dir/title.mpg"
disc=$dir/disc
# Chapter 7's start as the disc says (chapters snap to GOPs), in frames.
chapter7=$(lsdvd -c "$disc" 2>/dev/null | python3 -c '
import re, sys
t = 0.0
for line in sys.stdin:
    m = re.search(r"Chapter: (\d+), Length: (\d+):(\d+):([\d.]+)", line)
    if m:
        if int(m.group(1)) == 7: print(round(t * 25)); break
        t += int(m.group(2)) * 3600 + int(m.group(3)) * 60 + float(m.group(4))')
# mpv numbers titles from 0: the one of 5 minutes.
mpvtitle=$(for t in 0 1 2; do
  d=$(mpv --no-config --vo=null --ao=null --frames=1 --term-playing-msg='DURATION=${=duration}' --dvd-device="$disc" \
    "dvd://$t" 2>/dev/null | grep -o 'DURATION=[0-9.]*' | cut -d= -f2 || true)
  python3 -c "import sys; sys.exit(0 if '$d' and abs(float('$d') - 300) < 1 else 1)" && { echo $t; break; }
done)
[ -n "$mpvtitle" ] || { echo "mpv finds no 5-minute title"; exit 1; }

psnr() {  # a 720 x 576 BGR24 frame against the VOB's frame number $2
  ffmpeg -nostdin -v error -i "$disc/VIDEO_TS/VTS_01_1.VOB" -an -vf "select=eq(n\,$2)" -vsync 0 -frames:v 1 \
    -f rawvideo -pix_fmt bgr24 -y "$dir/ref.raw"
  ffmpeg -hide_banner -nostats -f rawvideo -pix_fmt bgr24 -s 720x576 -i "$1" -f rawvideo -pix_fmt bgr24 \
    -s 720x576 -i "$dir/ref.raw" -lavfi psnr -f null - 2>&1 | grep -o 'average:[^ ]*' || echo "average:?"
}
mpv="mpv --no-config --vo=null --ao=null --frames=1 --vd-lavc-threads=1 --dvd-device=$disc"
ffmpeg_frame() {  # seconds into the VOB, output
  echo "ffmpeg -nostdin -v error -threads 1 -ss $1 -i $disc/VIDEO_TS/VTS_01_1.VOB -an -frames:v 1 -f rawvideo" \
    "-pix_fmt bgr24 -y $2"
}
run() {  # name, frame number, our arguments, mpv's
  echo "== $1 (frame $2)"
  local seconds
  seconds=$(python3 -c "print($2 / 25)")
  hyperfine -N -w 1 -r "$runs" --export-json "$dir/$1.json" -n ours "$grab -threads 1 -dvd $disc -o $dir/a.raw $3" \
    -n mpv "$mpv $4 dvd://$mpvtitle" -n ffmpeg "$(ffmpeg_frame "$seconds" "$dir/f.raw")" | grep -v '^ *$'
  python3 - "$dir/$1.json" <<'PY'
import json, sys
res = {x["command"]: x for x in json.load(open(sys.argv[1]))["results"]}
r = {k: v["median"] for k, v in res.items()}
print(f"   median ours {r['ours']:.3f} s, mpv {r['mpv']:.3f} s: ratio {r['ours'] / r['mpv']:.2f}")
c = {k: v["user"] + v["system"] for k, v in res.items()}
print(f"   CPU ours {c['ours']:.3f} s, mpv {c['mpv']:.3f} s: ratio {c['ours'] / c['mpv']:.2f}")
print(f"   lower bound, ffmpeg -ss into the VOB: median {r['ffmpeg']:.3f} s, CPU {c['ffmpeg']:.3f} s; "
      f"ours / ffmpeg {r['ours'] / r['ffmpeg']:.2f} wall, {c['ours'] / c['ffmpeg']:.2f} CPU")
PY
  "$grab" -threads 1 -dvd "$disc" -o "$dir/a.raw" $3
  echo "   PSNR against ffmpeg's frame $2 of the VOB $(psnr "$dir/a.raw" "$2")"
  $(ffmpeg_frame "$(python3 -c "print($2 / 25)")" "$dir/f.raw")
  echo "   ffmpeg -ss's frame against the same: $(psnr "$dir/f.raw" "$2")"
}
echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"
run start 0 "" ""
run chapter7 "$chapter7" "-title 1 -chapter 7" "--start=#7"
run time 5038 "-title 1 -ss 201.52" "--start=3:21.52"
