// The transition engine on full-HD pictures. DrawStep alone, as a tick draws a frame into the
// frame bitmap; the copy of a frame onto a window-sized surface is measured apart.
//
//   Xfade/<id>/<threads>: the 200 frames of an 8-second transition at 25 frames a second (steps
//     Trunc(k x 1024 / 200), each frame drawn over the one before), per frame, for the effects that
//     FFmpeg's xfade filter also has: 1 fade, 5 wiperight, 17 slideright, 25 dissolve, 49 wipetl,
//     155 squeezeh, 27 rectcrop, 117 circleopen, 118 circleclose, 139 radial, 133 diagtl.
//     bench/compare_xfade.sh runs xfade on the same pictures.
//   Sweep/<id>: 100 frames of every effect the engine draws on one core (60 Hz is 16.7 ms a frame);
//     for the region effects also the part spent building regions and the part spent copying
//     through them (build_ms_per_frame, copy_ms_per_frame).
//   Builder/...: the region builders alone on the 1920 x 1080 frame: a rectangle list of 10 000
//     rectangles made into one region, the bars, shreds and speckles at 50 %, and the random hearts'
//     region at 100 %.
//   Present: one frame copied onto a 32-bit window-sized surface.
//
// Options before the benchmark's own:
//   --pictures=<start.bgr>,<end.bgr>  1920 x 1080 packed B, G, R pictures (else made here)
//   --threads=<n>                     the second thread count of Xfade (default: physical cores)
//   --check=<id>:<frames.gbrp>:<k,k,...>  compares our frames k of the 200-frame run with xfade's
//     (planar G, B, R, one after the other) and exits: the fade within 1 per sample, the wipe and the
//     push up to one column at the edge.
//   --check-in-place=<id>  checks that every frame of our 200-frame run holds only the two pictures'
//     pixels, each at its place (the shapes of xfade's circles and sweeps differ in detail from
//     ours), and exits.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_settings.h"
#include "imaging/processing/ie_resample_bands.h"
#include "imaging/processing/transitions/ie_complex_region.h"
#include "imaging/processing/transitions/ie_effect_table.h"
#include "imaging/processing/transitions/ie_region_builders.h"
#include "imaging/processing/transitions/ie_region_effect_draw.h"
#include "imaging/processing/transitions/ie_transition_effects.h"
#include "platform/gdi/bitmap.h"

