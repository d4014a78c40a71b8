#!/usr/bin/env python3
"""Pillow's side of the peer comparisons (bench/peers/peer_*.cpp start it).

Each command reads the same raw pixels the C++ side uses (3 bytes a pixel, rows from the top, no
padding), times the work alone over RUNS runs on one thread (Pillow's resampling and quantizing are
single-threaded), writes the result as raw pixels for the caller to compare, and prints the median
as "ms <value>" on its last line.

  resize IN W H OW OH lanczos|bicubic RUNS OUT
  quantize IN W H COLOURS RUNS OUT          median cut, no dithering; OUT gets the mapped pixels
"""
import statistics
import sys
import time

from PIL import Image


def timed(runs, work):
    times = []
    result = None
    for _ in range(runs):
        t0 = time.perf_counter()
        result = work()
        times.append((time.perf_counter() - t0) * 1000.0)
    return statistics.median(times), result


def load(path, w, h):
    with open(path, "rb") as f:
        data = f.read()
    if len(data) != w * h * 3:
        raise SystemExit(f"{path}: {len(data)} bytes, expected {w * h * 3}")
    return Image.frombytes("RGB", (w, h), data)


def main(argv):
    cmd = argv[1]
    if cmd == "resize":
        src, w, h, ow, oh, name, runs, out = argv[2], int(argv[3]), int(argv[4]), int(argv[5]), int(argv[6]), \
            argv[7], int(argv[8]), argv[9]
        im = load(src, w, h)
        flt = {"lanczos": Image.Resampling.LANCZOS, "bicubic": Image.Resampling.BICUBIC}[name]
        # reducing_gap None: the plain convolution, no box pre-shrink.
        ms, res = timed(runs, lambda: im.resize((ow, oh), flt, reducing_gap=None))
        with open(out, "wb") as f:
            f.write(res.tobytes())
    elif cmd == "quantize":
        src, w, h, colours, runs, out = argv[2], int(argv[3]), int(argv[4]), int(argv[5]), int(argv[6]), argv[7]
        im = load(src, w, h)
        ms, res = timed(runs, lambda: im.quantize(colours, method=Image.Quantize.MEDIANCUT,
                                                 dither=Image.Dither.NONE))
        with open(out, "wb") as f:
            f.write(res.convert("RGB").tobytes())
    else:
        raise SystemExit(f"unknown command {cmd}")
    print(f"ms {ms:.3f}")


if __name__ == "__main__":
    main(sys.argv)
