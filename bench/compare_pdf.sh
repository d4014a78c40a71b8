#!/usr/bin/env bash
# The PDF writer against the command-line tools a user would take, file to file, one thread each,
# ours (bench/pdf_tool) and the peer interleaved run by run in one script, on the same input files:
#   1. 100 text-like 1-bit pages of 2480 x 3508 (A4 at 300 dpi) as uncompressed TIFF files to one
#      PDF of Group 4 pages; the peer is `tiffcp -c g4` of each file, then `img2pdf` of the results.
#   2. 20 photos of 3000 x 2000 as quality-80 JPEG files to one PDF, ours decoding and coding them
#      again at quality 80; `img2pdf` embeds the files as they are: its time is the floor, no goal.
# Each is timed with the file synced to the disk (ours: the save's own sync; the peer: `sync` of its
# file) and without. Medians of wall and CPU time (user + system of the process and its children),
# the ratio ours / peer. The outputs' pages are rendered by pdftoppm at the pictures' pixel sizes
# and compared: the bilevel pages must be identical, the photos close (PSNR).
# ImageMagick's PDF writer is compared in process, memory to memory: bench/run_peers.sh 5 peer_pdf.
#   bench/compare_pdf.sh [build folder, default build/bench] [runs, default 7]
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
build=${1:-$root/build/bench}
runs=${2:-7}
for tool in img2pdf tiffcp pdftoppm cjpeg ffmpeg; do
  command -v $tool >/dev/null || "$root/scripts/install-deps.sh" img2pdf libtiff-tools poppler-utils \
    libjpeg-turbo-progs ffmpeg
done
bench_build "$build" pdf_tool
tool=$build/bench/pdf_tool
bench_scratch
mkdir -p "$dir/pages" "$dir/g4" "$dir/photos"

# The pages: lines of 16 x 32 glyphs (strokes and bars) on white, written as uncompressed
# WhiteIsZero TIFF files at 300 dpi.
python3 - "$dir/pages" <<'EOF'
import random, struct, sys
W, H = 2480, 3508
rng = random.Random(12345)
glyphs = []
for g in range(40):
    rows = []
    shape = rng.getrandbits(4)
    for y in range(32):
        bits = 0
        for x in range(2, 14):
            stem = x < 5 or (shape & 1 and x >= 11)
            bar = (y < 3 and shape & 2) or (14 <= y < 17 and shape & 4) or (y >= 29 and shape & 8)
            if stem or bar: bits |= 0x8000 >> x
        rows.append(struct.pack('>H', bits))
    glyphs.append(rows)
stride = W // 8
blank = bytes(stride)
def tiff(pixels):
    tags = [(256, 3, 1, W), (257, 3, 1, H), (258, 3, 1, 1), (259, 3, 1, 1), (262, 3, 1, 0),
            (273, 4, 1, 0), (277, 3, 1, 1), (278, 3, 1, H), (279, 4, 1, len(pixels)),
            (282, 5, 1, 0), (283, 5, 1, 0), (296, 3, 1, 2)]
    ifd_at = 8
    data_at = ifd_at + 2 + 12 * len(tags) + 4
    res_at = data_at
    strip_at = res_at + 16
    out = bytearray(b'II*\0' + struct.pack('<I', ifd_at) + struct.pack('<H', len(tags)))
    for tag, typ, n, v in tags:
        if tag == 273: v = strip_at
        if tag == 282: v = res_at
        if tag == 283: v = res_at + 8
        packed = struct.pack('<H', v) + b'\0\0' if typ == 3 else struct.pack('<I', v)
        out += struct.pack('<HHI', tag, typ, n) + packed
    out += struct.pack('<I', 0) + struct.pack('<IIII', 300, 1, 300, 1)
    return bytes(out) + pixels
for page in range(100):
    rows = [blank] * 150
    y = 150
    while y + 50 <= H - 150:
        line = [rng.choice(glyphs) if rng.random() > 0.15 else None for _ in range(140)]
        for gy in range(32):
            rows.append(b'\0' * 10 + b''.join(g[gy] if g else b'\0\0' for g in line) + b'\0' * (stride - 290))
        rows += [blank] * 18
        y += 50
    rows += [blank] * (H - len(rows))
    open(f"{sys.argv[1]}/page{page:03d}.tif", 'wb').write(tiff(b''.join(rows)))
EOF
# The photos: a busy synthetic picture with grain, coded at quality 80.
ffmpeg -hide_banner -loglevel error -f lavfi -i "testsrc2=size=3000x2000:rate=1,noise=alls=12:allf=t" \
  -frames:v 20 -f image2 "$dir/photos/p%02d.ppm"
