// Benchmarks of the engine's stores and streams: the image store with 2000 images of 640 x 480
// (add, read back, check out and write back, delete) with its peak memory at the default cache, and
// the zlib stream classes on 64 MB.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_virtual_image_list.h"
#include "imaging/core/ie_zlib.h"
#include "platform/system/streams.h"

namespace {

// The process's resident set (VmRSS) or its high-water mark (VmHWM) in MB.
double ProcStatusMB(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(key, 0) == 0) return std::stod(line.substr(std::strlen(key))) / 1024.0;
  }
  return 0;
}

// Resets the high-water mark so that VmHWM measures from here.
void ResetPeakRSS() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

constexpr int kImages = 2000;

// One store of 2000 frames of 640 x 480 in a temporary file, through its whole life.
void BM_ImageStore_2000Frames(benchmark::State& state) {
  TIEBitmap frame(640, 480, ie24RGB);
  for (int32_t y = 0; y < 480; ++y) {
    auto* row = frame.Row<uint8_t>(y);
    for (int32_t x = 0; x < 640 * 3; ++x) row[x] = static_cast<uint8_t>(x * 3 + y);
  }
  for (auto _ : state) {
    ResetPeakRSS();
    const double base = ProcStatusMB("VmRSS:");
    TIEVirtualImageList store("ILIST", true);
    std::vector<TIEVirtualImage*> images;
    images.reserve(kImages);

    auto t = std::chrono::steady_clock::now();
    for (int i = 0; i < kImages; ++i) {
      frame.SetPixel24(0, 0, TIERGB{uint8_t(i), 0, 0});
      images.push_back(store.AddBitmap(&frame));
    }
    state.counters["add_ms"] = Seconds(t) * 1000;

    TIEBitmap back;
    t = std::chrono::steady_clock::now();
    for (TIEVirtualImage* image : images) store.LoadIntoBitmap(image, &back);
    state.counters["read_ms"] = Seconds(t) * 1000;

    t = std::chrono::steady_clock::now();
    for (TIEVirtualImage* image : images) {
      TIEBitmap* out = store.GetBitmap(image);
      out->SetPixel24(1, 1, TIERGB{1, 2, 3});
      store.ReleaseBitmap(out, true);
    }
    state.counters["checkout_writeback_ms"] = Seconds(t) * 1000;

    t = std::chrono::steady_clock::now();
    for (TIEVirtualImage* image : images) store.Delete(image);
    state.counters["delete_ms"] = Seconds(t) * 1000;

    state.counters["peak_rss_above_start_MB"] = ProcStatusMB("VmHWM:") - base;
    state.counters["mapped_max"] = store.CacheSize() + 1;
  }
  state.SetBytesProcessed(state.iterations() * int64_t{kImages} * 640 * 480 * 3);
}

const std::vector<uint8_t>& Sample64MB() {
  // Image-like data: smooth gradients with some noise, so deflate has work to do.
  static const std::vector<uint8_t> data = [] {
    std::vector<uint8_t> d(64u << 20);
    std::mt19937 gen(9);
    for (size_t i = 0; i < d.size(); ++i) d[i] = static_cast<uint8_t>((i % 1920) / 8 + (i / 1920) % 64 + (gen() & 7));
    return d;
  }();
  return data;
}

void BM_ZCompress64MB(benchmark::State& state) {
  const auto& data = Sample64MB();
  int64_t packed = 0;
  for (auto _ : state) {
    TMemoryStream out;
    {
      TZCompressionStream z(out, static_cast<int32_t>(state.range(0)));
      for (size_t at = 0; at < data.size(); at += 1 << 20) z.WriteBuffer(data.data() + at, 1 << 20);
      z.Finish();
    }
    packed = out.Size();
  }
  state.counters["ratio"] = static_cast<double>(data.size()) / static_cast<double>(packed);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(data.size()));
}

void BM_ZDecompress64MB(benchmark::State& state) {
  const auto& data = Sample64MB();
  TMemoryStream packed;
  {
    TZCompressionStream z(packed, 2);
    for (size_t at = 0; at < data.size(); at += 1 << 20) z.WriteBuffer(data.data() + at, 1 << 20);
  }
  std::vector<uint8_t> out(1 << 20);
  for (auto _ : state) {
    packed.SetPosition(0);
    TZDecompressionStream z(packed);
    int64_t total = 0;
    for (int32_t got; (got = z.Read(out.data(), static_cast<int32_t>(out.size()))) > 0;) total += got;
    if (total != static_cast<int64_t>(data.size())) state.SkipWithError("short output");
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(data.size()));
}

}  // namespace

BENCHMARK(BM_ImageStore_2000Frames)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ZCompress64MB)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZDecompress64MB)->Unit(benchmark::kMillisecond);
