#!/usr/bin/env bash
# The thumbnail view's loading against vipsthumbnail, in one run on this machine: 1,000 JPEG files
# of 1920 x 1080 and 1,000 BMP files of 640 x 480 (made here by FFmpeg, without EXIF thumbnails, and
# read once before timing). Ours: 100 x 100 thumbnails in a shown view showing every cell, from the
# file names to OnAllDisplayed (bench_mview thumbs). Peer: vipsthumbnail -s 100x100 to PPM files.
# At one thread (ours: ThreadPoolSize 1 on one processor; vipsthumbnail: VIPS_CONCURRENCY=1 on one
# processor) and on every processor (ours: the defaults; vipsthumbnail: the file list split over one
# process per processor). A sample of thumbnails is compared by PSNR. Wall and processor time (user
# and system of every thread, ours over the timed span, vipsthumbnail's processes whole) are given
# with their ratios; with several rounds the two take turns, each round on its own.
#   bench/compare_vipsthumbnail.sh [build folder, default build/bench] [files per kind, default 1000] [rounds, default 1]
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
build=${1:-$root/build/bench}
count=${2:-1000}
rounds=${3:-1}
"$root/scripts/install-deps.sh" libvips-tools >/dev/null
bench=$build/bench/bench_mview
bench_build "$build" bench_mview
bench_scratch
mkdir -p "$dir/jpg" "$dir/bmp"
ff -f lavfi -i "testsrc2=size=1920x1080:rate=25" -frames:v "$count" -map_metadata -1 -q:v 3 "$dir/jpg/%05d.jpg"
ff -f lavfi -i "mandelbrot=size=640x480:rate=25" -frames:v "$count" -pix_fmt bgr24 "$dir/bmp/%05d.bmp"
all=$(nproc)
now() { date +%s.%N; }

# Processor time (user + system, ms) of the children this shell had waited for when `times > FILE`
# ran (in this shell itself: a subshell counts only its own children).
cpu_of() { sed -n 2p "$1" | awk '{ split($1, u, /[ms]/); split($2, s, /[ms]/); print (u[1] * 60 + u[2] + s[1] * 60 + s[2]) * 1000 }'; }

for kind in jpg bmp; do
  cat "$dir/$kind"/* >/dev/null
  for threads in 1 "$all"; do
  for round in $(seq "$rounds"); do
    rm -rf "$dir/ours-$kind-$threads" "$dir/vips-$kind-$threads"
    mkdir -p "$dir/ours-$kind-$threads" "$dir/vips-$kind-$threads"
    load=$(cut -d' ' -f1 /proc/loadavg)
    if [ "$threads" = 1 ]; then
      line=$(taskset -c 0 "$bench" thumbs "$dir/$kind" 1 "$dir/ours-$kind-$threads")
      times > "$dir/times0"
      t0=$(now)
      VIPS_CONCURRENCY=1 taskset -c 0 vipsthumbnail "$dir/$kind"/* -s 100x100 -o "$dir/vips-$kind-$threads/%s.ppm"
      t1=$(now)
      times > "$dir/times1"
    else
      line=$("$bench" thumbs "$dir/$kind" 5 "$dir/ours-$kind-$threads")
      times > "$dir/times0"
      t0=$(now)
      ls "$dir/$kind"/* | split -n "r/$threads" - "$dir/list-"
      for l in "$dir"/list-*; do
        VIPS_CONCURRENCY=1 xargs -a "$l" sh -c 'vipsthumbnail "$@" -s 100x100 -o "'"$dir/vips-$kind-$threads"'/%s.ppm"' sh &
      done
      wait
      rm -f "$dir"/list-*
      t1=$(now)
      times > "$dir/times1"
    fi
    ours=$(echo "$line" | sed -n 's/.*: \([0-9.]*\) ms,.*/\1/p')
    ourscpu=$(echo "$line" | sed -n 's/.*processor \([0-9.]*\) ms.*/\1/p')
    peer=$(echo "($t1 - $t0) * 1000" | bc -l)
    peercpu=$(echo "$(cpu_of "$dir/times1") - $(cpu_of "$dir/times0")" | bc -l)
    psnr=$(python3 - "$dir/ours-$kind-$threads" "$dir/vips-$kind-$threads" <<'PY'
import math, os, sys
ours, peer = sys.argv[1], sys.argv[2]
vals = []
for f in sorted(os.listdir(ours)):
    if not f.endswith(".bgr"): continue
    stem = f[:-4]
    w, h = map(int, open(os.path.join(ours, stem + ".size")).read().split())
    a = open(os.path.join(ours, f), "rb").read()
    p = open(os.path.join(peer, stem + ".ppm"), "rb").read()
    # P6, width, height, maximum (comment lines skipped), one blank, then the pixels.
    fields, pos = [], 0
    while len(fields) < 4:
        while p[pos:pos + 1].isspace(): pos += 1
        if p[pos:pos + 1] == b"#":
            pos = p.index(b"\n", pos) + 1; continue
        end = pos
        while not p[end:end + 1].isspace(): end += 1
        fields.append(p[pos:end]); pos = end
    pw, ph = int(fields[1]), int(fields[2])
    if (pw, ph) != (w, h):
        vals.append("size %dx%d vs %dx%d" % (w, h, pw, ph)); continue
    rgb = p[pos + 1:]
    s = 0
    for i in range(0, len(a), 3):
        for c in range(3):
            d = a[i + 2 - c] - rgb[i + c]
            s += d * d
    vals.append("inf" if s == 0 else "%.1f" % (10 * math.log10(255 * 255 * len(a) / s)))
print(" ".join(vals))
PY
)
    printf '%s, %s threads, round %s (load %s): wall ours %.0f ms (%.2f per file), vipsthumbnail %.0f ms, ratio %.2f; processor ours %.0f ms, vipsthumbnail %.0f ms, ratio %.2f; PSNR of 5: %s dB\n' \
      "$kind" "$threads" "$round" "$load" "$ours" "$(echo "$ours / $count" | bc -l)" "$peer" "$(echo "$ours / $peer" | bc -l)" \
      "$ourscpu" "$peercpu" "$(echo "$ourscpu / $peercpu" | bc -l)" "$psnr"
  done
  done
done
