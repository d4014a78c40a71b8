#!/usr/bin/env bash
# The media player against the ffmpeg command of the same FFmpeg, whole commands as a user runs
# them (process start included), side by side in one hyperfine run at the same decoder thread
# count, on a 60-second 1280 x 720 H.264 MP4 at 25 frames a second (key frame every 2 s, AAC):
#   1. the frame at 37.48 s as raw BGR24;
#   2. 60 frames at 1 s steps (ffmpeg: -vf fps=1), and 6 frames at 10 s steps (-vf fps=0.1).
#   3. capture from a virtual device drawn by testsrc2 (640 x 480 and 1280 x 720, YUYV): 900 frames as
#      fast as they come and 10 s paced by ",realtime", ours through TIEDirectShow into a window
#      whose new-frame handler takes each frame with GetCurrentFrame, ffmpeg rendering the same graph
#      to BGR24; CPU time per frame of each, and our latencies (packet read to sample buffer, sample
#      buffer to the new-frame handler).
# The frames of both are compared (PSNR over all bytes; identical frames print "inf"). ffmpeg's fps
# filter hands out the frame current half a step later (at 0.48 s, 1.48 s, ...), so the stepped
# frames are compared with ffmpeg's own frames 0, 25, 50, ... (its select filter), made apart.
#   bench/compare_media.sh [build folder, default build/bench] [threads, default 1] [parts]
# parts: a comma-separated choice of seek, step, play and capture (default all). CAPTURE_ROUNDS
# (default 3) rounds of the capture commands run in turn; the medians of the rounds are printed.
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
build=${1:-$root/build/bench}
threads=${2:-1}
parts=${3:-seek,step,play,capture}
rounds=${CAPTURE_ROUNDS:-3}
want() { [[ ",$parts," == *",$1,"* ]]; }
command -v ffmpeg >/dev/null && command -v hyperfine >/dev/null || "$root/scripts/install-deps.sh" ffmpeg hyperfine
bench_build "$build" media_grab capture_grab
grab=$build/bench/media_grab
capture=$build/bench/capture_grab
bench_scratch
clip=$dir/clip.mp4
if want seek || want step || want play; then
  ffmpeg -hide_banner -loglevel error -y -f lavfi -i testsrc2=size=1280x720:rate=25:duration=60 \
    -f lavfi -i sine=frequency=440:duration=60 -c:v libx264 -preset medium -g 50 -keyint_min 50 \
    -sc_threshold 0 -pix_fmt yuv420p -colorspace bt709 -color_primaries bt709 -color_trc bt709 \
    -c:a aac -shortest "$clip"
fi

ff="ffmpeg -v error -threads $threads"
psnr() {  # frames of 1280 x 720 BGR24 in two files
  ffmpeg -hide_banner -nostats -f rawvideo -pix_fmt bgr24 -s 1280x720 -i "$1" -f rawvideo -pix_fmt bgr24 \
    -s 1280x720 -i "$2" -lavfi psnr -f null - 2>&1 | grep -o 'average:[^ ]*' || echo "average:?"
}
run() {  # name, ours, peer
  echo "== $1 (threads $threads)"
  hyperfine -N -w 2 -r 10 --export-json "$dir/$1.json" -n ours "$2" -n ffmpeg "$3" | grep -v '^ *$'
  python3 - "$dir/$1.json" <<'EOF'
import json, sys
res = {x["command"]: x for x in json.load(open(sys.argv[1]))["results"]}
r = {k: v["median"] for k, v in res.items()}
print(f"   median ours {r['ours']:.3f} s, ffmpeg {r['ffmpeg']:.3f} s: ratio {r['ours'] / r['ffmpeg']:.2f}")
# CPU time (user + system, mean over the runs) moves far less than wall time on a shared machine.
c = {k: v["user"] + v["system"] for k, v in res.items()}
print(f"   CPU ours {c['ours']:.3f} s, ffmpeg {c['ffmpeg']:.3f} s: ratio {c['ours'] / c['ffmpeg']:.2f}")
EOF
}

if want seek; then
  run seek "$grab -threads $threads -i $clip -o $dir/a.raw -ss 37.48" \
    "$ff -ss 37.48 -i $clip -frames:v 1 -f rawvideo -pix_fmt bgr24 -y $dir/b.raw"
  echo "   PSNR $(psnr "$dir/a.raw" "$dir/b.raw")"
fi
if want step; then
  for step in 1 10; do
    run step$step "$grab -threads $threads -i $clip -o $dir/a.raw -step $step -count $((60 / step))" \
      "$ff -i $clip -an -vf fps=$(python3 -c "print(1 / $step)") -f rawvideo -pix_fmt bgr24 -y $dir/b.raw"
    $ff -i "$clip" -an -vf "select=not(mod(n\,$((25 * step))))" -vsync 0 -f rawvideo -pix_fmt bgr24 -y "$dir/c.raw"
    echo "   PSNR against ffmpeg's frames at the same times $(psnr "$dir/a.raw" "$dir/c.raw")"
  done
fi
if want play; then
  echo "== 20 s of real-time play with sound on the silent sink (threads $threads)"
  "$grab" -threads "$threads" -i "$clip" -play 20 || echo "   frames were dropped"
  echo "   the same on two cores (taskset -c 0,1)"
  taskset -c 0,1 "$grab" -threads "$threads" -i "$clip" -play 20 || echo "   frames were dropped"
