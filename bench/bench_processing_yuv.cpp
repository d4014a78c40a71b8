// DibToIEBitmap of a 1920 x 1080 YUY2 frame (a global block with the header, as the clipboard and
// the frame grabber hand it over) against libswscale converting the same frame, YUYV422 to BGR24,
// in the same process, one thread each. Prints each median, the ratio and whether the two
// pictures agree (the two conversions use slightly different coefficients and rounding).
#include <benchmark/benchmark.h>

extern "C" {
#include <libavutil/opt.h>
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/processing/ie_dib_import.h"
#include "imaging/processing/ie_yuv.h"
#include "platform/gdi/gdi.h"
#include "platform/system/memory.h"

namespace {

constexpr int kWidth = 1920, kHeight = 1080;

// A frame like a camera's: smooth gradients, fine texture, chroma that changes across the picture.
struct Frame {
  void* dib = nullptr;  // header and frame in one global block
  const uint8_t* pixels = nullptr;
  Frame() {
    const size_t frameBytes = static_cast<size_t>(kWidth) * kHeight * 2;
    dib = GlobalAlloc(GMEM_MOVEABLE, sizeof(BITMAPINFOHEADER) + frameBytes);
    BITMAPINFOHEADER h;
    h.biWidth = kWidth;
    h.biHeight = kHeight;  // YUY2 stores its first row at the top for a positive height
    h.biBitCount = 16;
    h.biCompression = MakeFourCC('Y', 'U', 'Y', '2');
    std::memcpy(dib, &h, sizeof h);
    auto* p = static_cast<uint8_t*>(dib) + sizeof h;
    pixels = p;
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; x += 2) {
        uint8_t* g = p + (static_cast<size_t>(y) * kWidth + x) * 2;
        g[0] = static_cast<uint8_t>(16 + (x * 219 / kWidth + ((x * 7 + y * 3) & 7)) % 220);
        g[1] = static_cast<uint8_t>(16 + (y * 224 / kHeight));
        g[2] = static_cast<uint8_t>(16 + ((x + 1) * 219 / kWidth + ((x * 5 + y) & 7)) % 220);
        g[3] = static_cast<uint8_t>(16 + ((x ^ y) & 255) * 224 / 256);
      }
  }
  ~Frame() { GlobalFree(dib); }
};

const Frame& TheFrame() {
  static const Frame frame;
  return frame;
}

SwsContext* MakeSws() {
  SwsContext* sws = sws_alloc_context();
  av_opt_set_int(sws, "srcw", kWidth, 0);
  av_opt_set_int(sws, "srch", kHeight, 0);
  av_opt_set_int(sws, "src_format", AV_PIX_FMT_YUYV422, 0);
  av_opt_set_int(sws, "dstw", kWidth, 0);
  av_opt_set_int(sws, "dsth", kHeight, 0);
  av_opt_set_int(sws, "dst_format", AV_PIX_FMT_BGR24, 0);
  av_opt_set_int(sws, "sws_flags", SWS_POINT, 0);  // no scaling: the fastest path it has
  av_opt_set_int(sws, "threads", 1, 0);
  if (sws_init_context(sws, nullptr, nullptr) < 0) {
    sws_freeContext(sws);
    return nullptr;
  }
  return sws;
}

void Swscale(SwsContext* sws, std::vector<uint8_t>& out) {
  const uint8_t* src[4] = {TheFrame().pixels, nullptr, nullptr, nullptr};
  const int srcStride[4] = {kWidth * 2, 0, 0, 0};
  uint8_t* dst[4] = {out.data(), nullptr, nullptr, nullptr};
  const int dstStride[4] = {kWidth * 3, 0, 0, 0};
  sws_scale(sws, src, srcStride, 0, kHeight, dst, dstStride);
}

void BM_DibToIEBitmap_YUY2_1080p(benchmark::State& state) {
  TIEBitmap bitmap;
  bitmap.Allocate(kWidth, kHeight, ie24RGB);  // kept in memory like a view's frame
  for (auto _ : state) benchmark::DoNotOptimize(DibToIEBitmap(TheFrame().dib, bitmap));
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_DibToIEBitmap_YUY2_1080p)->Unit(benchmark::kMillisecond)->Repetitions(15)->ReportAggregatesOnly();

void BM_Swscale_YUYV422_BGR24_1080p(benchmark::State& state) {
  SwsContext* sws = MakeSws();
  std::vector<uint8_t> out(static_cast<size_t>(kWidth) * kHeight * 3);
  for (auto _ : state) {
    Swscale(sws, out);
    benchmark::DoNotOptimize(out.data());
  }
  sws_freeContext(sws);
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_Swscale_YUYV422_BGR24_1080p)->Unit(benchmark::kMillisecond)->Repetitions(15)->ReportAggregatesOnly();

// Keeps the medians for the summary.
class MedianReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> medians;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      if (r.aggregate_name == "median") medians[r.run_name.function_name] = r.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
};

// The two pictures side by side: largest channel difference and PSNR.
void Agreement() {
  TIEBitmap ours;
  DibToIEBitmap(TheFrame().dib, ours);
  SwsContext* sws = MakeSws();
  std::vector<uint8_t> peer(static_cast<size_t>(kWidth) * kHeight * 3);
  Swscale(sws, peer);
  sws_freeContext(sws);
  int maxDiff = 0;
  double squares = 0;
  for (int y = 0; y < kHeight; ++y) {
    const auto* a = static_cast<const uint8_t*>(ours.GetRow(y));
    const uint8_t* b = peer.data() + static_cast<size_t>(y) * kWidth * 3;
    for (int i = 0; i < kWidth * 3; ++i) {
      const int d = std::abs(a[i] - b[i]);
      maxDiff = std::max(maxDiff, d);
      squares += d * d;
    }
  }
  const double mse = squares / (static_cast<double>(kWidth) * kHeight * 3);
  const double psnr = mse == 0 ? INFINITY : 10 * std::log10(255.0 * 255.0 / mse);
  std::printf("outputs: largest channel difference %d, PSNR %.1f dB: %s\n", maxDiff, psnr,
              maxDiff <= 3 && psnr >= 45 ? "agree" : "DISAGREE");
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Agreement();
  MedianReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const auto ours = reporter.medians.find("BM_DibToIEBitmap_YUY2_1080p");
  const auto peer = reporter.medians.find("BM_Swscale_YUYV422_BGR24_1080p");
  if (ours != reporter.medians.end() && peer != reporter.medians.end())
    std::printf("YUY2 1080p, one thread: ours %.3f ms, libswscale %.3f ms, ratio %.2f\n", ours->second,
                peer->second, ours->second / peer->second);
  benchmark::Shutdown();
  return 0;
}