for p in "$dir"/photos/p*.ppm; do cjpeg -quality 80 -outfile "${p%.ppm}.jpg" "$p"; rm "$p"; done

# CPU seconds and wall seconds of a command (user + system of it and its children).
timed() {
  python3 -c 'import resource, subprocess, sys, time
t = time.monotonic()
subprocess.run(sys.argv[1:], check=True, stdout=subprocess.DEVNULL)
w = time.monotonic() - t
r = resource.getrusage(resource.RUSAGE_CHILDREN)
print(f"{w:.4f} {r.ru_utime + r.ru_stime:.4f}")' "$@"
}
peer_pages() {  # sync: 1 or 0
  for f in "$dir"/pages/*.tif; do tiffcp -c g4 "$f" "$dir/g4/$(basename "$f")"; done
  img2pdf -o "$dir/peer.pdf" "$dir"/g4/*.tif
  if [ "$1" = 1 ]; then sync "$dir/peer.pdf"; fi
}
peer_photos() {
  img2pdf -o "$dir/peer.pdf" "$dir"/photos/*.jpg
  if [ "$1" = 1 ]; then sync "$dir/peer.pdf"; fi
}
export -f peer_pages peer_photos
export dir
compare() {  # name, ours command..., then "--", peer command...
  local name=$1; shift
  local ours=() peer=()
  while [ "$1" != "--" ]; do ours+=("$1"); shift; done
  shift
  peer=("$@")
  : >"$dir/times"
  for ((r = 0; r < runs; ++r)); do
    echo "ours $(timed "${ours[@]}")" >>"$dir/times"
    echo "peer $(timed "${peer[@]}")" >>"$dir/times"
  done
  python3 - "$dir/times" "$name" <<'EOF'
import statistics, sys
t = {"ours": [], "peer": []}
for line in open(sys.argv[1]):
    k, w, c = line.split()
    t[k].append((float(w), float(c)))
med = {k: (statistics.median(x[0] for x in v), statistics.median(x[1] for x in v)) for k, v in t.items()}
o, p = med["ours"], med["peer"]
print(f"{sys.argv[2]}: wall ours {o[0]:.3f} s, peer {p[0]:.3f} s: ratio {o[0] / p[0]:.2f}; "
      f"CPU ours {o[1]:.3f} s, peer {p[1]:.3f} s: ratio {o[1] / p[1]:.2f} (medians of {len(t['ours'])})")
EOF
}

echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"
for sync in 1 0; do
  flag=()
  [ $sync = 0 ] && flag=(-nosync)
  compare "100 bilevel TIFF pages to a G4 PDF (sync $sync)" \
    taskset -c 1 "$tool" "${flag[@]}" -o "$dir/ours.pdf" "$dir"/pages/*.tif -- \
    taskset -c 1 bash -c "peer_pages $sync"
done
# A page rendered by pdftoppm at W x H pixels: render <pdf> <page> <W> <H> <out stem> [-mono]
render() { pdftoppm -f "$2" -l "$2" -singlefile $6 -scale-to-x "$3" -scale-to-y "$4" "$1" "$5"; }
for k in 1 50 100; do
  render "$dir/ours.pdf" $k 2480 3508 "$dir/o" -mono
  render "$dir/peer.pdf" $k 2480 3508 "$dir/p" -mono
  if cmp -s "$dir/o.pbm" "$dir/p.pbm"; then echo "   page $k: the same pixels"; else echo "   page $k DIFFERS"; fi
  rm -f "$dir/o.pbm" "$dir/p.pbm"
done
echo "   sizes: ours $(stat -c %s "$dir/ours.pdf") bytes, peer $(stat -c %s "$dir/peer.pdf") bytes"

for sync in 1 0; do
  flag=()
  [ $sync = 0 ] && flag=(-nosync)
  compare "20 JPEG photos to a PDF, ours coded again at quality 80 (sync $sync; img2pdf embeds: the floor)" \
    taskset -c 1 "$tool" "${flag[@]}" -quality 80 -o "$dir/ours.pdf" "$dir"/photos/*.jpg -- \
    taskset -c 1 bash -c "peer_photos $sync"
done
for k in 1 20; do
  render "$dir/ours.pdf" $k 3000 2000 "$dir/o"
  render "$dir/peer.pdf" $k 3000 2000 "$dir/p"
  echo "   page $k: ours against the file embedded as it is, $(ffmpeg -hide_banner -nostats -i "$dir/o.ppm" \
    -i "$dir/p.ppm" -lavfi psnr -f null - 2>&1 | grep -o 'average:[^ ]*')"
  rm -f "$dir/o.ppm" "$dir/p.ppm"
done
echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"
