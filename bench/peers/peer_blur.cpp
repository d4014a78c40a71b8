// The Gaussian blur side by side with libvips and ImageMagick: the shared photo-like 6000 x 4000
// picture from memory, radius (sigma) 2, 10 and 30, on every core and on one. Ours is
// GaussianBlurBitmap; libvips' vips_gaussblur with min_ampl set so that its mask has our number of
// taps (its mask width is read back and printed), and with its defaults; ImageMagick's
// MagickGaussianBlurImage with radius = our half width. Each output is measured against the
// exact double-precision blur with our taps (edges repeated, weights normalised), and ours also
// against each peer.
//   peer_blur <folder> [runs]
#include <vips/vips.h>

#include <cstring>
#include <memory>
#include <thread>

#include "bench/bench_photo.h"
#include "bench/peers/peer_common.h"
#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_settings.h"
#include "imaging/processing/ie_gauss_blur.h"

// After the engine's headers: ImageMagick's define names that they use.
#include <wand/MagickWand.h>

using namespace peers;

namespace {

constexpr int32_t kW = 6000, kH = 4000;

// The exact separable blur in double precision with Kernel's taps normalised, edges repeated.
std::vector<double> ExactBlur(const std::vector<uint8_t>& Src, const TIEGaussKernel& Kernel) {
  const int32_t h = Kernel.HalfWidth, rowSamples = kW * 3;
  std::vector<double> w(static_cast<size_t>(2 * h + 1));
  double sum = 0;
  for (int32_t j = -h; j <= h; ++j) sum += Kernel.Values[100 + j];
  for (int32_t j = -h; j <= h; ++j) w[static_cast<size_t>(j + h)] = Kernel.Values[100 + j] / sum;
  std::vector<double> across(Src.size()), out(Src.size());
  const auto parallel = [](int32_t n, const std::function<void(int32_t, int32_t)>& f) {
    const int32_t threads = AllCores();
    std::vector<std::thread> pool;
    for (int32_t t = 0; t < threads; ++t) pool.emplace_back(f, n * t / threads, n * (t + 1) / threads);
    for (auto& th : pool) th.join();
  };
  parallel(kH, [&](int32_t y0, int32_t y1) {
    for (int32_t y = y0; y < y1; ++y)
      for (int32_t x = 0; x < kW; ++x)
        for (int32_t c = 0; c < 3; ++c) {
          double s = 0;
          for (int32_t j = -h; j <= h; ++j)
            s += w[static_cast<size_t>(j + h)] * Src[static_cast<size_t>(y) * rowSamples + std::clamp(x + j, 0, kW - 1) * 3 + c];
          across[static_cast<size_t>(y) * rowSamples + x * 3 + c] = s;
        }
  });
  parallel(kH, [&](int32_t y0, int32_t y1) {
    for (int32_t y = y0; y < y1; ++y)
      for (int32_t j = -h; j <= h; ++j) {
        const double* src = across.data() + static_cast<size_t>(std::clamp(y + j, 0, kH - 1)) * rowSamples;
        double* dst = out.data() + static_cast<size_t>(y) * rowSamples;
        for (int32_t i = 0; i < rowSamples; ++i) dst[i] += w[static_cast<size_t>(j + h)] * src[i];
      }
  });
  return out;
}

double Ours(const TIEBitmap& photo, double radius, int32_t threads, int runs, std::vector<uint8_t>& out) {
  GaussBlurThreadCountForTesting() = threads;
  TIEBitmap work(1, 1, ie24RGB);
  std::vector<double> times;
  for (int r = 0; r < runs; ++r) {
    work.Assign(const_cast<TIEBitmap&>(photo));
    times.push_back(MedianMs(1, [&] { GaussianBlurBitmap(work, nullptr, radius, nullptr); }));
  }
  GaussBlurThreadCountForTesting() = 0;
  out.resize(static_cast<size_t>(kW) * kH * 3);
  for (int32_t y = 0; y < kH; ++y) std::memcpy(out.data() + static_cast<size_t>(y) * kW * 3, work.Row<uint8_t>(y), kW * 3);
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

// libvips: min_ampl < 0 keeps its default.
double Vips(VipsImage* in, double sigma, double minAmpl, int32_t threads, int runs, std::vector<uint8_t>& out) {
  vips_concurrency_set(threads);
  return MedianMs(runs, [&] {
    VipsImage* o = nullptr;
    const int failed = minAmpl < 0 ? vips_gaussblur(in, &o, sigma, nullptr)
                                   : vips_gaussblur(in, &o, sigma, "min_ampl", minAmpl, nullptr);
    if (failed) vips_error_exit(nullptr);
    size_t size = 0;
    void* mem = vips_image_write_to_memory(o, &size);
    if (!mem) vips_error_exit(nullptr);
    out.assign(static_cast<uint8_t*>(mem), static_cast<uint8_t*>(mem) + size);
    g_free(mem);
    g_object_unref(o);
  });
}

// The width of vips' mask for sigma and min_ampl.
int32_t VipsMaskWidth(double sigma, double minAmpl) {
  VipsImage* mask = nullptr;
  if (vips_gaussmat(&mask, sigma, minAmpl, "separable", TRUE, "precision", VIPS_PRECISION_FLOAT, nullptr)) return -1;
  const int32_t w = mask->Xsize;
  g_object_unref(mask);
  return w;
}

double Magick(const std::vector<uint8_t>& photo, double radius, double sigma, int32_t threads, int runs,
              std::vector<uint8_t>& out) {
  MagickSetResourceLimit(ThreadResource, static_cast<MagickSizeType>(threads));
  std::vector<double> times;
  MagickWand* wand = nullptr;
  for (int r = 0; r < runs; ++r) {
    if (wand) DestroyMagickWand(wand);
    wand = NewMagickWand();
    MagickConstituteImage(wand, kW, kH, "BGR", CharPixel, photo.data());
    times.push_back(MedianMs(1, [&] {
      if (!MagickGaussianBlurImage(wand, radius, sigma)) throw std::runtime_error("MagickGaussianBlurImage failed");
    }));
  }
  out.resize(photo.size());
  MagickExportImagePixels(wand, 0, 0, kW, kH, "BGR", CharPixel, out.data());
  DestroyMagickWand(wand);
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  if (VIPS_INIT(argv[0])) vips_error_exit(nullptr);
  vips_cache_set_max(0);
  MagickWandGenesis();
  MinFileSizeOverride = -1;
  const int32_t cores = AllCores();
  const std::vector<uint8_t> photo = MakeBenchPhoto(kW, kH);  // blue, green, red
  TIEBitmap source(kW, kH, ie24RGB);
  for (int32_t y = 0; y < kH; ++y)
    std::memcpy(source.Row<uint8_t>(y), photo.data() + static_cast<size_t>(y) * kW * 3, size_t{kW} * 3);
  VipsImage* in = vips_image_new_from_memory(photo.data(), photo.size(), kW, kH, 3, VIPS_FORMAT_UCHAR);

  std::printf("peer_blur: %d runs each, medians; libvips %s; %s; vector kernels %s\n", runs, vips_version_string(),
              GetMagickVersion(nullptr), GaussBlurSimdAvailable() ? "on" : "off");
  for (double radius : {2.0, 10.0, 30.0}) {
    TIEGaussKernel k;
    BuildGaussianKernel(k, radius);
    const int32_t h = k.HalfWidth;
    // vips' mask reaches the last distance whose amplitude is at least min_ampl: between ours
    // and the next.
    const double minAmpl = std::sqrt(std::exp(-double(h) * h / (2 * radius * radius)) *
                                     std::exp(-double(h + 1) * (h + 1) / (2 * radius * radius)));
    const std::vector<double> exact = ExactBlur(photo, k);
    char title[160];
    std::snprintf(title, sizeof title, "Gaussian blur radius %.0f (%d taps; vips mask with min_ampl %.3g: %d)", radius,
                  2 * h + 1, minAmpl, VipsMaskWidth(radius, minAmpl));
    PrintHeader(title);
    for (int32_t threads : {cores, 1}) {
      if (threads == 1 && radius == 30) continue;  // minutes for the peers: the thread rows say enough
      std::vector<uint8_t> ours, peer;
      const double oursMs = Ours(source, radius, threads, runs, ours);
      PrintRow("ours GaussianBlurBitmap", std::to_string(threads), oursMs, 0, "vs exact " + PsnrText(Psnr(exact, ours)));
      const double vipsMs = Vips(in, radius, minAmpl, threads, runs, peer);
      PrintRow("vips_gaussblur, same taps", std::to_string(threads), vipsMs, oursMs,
               "vs exact " + PsnrText(Psnr(exact, peer)) + ", vs ours " + PsnrText(Psnr(ToReal(ours), peer)));
      const double vipsDefMs = Vips(in, radius, -1, threads, runs, peer);
      PrintRow("vips_gaussblur, defaults", std::to_string(threads), vipsDefMs, oursMs,
               "vs exact " + PsnrText(Psnr(exact, peer)));
      const double magickMs = Magick(photo, h, radius, threads, runs, peer);
      PrintRow("MagickGaussianBlurImage", std::to_string(threads), magickMs, oursMs,
               "vs exact " + PsnrText(Psnr(exact, peer)) + ", vs ours " + PsnrText(Psnr(ToReal(ours), peer)));
      const double faster = std::min(vipsMs, magickMs);
      std::printf("%-44s %10s %10s %8.2f  goal <= 0.80\n", "ours / faster like-for-like peer",
                  std::to_string(threads).c_str(), "", oursMs / faster);
    }
  }
  g_object_unref(in);
  MagickWandTerminus();
  vips_shutdown();
  return 0;
}
