#!/usr/bin/env bash
# The single-image view's paint road against libvips, in one run on this machine, on the same
# 6000 x 4000 picture made in memory by both (bench_views and bench/vips_resize_time.c):
#   pan: RenderView's part of a 1920 x 1080 view at 100 % against vips_extract_area of the same
#        1920 x 1080 into memory; the two outputs must be equal byte for byte;
#   fit: the view recomposed at its fit zoom (27 %) with rfFastLinear against vips_resize with the
#        linear kernel to the same 1620 x 1080; compared by PSNR.
# Each at one thread (taskset to one processor, VIPS_CONCURRENCY=1) and on every processor of the
# run, medians of the runs (default 9). The view's per-frame figures (pan with its blit, fit with
# rfNone, 300 %) are printed too.
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

median_of() {  # benchmark name, json file -> median real time in ms
  python3 - "$1" "$2" <<'PY'
import json, sys
data = json.load(open(sys.argv[2]))
for b in data["benchmarks"]:
    if b.get("run_name", "").split("/")[0] == sys.argv[1] and b.get("aggregate_name") == "median":
        t = b["real_time"]
        unit = b.get("time_unit", "ns")
        print("%.3f" % (t / {"ns": 1e6, "us": 1e3, "ms": 1.0, "s": 1e-3}[unit]))
PY
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

all=$(nproc)
for threads in 1 "$all"; do
  if [ "$threads" = 1 ]; then pin=(taskset -c 0); else pin=(); fi
  BENCH_VIEWS_DUMP=$dir "${pin[@]}" "$bench" --benchmark_repetitions="$runs" --benchmark_report_aggregates_only=true \
    --benchmark_format=json --benchmark_out="$dir/ours.json" --benchmark_out_format=json >/dev/null
  read -r vext _ _ < <(VIPS_CONCURRENCY=$threads "${pin[@]}" "$dir/vips_resize_time" extract "$runs" "$dir/vext.bgr")
  read -r vres _ _ < <(VIPS_CONCURRENCY=$threads "${pin[@]}" "$dir/vips_resize_time" resize "$runs" "$dir/vres.bgr")
  pan=$(median_of BM_PanRenderViewPart "$dir/ours.json")
  fit=$(median_of BM_FitFastLinear "$dir/ours.json")
  echo "threads $threads"
  echo "  pan 100 %: RenderView ${pan} ms, vips_extract_area ${vext} ms, ratio $(echo "$pan / $vext" | bc -l | cut -c1-5)," \
       "outputs $(cmp -s "$dir/pan.bgr" "$dir/vext.bgr" && echo equal || echo DIFFER)"
  echo "  fit 27 %:  recomposed and blitted ${fit} ms, vips_resize ${vres} ms, ratio $(echo "$fit / $vres" | bc -l | cut -c1-5)," \
       "PSNR $(psnr "$dir/fit.bgr" "$dir/vres.bgr") dB"
  for b in BM_PanAt100 BM_FitNone BM_Zoom300FastLinear BM_FastLinearShrinkWhole; do
    echo "  $b $(median_of $b "$dir/ours.json") ms"
  done
done
