#!/usr/bin/env bash
# The single-image view's paint road against libvips, in one run on this machine, on the same
# 6000 x 4000 picture made in memory by both (bench_views and bench/vips_resize_time.c):
#   pan: RenderView's part of a 1920 x 1080 view at 100 % against vips_extract_area of the same
#        1920 x 1080 into memory; the two outputs must be equal byte for byte;
#   fit: the view recomposed at its fit zoom (27 %) with rfFastLinear against vips_resize with the
#        linear kernel to the same 1620 x 1080; compared by PSNR.
# Each at one thread (taskset to one processor, VIPS_CONCURRENCY=1) and on every processor of the
# run, medians of the rounds (default 9), wall and processor time. The view's per-frame figures
# (pan with its blit, fit with rfNone, 300 %) are printed too.
#   bench/compare_vips.sh [build folder, default build/bench] [runs]
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
build=${1:-$root/build/bench}
runs=${2:-9}
"$root/scripts/install-deps.sh" libvips-dev >/dev/null
bench=$build/bench/bench_views
bench_build "$build" bench_views
bench_scratch
cc -O2 "$root/bench/vips_resize_time.c" $(pkg-config --cflags --libs vips) -o "$dir/vips_resize_time"

median_of() {  # benchmark name, time field (real_time or cpu_time), json files... -> median in ms
  python3 - "$@" <<'PY'
import json, sys
name, field, files = sys.argv[1], sys.argv[2], sys.argv[3:]
scale = {"ns": 1e6, "us": 1e3, "ms": 1.0, "s": 1e-3}
values = []
for f in files:
    for b in json.load(open(f))["benchmarks"]:
        if b.get("run_name", b["name"]).split("/")[0] == name and b.get("run_type") == "iteration":
            values.append(b[field] / scale[b.get("time_unit", "ns")])
values.sort()
print("%.3f" % values[len(values) // 2])
PY
}

column_median() {  # column (1-based), file of lines -> median
  sort -g -k"$1","$1" "$2" | awk -v c="$1" '{ v[NR] = $c } END { printf "%.3f", v[int(NR / 2) + 1] }'
}

psnr() {
  python3 - "$1" "$2" <<'PY'
import math, sys
a = open(sys.argv[1], "rb").read(); b = open(sys.argv[2], "rb").read()
if len(a) != len(b): print("sizes differ"); sys.exit(0)
s = sum((x - y) * (x - y) for x, y in zip(a, b))
print("inf" if s == 0 else "%.2f" % (10 * math.log10(255 * 255 * len(a) / s)))
PY
}

ratio() { echo "$1 / $2" | bc -l | cut -c1-5; }

# Ours and libvips take turns, round after round, so that both meet the same load on a shared
# machine; each figure is the median over the rounds of a round's figure (ours: each benchmark's
# mean over its iterations; libvips: the median of nine runs, its first runs being slow).
# Processor time counts every thread of the process on both sides.
all=$(nproc)
for threads in 1 "$all"; do
  if [ "$threads" = 1 ]; then pin=(taskset -c 0); else pin=(); fi
  rm -f "$dir"/ours*.json "$dir/vext.txt" "$dir/vres.txt"
  for round in $(seq "$runs"); do
    BENCH_VIEWS_DUMP=$dir "${pin[@]}" "$bench" --benchmark_format=json --benchmark_out="$dir/ours$round.json" \
      --benchmark_out_format=json >/dev/null
    VIPS_CONCURRENCY=$threads "${pin[@]}" "$dir/vips_resize_time" extract 9 "$dir/vext.bgr" >>"$dir/vext.txt"
    VIPS_CONCURRENCY=$threads "${pin[@]}" "$dir/vips_resize_time" resize 9 "$dir/vres.bgr" >>"$dir/vres.txt"
  done
  pan=$(median_of BM_PanRenderViewPart real_time "$dir"/ours*.json)
  pancpu=$(median_of BM_PanRenderViewPart cpu_time "$dir"/ours*.json)
  fit=$(median_of BM_FitFastLinear real_time "$dir"/ours*.json)
  fitcpu=$(median_of BM_FitFastLinear cpu_time "$dir"/ours*.json)
  vext=$(column_median 1 "$dir/vext.txt") vextcpu=$(column_median 4 "$dir/vext.txt")
  vres=$(column_median 1 "$dir/vres.txt") vrescpu=$(column_median 4 "$dir/vres.txt")
  echo "threads $threads ($runs rounds; wall / processor ms)"
  echo "  pan 100 %: RenderView ${pan} / ${pancpu}, vips_extract_area ${vext} / ${vextcpu}," \
       "ratio $(ratio "$pan" "$vext") / $(ratio "$pancpu" "$vextcpu"), outputs $(cmp -s "$dir/pan.bgr" "$dir/vext.bgr" && echo equal || echo DIFFER)"
  echo "  fit 27 %:  recomposed and blitted ${fit} / ${fitcpu}, vips_resize ${vres} / ${vrescpu}," \
       "ratio $(ratio "$fit" "$vres") / $(ratio "$fitcpu" "$vrescpu"), PSNR $(psnr "$dir/fit.bgr" "$dir/vres.bgr") dB"
  for b in BM_PanAt100 BM_FitNone BM_Zoom300FastLinear BM_FastLinearShrinkWhole; do
    echo "  $b $(median_of $b real_time "$dir"/ours*.json) / $(median_of $b cpu_time "$dir"/ours*.json)"
  done
done
