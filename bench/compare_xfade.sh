#!/usr/bin/env bash
# The transition engine against FFmpeg's xfade filter, in one run on this machine: the same two
# 1920 x 1080 pictures (FFmpeg's testsrc2 and mandelbrot), 8-bit samples, each side in its own
# layout (packed B, G, R for ours, planar G, B, R for xfade, which takes no packed RGB), the 200
# frames of an 8-second transition at 25 frames a second, at one thread and at the physical core
# count. xfade's time per frame is its run less a run that only passes the inputs through, over
# 200, the median of five; ours is DrawStep alone (bench_processing_transitions, median of five),
# the copy onto a window-sized surface apart. Then xfade's frames 50, 100 and 150 are compared with
# ours: the fade within 1 per sample, the wipe and the push up to one column at the edge. The circle,
# sweep and diagonal wipes differ from xfade's in their shapes' details: every frame of ours is
# checked to hold only the two pictures' pixels, each at its place.
#   bench/compare_xfade.sh [build folder, default build/bench]
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
build=${1:-$root/build/bench}
bench=$build/bench/bench_processing_transitions
command -v ffmpeg >/dev/null || { echo "ffmpeg is needed (scripts/install-deps.sh installs it)"; exit 1; }
bench_build "$build" bench_processing_transitions
bench_scratch

# The pictures: made once in planar RGB, then repacked (exactly) as B, G, R for ours.
ff -f lavfi -i testsrc2=size=1920x1080:rate=25 -frames:v 1 -pix_fmt gbrp -f rawvideo "$dir/a.gbrp"
ff -f lavfi -i mandelbrot=size=1920x1080:rate=25 -frames:v 1 -pix_fmt gbrp -f rawvideo "$dir/b.gbrp"
for p in a b; do
  ff -f rawvideo -pix_fmt gbrp -s 1920x1080 -i "$dir/$p.gbrp" -pix_fmt bgr24 -f rawvideo "$dir/$p.bgr"
  ff -f rawvideo -pix_fmt bgr24 -s 1920x1080 -i "$dir/$p.bgr" -pix_fmt gbrp -f rawvideo "$dir/$p.back"
  cmp -s "$dir/$p.gbrp" "$dir/$p.back" || { echo "repacking $p changed its samples"; exit 1; }
done

physical=$(lscpu -p=core,socket 2>/dev/null | grep -v '^#' | sort -u | wc -l)
[ "$physical" -ge 1 ] || physical=$(nproc)
inputs=(-stream_loop -1 -f rawvideo -pix_fmt gbrp -s 1920x1080 -r 25 -i "$dir/a.gbrp"
        -stream_loop -1 -f rawvideo -pix_fmt gbrp -s 1920x1080 -r 25 -i "$dir/b.gbrp")

rtime() {  # the wall time ffmpeg -benchmark reports, in milliseconds
  ffmpeg -hide_banner -nostdin -benchmark "$@" 2>&1 | sed -n 's/.*rtime=\([0-9.]*\)s.*/\1/p' | awk '{printf "%.3f", $1 * 1000}'
}
median() { sort -g | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }

xfade_ms() {  # transition, threads
  local diffs=() base full
  for _ in 1 2 3 4 5; do
    base=$(rtime -filter_complex_threads "$2" "${inputs[@]}" \
      -filter_complex "[0]trim=end_frame=200[a];[1]trim=end_frame=200,nullsink" -map "[a]" -f null -)
    full=$(rtime -filter_complex_threads "$2" "${inputs[@]}" \
      -filter_complex "[0][1]xfade=transition=$1:duration=8:offset=0,trim=end_frame=200" -f null -)
    diffs+=("$(awk -v f="$full" -v b="$base" 'BEGIN {printf "%.4f", (f - b) / 200}')")
  done
  printf '%s\n' "${diffs[@]}" | median
}

# The median's ms_per_frame, SI prefixes (k, m, u, n) undone.
counter='function counter(line,   v, p) {
  if (!match(line, /ms_per_frame=[0-9.]+[kmun]?/)) return "";
  v = substr(line, RSTART + 13, RLENGTH - 13); p = substr(v, length(v));
  if (p ~ /[kmun]/) v = substr(v, 1, length(v) - 1) * (p == "k" ? 1e3 : p == "m" ? 1e-3 : p == "u" ? 1e-6 : 1e-9);
  return v }'

ours_ms() {  # id, threads
  "$bench" --pictures="$dir/a.bgr,$dir/b.bgr" --threads="$2" --benchmark_filter="^Xfade/$1/$2/" \
    --benchmark_repetitions=5 --benchmark_report_aggregates_only=true 2>/dev/null |
    awk "$counter"' /_median/ {print counter($0)}'
}

echo "$(nproc) logical cores, $physical physical; $(ffmpeg -version | head -1)"
printf '%-11s %4s %3s %12s %12s %8s %s\n' xfade id T "xfade ms" "ours ms" ratio goal
pairs=("fade 1 1.5" "wiperight 5 1.5" "slideright 17 1.5" "dissolve 25 -" "wipetl 49 -" "squeezeh 155 -" "rectcrop 27 -"
       "circleopen 117 1.5" "circleclose 118 -" "radial 139 -" "diagtl 133 -")
for t in $(printf '%s\n' 1 "$physical" | sort -un); do
  for pair in "${pairs[@]}"; do
    read -r name id goal <<<"$pair"
    theirs=$(xfade_ms "$name" "$t")
    ours=$(ours_ms "$id" "$t")
    awk -v n="$name" -v id="$id" -v t="$t" -v x="$theirs" -v o="$ours" -v g="$goal" 'BEGIN {
      r = x / o; verdict = g == "-" ? "report" : (r >= g ? "met (>= " g ")" : "MISSED (< " g ")");
      printf "%-11s %4d %3d %12.3f %12.3f %7.2fx %s\n", n, id, t, x, o, r, verdict }'
  done
done
"$bench" --pictures="$dir/a.bgr,$dir/b.bgr" --benchmark_filter='^Present/' --benchmark_repetitions=5 \
  --benchmark_report_aggregates_only=true 2>/dev/null |
  awk "$counter"' /_median/ {printf "copy of a frame onto a window-sized 32-bit surface: %.3f ms\n", counter($0)}'

# Checked right: xfade's frames 50, 100, 150 against ours.
status=0
for pair in "fade 1" "wiperight 5" "slideright 17"; do
  read -r name id <<<"$pair"
  ff "${inputs[@]}" -filter_complex \
    "[0][1]xfade=transition=$name:duration=8:offset=0,trim=end_frame=200,select='eq(n\,50)+eq(n\,100)+eq(n\,150)'" \
    -fps_mode passthrough -f rawvideo -pix_fmt gbrp "$dir/$name.frames"
  "$bench" --pictures="$dir/a.bgr,$dir/b.bgr" --check="$id:$dir/$name.frames:50,100,150" || status=1
done
for id in 117 118 139 133; do
  "$bench" --pictures="$dir/a.bgr,$dir/b.bgr" --check-in-place="$id" || status=1
done
exit $status
