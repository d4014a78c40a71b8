#!/usr/bin/env python3
"""Pillow's side of the peer comparisons (bench/peers/peer_*.cpp start it).

Each command reads the same raw pixels the C++ side uses (3 bytes a pixel, rows from the top, no
padding), times the work alone over RUNS runs on one thread (Pillow's resampling and quantizing are
single-threaded), writes the result as raw pixels for the caller to compare, and prints the medians
of the processor time as "cpu <value>" and of the wall time as "ms <value>" on its last lines.

  resize IN W H OW OH lanczos|bicubic RUNS OUT
  quantize IN W H COLOURS RUNS OUT          median cut, no dithering; OUT gets the mapped pixels
  bmpload FILE RUNS OUT                     OUT gets the decoded pixels
  bmpsave IN W H RUNS OUT                   OUT is the BMP file
  gifload FILE FRAMES RUNS OUT              every frame decoded to RGB; OUT gets them one after another
  gifsave IN W H FRAMES RUNS DIR            IN holds the frames one after another; DIR gets one
                                            one-frame GIF per frame, frame_NN.gif
"""
import statistics
import sys
import time

from PIL import Image


CPU = []


def timed(runs, work):
    # One run untimed first: the caller starts this script afresh for every round, and Pillow
    # loads its format plugins on the first open or save, which the in-process peers pay once.
    times = []
    result = work()
    for _ in range(runs):
        c0 = time.process_time()
        t0 = time.perf_counter()
        result = work()
        times.append((time.perf_counter() - t0) * 1000.0)
        CPU.append((time.process_time() - c0) * 1000.0)
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
    elif cmd == "bmpload":
        path, runs, out = argv[2], int(argv[3]), argv[4]

        def work():
            with Image.open(path) as im:
                im.load()
                return im.convert("RGB") if im.mode != "RGB" else im.copy()
        ms, res = timed(runs, work)
        with open(out, "wb") as f:
            f.write(res.tobytes())
    elif cmd == "bmpsave":
        src, w, h, runs, out = argv[2], int(argv[3]), int(argv[4]), int(argv[5]), argv[6]
        im = load(src, w, h)
        ms, _ = timed(runs, lambda: im.save(out, "BMP"))
    elif cmd == "gifload":
        path, frames, runs, out = argv[2], int(argv[3]), int(argv[4]), argv[5]

        def work():
            result = []
            with Image.open(path) as im:
                for i in range(frames):
                    im.seek(i)
                    result.append(im.convert("RGB").tobytes())
            return result
        ms, res = timed(runs, work)
        with open(out, "wb") as f:
            f.write(b"".join(res))
    elif cmd == "gifsave":
        src, w, h, frames, runs, folder = argv[2], int(argv[3]), int(argv[4]), int(argv[5]), int(argv[6]), argv[7]
        with open(src, "rb") as f:
            data = f.read()
        size = w * h * 3
        ims = [Image.frombytes("RGB", (w, h), data[i * size:(i + 1) * size]) for i in range(frames)]

        def work():
            for i, im in enumerate(ims):
                im.save(f"{folder}/frame_{i:02d}.gif", "GIF")
        ms, _ = timed(runs, work)
    else:
        raise SystemExit(f"unknown command {cmd}")
    print(f"cpu {statistics.median(CPU):.3f}")
    print(f"ms {ms:.3f}")


if __name__ == "__main__":
    main(sys.argv)
