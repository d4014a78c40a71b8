// Drawing a TIEBitmap into a 1920 x 1080 back buffer, beside Qt's raster engine (QPainter::drawImage
// between QImage::Format_BGR888 images) on the same pixels in the same process: a 1:1 copy of a
// 1920 x 1080 area, a 6000 x 4000 photo fitted (nearest pixels), a 480 x 270 area zoomed 400 %, the
// fit with opacity 128 and with a partial alpha channel (Qt: setOpacity, an ARGB32 source), and the
// fit with rfFastLinear against Qt's SmoothTransformation. Both run on one thread. Ours runs with a
// fresh call each time ("First") and with the tables kept across calls ("Kept"), as the views draw.
// Qt hands parts of its work to threads of its own, so the times are wall-clock times with the
// process bound to one processor, and the CPU column is the whole process's processor time (all
// threads): on a busy machine, where the wall clock mostly measures waiting, that column compares.
// Before the timings each case checks that the two outputs agree (PSNR), so a faster result is
// also a right one. Last, the time the engine's start-up takes.
#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>
#include <QThreadPool>
#include <sched.h>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "bench/bench_photo.h"
#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_startup.h"
#include "imaging/processing/ie_resample_bands.h"

namespace {

constexpr int32_t kBufW = 1920, kBufH = 1080, kPhotoW = 6000, kPhotoH = 4000;

struct Inputs {
  std::vector<uint8_t> photo = MakeBenchPhoto(kPhotoW, kPhotoH);
  TIEBitmap ours{kPhotoW, kPhotoH, ie24RGB};
  TIEBitmap oursAlpha{kPhotoW, kPhotoH, ie24RGB};
  QImage qt{kPhotoW, kPhotoH, QImage::Format_BGR888};
  QImage qtAlpha{kPhotoW, kPhotoH, QImage::Format_ARGB32};
  Inputs() {
    // One thread for both: our resampler's bands, and Qt's raster engine, which spreads scaling and
    // blending over a pool of its own sized by the processors the process may use.
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(sched_getcpu(), &one);
    sched_setaffinity(0, sizeof one, &one);
    ResampleThreadCountForTesting() = 1;
    QThreadPool::globalInstance()->setMaxThreadCount(1);
    // Qt's BGR888 holds blue, green, red in memory order, as ours does.
    for (int32_t y = 0; y < kPhotoH; ++y) {
      const uint8_t* src = photo.data() + static_cast<size_t>(y) * kPhotoW * 3;
      std::memcpy(ours.GetRow(y), src, static_cast<size_t>(kPhotoW) * 3);
      std::memcpy(oursAlpha.GetRow(y), src, static_cast<size_t>(kPhotoW) * 3);
      uint8_t* q = qt.scanLine(y);
      auto* qa = reinterpret_cast<uint32_t*>(qtAlpha.scanLine(y));
      uint8_t* alpha = static_cast<uint8_t*>(oursAlpha.GetAlphaChannel()->GetRow(y));
      for (int32_t x = 0; x < kPhotoW; ++x) {
        const uint8_t b = src[3 * x], g = src[3 * x + 1], r = src[3 * x + 2];
        q[3 * x] = b;
        q[3 * x + 1] = g;
        q[3 * x + 2] = r;
        // A partial alpha channel: a ramp across the picture, opaque in its right quarter.
        const uint8_t a = static_cast<uint8_t>(std::min(255, x * 340 / kPhotoW));
        alpha[x] = a;
        qa[x] = (uint32_t{a} << 24) | (uint32_t{r} << 16) | (uint32_t{g} << 8) | b;
      }
    }
    oursAlpha.GetAlphaChannel()->SetFull(false);
    // Qt prepares itself on its first drawing (a second or more); that is not what is measured.
    QImage warm(kBufW, kBufH, QImage::Format_BGR888);
    QPainter p(&warm);
    p.drawImage(QRect(0, 0, kBufW, kBufH), qt, QRect(0, 0, kBufW, kBufH));
    p.drawImage(QRect(0, 0, kBufW, kBufH), qtAlpha, QRect(0, 0, kPhotoW, kPhotoH));
  }
};

Inputs& In() {
  static Inputs inputs;
  return inputs;
}

// The fitted size of the photo in the buffer: 1620 x 1080.
constexpr int32_t kFitW = kPhotoW * kBufH / kPhotoH, kFitH = kBufH, kFitX = (kBufW - kFitW) / 2;

struct Case {
  const char* name;
  int32_t dx, dy, dw, dh, sx, sy, sw, sh, opacity;
  TResampleFilter filter;
  bool alpha;
};
const Case kCases[] = {
    {"Copy1to1", 0, 0, kBufW, kBufH, 2000, 1500, kBufW, kBufH, 255, rfNone, false},
    {"FitNearest", kFitX, 0, kFitW, kFitH, 0, 0, kPhotoW, kPhotoH, 255, rfNone, false},
    {"Zoom400", 0, 0, kBufW, kBufH, 3000, 2000, 480, 270, 255, rfNone, false},
    {"FitOpacity128", kFitX, 0, kFitW, kFitH, 0, 0, kPhotoW, kPhotoH, 128, rfNone, false},
    {"FitAlpha", kFitX, 0, kFitW, kFitH, 0, 0, kPhotoW, kPhotoH, 255, rfNone, true},
    {"FitFastLinear", kFitX, 0, kFitW, kFitH, 0, 0, kPhotoW, kPhotoH, 255, rfFastLinear, false},
};

struct Tables {
  TIERenderDestRows rows;
  TIERenderIndexMap columns, rowMap;
};

void Ours(const Case& c, TIEBitmap& buffer, Tables* kept) {
  TIEBitmap& src = c.alpha ? In().oursAlpha : In().ours;
  src.RenderToTIEBitmapEx(buffer, kept ? &kept->rows : nullptr, kept ? &kept->columns : nullptr,
                          kept ? &kept->rowMap : nullptr, nullptr, c.dx, c.dy, c.dw, c.dh, c.sx, c.sy, c.sw, c.sh, true,
                          true, c.opacity, c.filter, kept == nullptr, 0);
}

void Qt(const Case& c, QImage& buffer) {
  QPainter p(&buffer);
  if (c.filter != rfNone) p.setRenderHint(QPainter::SmoothPixmapTransform);
  if (c.opacity < 255) p.setOpacity(c.opacity / 255.0);
  p.drawImage(QRect(c.dx, c.dy, c.dw, c.dh), c.alpha ? In().qtAlpha : In().qt, QRect(c.sx, c.sy, c.sw, c.sh));
}

// A grey background both start from.
void Clear(TIEBitmap& ours, QImage& qt) {
  ours.Fill(0x808080);
  qt.fill(QColor(128, 128, 128));
}

// PSNR of ours against Qt's buffer (infinite when equal).
double Psnr(TIEBitmap& ours, QImage& qt) {
  double sum = 0;
  for (int32_t y = 0; y < kBufH; ++y) {
    const auto* a = static_cast<const uint8_t*>(ours.GetRow(y));
    const uint8_t* b = qt.constScanLine(y);
    for (int32_t x = 0; x < kBufW; ++x)
      for (int k = 0; k < 3; ++k) {
        const double d = a[3 * x + k] - b[3 * x + k];
        sum += d * d;
      }
  }
  const double mse = sum / (double{kBufW} * kBufH * 3);
  return mse == 0 ? INFINITY : 10 * std::log10(255.0 * 255.0 / mse);
}

void Check(const Case& c, benchmark::State& state) {
  TIEBitmap ours(kBufW, kBufH, ie24RGB);
  QImage qt(kBufW, kBufH, QImage::Format_BGR888);
  Clear(ours, qt);
  Ours(c, ours, nullptr);
  Qt(c, qt);
  const double psnr = Psnr(ours, qt);
  state.counters["psnr_vs_qt"] = std::isinf(psnr) ? 999 : psnr;
  // Nearest pixels may pick a neighbouring source pixel at a few columns; filters differ more.
  if (psnr < (c.filter == rfNone ? 30 : 26)) state.SkipWithError("output differs from Qt's");
}

void BM_Ours(benchmark::State& state, const Case& c, bool keep) {
  Check(c, state);
  TIEBitmap buffer(kBufW, kBufH, ie24RGB);
  buffer.Fill(0x808080);
  Tables tables;
  for (auto _ : state) {
    Ours(c, buffer, keep ? &tables : nullptr);
    benchmark::ClobberMemory();
  }
}

void BM_Qt(benchmark::State& state, const Case& c) {
  In();  // the inputs are made before the timing
  QImage buffer(kBufW, kBufH, QImage::Format_BGR888);
  buffer.fill(QColor(128, 128, 128));
  for (auto _ : state) {
    Qt(c, buffer);
    benchmark::ClobberMemory();
  }
}

// The engine's start-up with every step wired so far (the program shows its window after it), run
// by a runner of its own each time; the shut-down is not timed.
void BM_EngineStartup(benchmark::State& state) {
  for (auto _ : state) {
    TIEStartupRunner runner;
    runner.Initialize(IEEngineStartupSteps());
    state.PauseTiming();
    runner.Finalize(IEEngineStartupSteps());
    state.ResumeTiming();
  }
}
BENCHMARK(BM_EngineStartup)->Unit(benchmark::kMillisecond);

const int registered = [] {
  for (const Case& c : kCases) {
    benchmark::RegisterBenchmark((std::string("Render/") + c.name + "/Qt").c_str(), BM_Qt, c)
        ->Unit(benchmark::kMillisecond)
        ->MeasureProcessCPUTime()
        ->UseRealTime();
    benchmark::RegisterBenchmark((std::string("Render/") + c.name + "/OursFirst").c_str(), BM_Ours, c, false)
        ->Unit(benchmark::kMillisecond)
        ->MeasureProcessCPUTime()
        ->UseRealTime();
    benchmark::RegisterBenchmark((std::string("Render/") + c.name + "/OursKept").c_str(), BM_Ours, c, true)
        ->Unit(benchmark::kMillisecond)
        ->MeasureProcessCPUTime()
        ->UseRealTime();
  }
  return 0;
}();

}  // namespace