fi

want capture || exit 0
echo "== capture from a virtual device: CPU time per frame (ffmpeg renders the same graph to BGR24), $rounds rounds"
cpu_of() {  # CPU seconds of a whole command (user + system of it and its children); its output to $dir/out and $dir/err
  python3 -c 'import resource, subprocess, sys
subprocess.run(sys.argv[2:], check=True, stdout=open(sys.argv[1], "w"), stderr=open(sys.argv[1] + ".err", "w"))
r = resource.getrusage(resource.RUSAGE_CHILDREN)
print(f"{r.ru_utime + r.ru_stime:.3f}")' "$dir/out" "$@"
}
for size in 640x480 1280x720; do
  for pace in "" ",realtime"; do
    graph="testsrc2=size=$size:rate=30,format=yuyv422$pace"
    frames=900
    [ -n "$pace" ] && frames=300
    # Both whole processes measured alike, less the same process taking one frame (start-up and
    # closing, which a capture window pays once); the source graph alone for reference. The six
    # commands run in turn, round after round, so that a change of the machine's load hits all.
    figures=()
    for ((r = 1; r <= rounds; ++r)); do
      ours1=$(cpu_of "$capture" -graph "$graph" -frames 1 -size $size)
      ours=$(cpu_of "$capture" -graph "$graph" -frames $frames -size $size -dump "$dir/a.raw")
      line=$(cat "$dir/out")
      peer1=$(cpu_of ffmpeg -v error -f lavfi -i "$graph" -frames:v 1 -pix_fmt bgr24 -f null -)
      # -benchmark: ffmpeg's own processor time from the start of its work to the end (it prints
      # at the info level), beside ours from Run to the last frame taken: no start-up subtracted.
      peer=$(cpu_of ffmpeg -hide_banner -nostats -benchmark -f lavfi -i "$graph" -frames:v $frames -pix_fmt bgr24 -f null -)
      inpeer=$(grep -o 'utime=[0-9.]*s stime=[0-9.]*s' "$dir/out.err" | tr -d 'a-z=' | awk '{print $1 + $2}')
      inours=$(echo "$line" | grep -o '[0-9.]* ms CPU per frame' | cut -d' ' -f1)
      source1=$(cpu_of ffmpeg -v error -f lavfi -i "$graph" -frames:v 1 -f null -)
      source=$(cpu_of ffmpeg -v error -f lavfi -i "$graph" -frames:v $frames -f null -)
      taken=$(echo "$line" | grep -o '[0-9]* frames in' | cut -d' ' -f1)
      figures+=("$ours $ours1 $peer $peer1 $source $source1 $taken $inours $inpeer")
      echo "$line" | grep latency | sed "s/^/   round $r: /" || true
    done
    python3 - "$graph" $frames "${figures[@]}" <<'EOF'
import statistics, sys
graph, n = sys.argv[1], float(sys.argv[2])
rows = []
for f in sys.argv[3:]:
    o, o1, p, p1, s, s1, t, io, ip = (float(x) for x in f.split())
    rows.append(((o - o1) / (t - 1), (p - p1) / (n - 1), (s - s1) / (n - 1), o1, p1, io / 1000, ip / n))
for o, p, s, o1, p1, io, ip in rows:
    print(f"   round: ours {o * 1000:.2f} ms, ffmpeg {p * 1000:.2f} ms CPU per frame, ratio {o / p:.2f} "
          f"(source alone {s * 1000:.2f} ms; start-up ours {o1:.2f} s, ffmpeg {p1:.2f} s); "
          f"measured inside: ours {io * 1000:.2f} ms, ffmpeg {ip * 1000:.2f} ms, ratio {io / ip:.2f}")
med = lambda i: statistics.median(r[i] for r in rows)
ratio = statistics.median(r[0] / r[1] for r in rows)
inside = statistics.median(r[5] / r[6] for r in rows)
print(f"   {graph}: median ours {med(0) * 1000:.2f} ms, ffmpeg {med(1) * 1000:.2f} ms CPU per frame: "
      f"median ratio {ratio:.2f} (the source graph alone {med(2) * 1000:.2f} ms); measured inside each "
      f"process (ours from Run, ffmpeg's -benchmark): {med(5) * 1000:.2f} and {med(6) * 1000:.2f} ms, median ratio {inside:.2f}")
EOF
    if [ -n "$pace" ]; then
      # The first frame taken is the graph's first: against ffmpeg's BGR24 rendering of it.
      ffmpeg -v error -f lavfi -i "${graph%,realtime}" -frames:v 1 -pix_fmt bgr24 -f rawvideo -y "$dir/b.raw"
      python3 - "$dir/a.raw" "$dir/b.raw" "${size#*x}" <<'EOF'
import sys
a, b, h = open(sys.argv[1], "rb").read(), open(sys.argv[2], "rb").read(), int(sys.argv[3])
if len(a) != len(b):
    print(f"   first frame: sizes differ ({len(a)} and {len(b)} bytes)")
else:
    row = len(a) // h
    d = [abs(x - y) for x, y in zip(a, b)]
    print(f"   first frame against ffmpeg's: largest difference {max(d[: row * (h - 2)])} (rows but the last two), "
          f"{max(d[row * (h - 2):])} (last two), {sum(x != 0 for x in d)} of {len(d)} samples differ")
EOF
    fi
  done
done