namespace {

constexpr int32_t kW = 1920, kH = 1080;

std::vector<uint8_t> g_start, g_end;  // packed B, G, R, top row first

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void MakePictures() {
  g_start.resize(size_t{kW} * kH * 3);
  g_end.resize(g_start.size());
  for (int32_t y = 0; y < kH; ++y)
    for (int32_t x = 0; x < kW; ++x) {
      uint8_t* s = &g_start[(size_t{kW} * y + x) * 3];
      uint8_t* e = &g_end[(size_t{kW} * y + x) * 3];
      s[0] = static_cast<uint8_t>(x * 255 / kW);
      s[1] = static_cast<uint8_t>(y * 255 / kH);
      s[2] = static_cast<uint8_t>((x / 64 + y / 64) % 2 ? 200 : 40);
      e[0] = static_cast<uint8_t>((x * y) >> 8);
      e[1] = static_cast<uint8_t>(255 - x * 255 / kW);
      e[2] = static_cast<uint8_t>((x ^ y) & 0xFF);
    }
}

void Fill(TBitmap& b, const std::vector<uint8_t>& pixels) {
  for (int32_t y = 0; y < kH; ++y) std::copy_n(&pixels[size_t{kW} * 3 * y], kW * 3, b.ScanLine(y));
}

TIEBitmap& PanZoomSource() {
  static std::unique_ptr<TIEBitmap> source = [] {
    const int64_t saved = MinFileSizeOverride;
    MinFileSizeOverride = -1;
    auto b = std::make_unique<TIEBitmap>(kW, kH, ie24RGB);
    MinFileSizeOverride = saved;
    for (int32_t y = 0; y < kH; ++y) std::copy_n(&g_end[size_t{kW} * 3 * y], kW * 3, b->Row<uint8_t>(y));
    return b;
  }();
  return *source;
}

std::unique_ptr<TIETransitionEffects> Engine(int32_t id) {
  auto e = std::make_unique<TIETransitionEffects>(nullptr);
  e->SetTransitionSize(kW, kH);
  Fill(*e->StartBitmap(), g_start);
  Fill(*e->EndBitmap(), g_end);
  e->SetEffect(static_cast<TIETransitionType>(id));
  if (id == iettPanZoom) {
    e->SetSourceImage(&PanZoomSource());
    e->SetPanZoomStart(Rect(0, 0, kW, kH));
    e->SetPanZoomEnd(Rect(480, 270, 1440, 810));
  }
  return e;
}

// Draws the frames k = 0 .. Frames - 1 of a run of Frames frames; returns the milliseconds taken.
double RunFrames(TIETransitionEffects& e, int32_t frames) {
  const auto begin = std::chrono::steady_clock::now();
  for (int32_t k = 0; k < frames; ++k) e.DrawStep(static_cast<int32_t>(int64_t{k} * 1024 / frames));
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
}

// The wall time of a frame in milliseconds, as a plain number (the scripts read it).
void PerFrame(benchmark::State& state, double ms, int64_t frames) {
  state.counters["ms_per_frame"] = ms / static_cast<double>(frames);
}

void Xfade(benchmark::State& state, int32_t id, int32_t threads) {
  ResampleThreadCountForTesting() = threads;
  auto e = Engine(id);
  double ms = 0;
  for (auto _ : state) {
    ms += RunFrames(*e, 200);
    benchmark::ClobberMemory();
  }
  ResampleThreadCountForTesting() = 0;
  PerFrame(state, ms, state.iterations() * 200);
}

void Sweep(benchmark::State& state, int32_t id) {
  ResampleThreadCountForTesting() = 1;
  auto e = Engine(id);
  TRevealClock& reveal = RevealClockForTesting();
  reveal = {true, 0};
  double ms = 0;
  for (auto _ : state) {
    ms += RunFrames(*e, 100);
    benchmark::ClobberMemory();
  }
  ResampleThreadCountForTesting() = 0;
  const int64_t frames = state.iterations() * 100;
  PerFrame(state, ms, frames);
  if (reveal.Milliseconds > 0) {
    state.counters["build_ms_per_frame"] = (ms - reveal.Milliseconds) / static_cast<double>(frames);
    state.counters["copy_ms_per_frame"] = reveal.Milliseconds / static_cast<double>(frames);
  }
  reveal = {};
}

// ---- The region builders alone -----------------------------------------------------------------

void BuilderComplexRegion(benchmark::State& state) {
  // 10 000 rectangles: 100 rows of 100 small boxes, each row offset, as a speckled edge has them.
  TComplexRegion list;
  for (int32_t i = 0; i < 10000; ++i) {
    const int32_t x = (i % 100) * 19 + (i / 100) % 7, y = (i / 100) * 10;
    list.AddRect(x, y, x + 12, y + 9);
  }
  double ms = 0;
  for (auto _ : state) {
    const auto begin = std::chrono::steady_clock::now();
    const TOwnedRegion region(list.CreateRegion());
    ms += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
    benchmark::DoNotOptimize(region.Get());
  }
  state.counters["ms_per_region"] = ms / static_cast<double>(state.iterations());
}

void BuilderRegion(benchmark::State& state, HRGN (*create)(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                                                           const TRect*),
                   int32_t xp, int32_t yp, int32_t hk, int32_t vk) {
  double ms = 0;
  for (auto _ : state) {
    const auto begin = std::chrono::steady_clock::now();
    const TOwnedRegion region(create(xp, yp, kW, kH, hk, vk, nullptr));
    ms += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
    benchmark::DoNotOptimize(region.Get());
  }
  state.counters["ms_per_region"] = ms / static_cast<double>(state.iterations());
}

void BuilderRandomHearts(benchmark::State& state) {
  // The whole call at 100 % less its copy through the region.
  auto e = Engine(192);  // "Random Hearts" (the row of id 192)
  TRevealClock& reveal = RevealClockForTesting();
  reveal = {true, 0};
  double ms = 0;
  for (auto _ : state) {
    const auto begin = std::chrono::steady_clock::now();
    e->DrawStep(1023);
    ms += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
  }
  state.counters["ms_per_region"] = (ms - reveal.Milliseconds) / static_cast<double>(state.iterations());
  reveal = {};
}

void Present(benchmark::State& state) {
  auto e = Engine(iettCrossDissolve);
  e->DrawStep(512);
  // A window's surface: 32-bit rows the drawing layer writes through a surface DC.
  std::vector<uint32_t> surface(size_t{kW} * kH);
  HDC dc = CreateSurfaceDC(surface.data(), kW, kH, kW * 4, 32, nullptr, 0, true);
  HDC frame = e->CurrentBitmap()->Canvas()->Handle();
  double ms = 0;
  for (auto _ : state) {
    const auto begin = std::chrono::steady_clock::now();
    BitBlt(dc, 0, 0, kW, kH, frame, 0, 0, SRCCOPY);
    ms += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
    benchmark::ClobberMemory();
  }
  DeleteDC(dc);
  PerFrame(state, ms, state.iterations());
}

int32_t PhysicalCores() {
  std::ifstream in("/proc/cpuinfo");
  std::set<std::pair<std::string, std::string>> cores;
  std::string line, package;
  while (std::getline(in, line)) {
    const auto value = [&] { return line.substr(line.find(':') + 1); };
    if (line.rfind("physical id", 0) == 0) package = value();
    if (line.rfind("core id", 0) == 0) cores.insert({package, value()});
  }
  return cores.empty() ? 1 : static_cast<int32_t>(cores.size());
}

// --check: our frames against xfade's. Returns the exit status.
int Check(const std::string& spec) {
  std::stringstream in(spec);
  std::string idText, path, list;
  std::getline(in, idText, ':');
  std::getline(in, path, ':');
  std::getline(in, list);
  const int32_t id = std::atoi(idText.c_str());
  std::vector<int32_t> ks;
  std::stringstream ls(list);
  for (std::string k; std::getline(ls, k, ',');) ks.push_back(std::atoi(k.c_str()));
  const std::vector<uint8_t> theirs = ReadFile(path);
  const size_t plane = size_t{kW} * kH, frame = 3 * plane;
  if (theirs.size() != frame * ks.size()) {
    std::fprintf(stderr, "%s: %zu bytes, expected %zu frames of %zu\n", path.c_str(), theirs.size(), ks.size(), frame);
    return 2;
  }
  auto e = Engine(id);
  int32_t next = 0;
  int failures = 0;
  for (size_t i = 0; i < ks.size(); ++i) {
    for (; next <= ks[i]; ++next) e->DrawStep(static_cast<int32_t>(int64_t{next} * 1024 / 200));
    const int32_t step = static_cast<int32_t>(int64_t{ks[i]} * 1024 / 200);
    const uint8_t* f = theirs.data() + frame * i;
    int maxDiff = 0;
    std::set<int32_t> columns;
    for (int32_t y = 0; y < kH; ++y) {
      const uint8_t* row = e->CurrentBitmap()->ScanLine(y);
      for (int32_t x = 0; x < kW; ++x) {
        const size_t at = size_t{kW} * y + x;
        const uint8_t b = f[plane + at], g = f[at], r = f[2 * plane + at];
        const int d = std::max({std::abs(row[3 * x] - b), std::abs(row[3 * x + 1] - g), std::abs(row[3 * x + 2] - r)});
        maxDiff = std::max(maxDiff, d);
        if (d) columns.insert(x);
      }
    }
    const int32_t edge = step * kW / 1024;
    bool ok;
    if (id == iettCrossDissolve) {
      ok = maxDiff <= 1;
    } else {
      ok = columns.size() <= 1 && (columns.empty() || std::abs(*columns.begin() - edge) <= 1);
    }
    std::printf("check id %d frame %d (step %d): max difference %d in %zu columns: %s\n", id, ks[i], step, maxDiff,
                columns.size(), ok ? "agree" : "DISAGREE");
    failures += !ok;
  }
  return failures ? 1 : 0;
}

// --check-in-place: every pixel of every frame is the start or the end picture's at its place.
int CheckInPlace(int32_t id) {
  auto e = Engine(id);
  int64_t wrong = 0, fromEnd = 0;
  for (int32_t k = 0; k < 200; ++k) {
    e->DrawStep(static_cast<int32_t>(int64_t{k} * 1024 / 200));
    for (int32_t y = 0; y < kH; ++y) {
      const uint8_t* row = e->CurrentBitmap()->ScanLine(y);
      const uint8_t* s = &g_start[size_t{kW} * 3 * y];
      const uint8_t* n = &g_end[size_t{kW} * 3 * y];
      for (int32_t x = 0; x < 3 * kW; x += 3) {
        const bool isStart = std::equal(row + x, row + x + 3, s + x), isEnd = std::equal(row + x, row + x + 3, n + x);
        wrong += !isStart && !isEnd;
        fromEnd += isEnd && !isStart;
      }
    }
  }
  std::printf("check id %d: 200 frames, %lld pixels of neither picture, %.1f %% of the pixels from the end picture: %s\n",
              id, static_cast<long long>(wrong), 100.0 * static_cast<double>(fromEnd) / (200.0 * kW * kH),
              wrong ? "WRONG" : "in place");
  return wrong ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<char*> args{argv[0]};
  std::string check;
  int32_t checkInPlace = 0;
  int32_t threads = PhysicalCores();
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a.rfind("--pictures=", 0) == 0) {
      const std::string list = a.substr(11);
      g_start = ReadFile(list.substr(0, list.find(',')));
      g_end = ReadFile(list.substr(list.find(',') + 1));
      if (g_start.size() != size_t{kW} * kH * 3 || g_end.size() != g_start.size()) {
        std::fprintf(stderr, "--pictures: two 1920 x 1080 bgr24 files expected\n");
        return 2;
      }
    } else if (a.rfind("--threads=", 0) == 0) {
      threads = std::max(1, std::atoi(a.c_str() + 10));
    } else if (a.rfind("--check=", 0) == 0) {
      check = a.substr(8);
    } else if (a.rfind("--check-in-place=", 0) == 0) {
      checkInPlace = std::atoi(a.c_str() + 17);
    } else {
      args.push_back(argv[i]);
    }
  }
  if (g_start.empty()) MakePictures();
  if (!check.empty()) return Check(check);
  if (checkInPlace) return CheckInPlace(checkInPlace);

  for (const int32_t id : {1, 5, 17, 25, 49, 155, 27, 117, 118, 139, 133})
    for (const int32_t t : std::set<int32_t>{1, threads})
      benchmark::RegisterBenchmark(("Xfade/" + std::to_string(id) + "/" + std::to_string(t)).c_str(), Xfade, id, t)
          ->Unit(benchmark::kMillisecond)
          ->UseRealTime();
  for (int32_t id = 1; id <= kEffectCount; ++id) {
    const bool drawn = id <= 30 || id == iettPanZoom || EffectRow(id)->Proc != nullptr;
    if (!drawn) continue;
    benchmark::RegisterBenchmark(("Sweep/" + std::to_string(id)).c_str(), Sweep, id)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
  }
  benchmark::RegisterBenchmark("Builder/ComplexRegion10000", BuilderComplexRegion)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("Builder/Bars", BuilderRegion, CreateBarsRegion, kW, kH, 2, 2)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("Builder/Shredded", BuilderRegion, CreateShreddedRegion, kW / 2, kH / 2, 3, 3)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("Builder/Speckled", BuilderRegion, CreateSpeckledRegion, kW / 2, kH / 2, 2, 2)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("Builder/RandomHearts", BuilderRandomHearts)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("Present", Present)->Unit(benchmark::kMillisecond)->UseRealTime();

  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
