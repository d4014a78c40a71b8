// The processing operations side by side with libvips and ImageMagick, on the shared photo-like
// 6000 x 4000 picture from memory, on every core and on one; ours through the processing component
// without undo (the blur through GaussianBlurBitmap). Each tool gets the same bytes, and each
// output is compared with ours (exact, or PSNR and how many samples differ), the blur's also with
// the exact double-precision blur of our taps.
//
//   GaussianBlurBitmap, radius 2, 10, 30   vips_gaussblur's two steps (vips_gaussmat, sigma =
//                                          radius, min_ampl set so its mask has our taps, its width
//                                          read back, then vips_convsep), and vips_gaussblur with its
//                                          defaults; MagickGaussianBlurImage (radius = our half
//                                          width, sigma = radius), which convolves with the square
//                                          kernel (timed at radius 2 only), and MagickBlurImage,
//                                          its separable blur
//   Negative                               vips_invert
//   IntensityRGBall                        vips_linear (a = 1, b = the offsets, uchar out)
//   Contrast                               vips_linear (a = k, b = mean * (1 - k), uchar out);
//                                          ours also takes the channel means the peer is given
//   HSLvar (hue)                           MagickModulateImage in HSL (hue + 30 degrees)
//
//   peer_processing <folder> [runs] [blur | colour]
#include <vips/vips.h>

#include <cstring>
#include <memory>
#include <thread>

#include "bench/bench_photo.h"
#include "bench/peers/peer_common.h"
#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_settings.h"
#include "imaging/processing/ie_color_ops.h"
#include "imaging/processing/ie_gauss_blur.h"
#include "imaging/processing/ie_resample_bands.h"
#include "imaging/processing/zodazur_proc.h"

// After the engine's headers: ImageMagick's define names that they use.
#include <wand/MagickWand.h>

using namespace peers;

namespace {

constexpr int32_t kW = 6000, kH = 4000;

// Median over Runs of the time Work takes after Prepare, which is not timed.
double MedianOf(int Runs, const std::function<void()>& Prepare, const std::function<void()>& Work) {
  std::vector<double> times;
  for (int r = 0; r < Runs; ++r) {
    Prepare();
    times.push_back(MedianMs(1, Work));
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

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

// Ours on a fresh copy of the photo each run, at Threads threads.
double Ours(TIEBitmap& Photo, int32_t Threads, int Runs, const std::function<void(TIEBitmap&)>& Op,
            std::vector<uint8_t>& Out) {
  ResampleThreadCountForTesting() = Threads;
  GaussBlurThreadCountForTesting() = Threads;
  TIEBitmap work(1, 1, ie24RGB);
  const double ms = MedianOf(Runs, [&] { work.Assign(Photo); }, [&] { Op(work); });
  ResampleThreadCountForTesting() = 0;
  GaussBlurThreadCountForTesting() = 0;
  Out.resize(static_cast<size_t>(kW) * kH * 3);
  for (int32_t y = 0; y < kH; ++y) std::memcpy(Out.data() + static_cast<size_t>(y) * kW * 3, work.Row<uint8_t>(y), kW * 3);
  return ms;
}

// Ours through a component over the copy.
std::function<void(TIEBitmap&)> Proc(const std::function<void(TZodazUrProc&)>& Op) {
  return [Op](TIEBitmap& b) {
    auto proc = TZodazUrProc::CreateFromIEBitmap(&b);
    Op(*proc);
  };
}

// One libvips operation on the memory image, written to memory.
double Vips(VipsImage* In, int32_t Threads, int Runs, const std::function<int(VipsImage*, VipsImage**)>& Op,
            std::vector<uint8_t>& Out) {
  vips_concurrency_set(Threads);
  return MedianMs(Runs, [&] {
    VipsImage* o = nullptr;
    if (Op(In, &o)) vips_error_exit(nullptr);
    size_t size = 0;
    void* mem = vips_image_write_to_memory(o, &size);
    if (!mem) vips_error_exit(nullptr);
    Out.assign(static_cast<uint8_t*>(mem), static_cast<uint8_t*>(mem) + size);
    g_free(mem);
    g_object_unref(o);
  });
}

// One ImageMagick operation on a wand made from the photo each run (not timed).
double Magick(const std::vector<uint8_t>& Photo, int32_t Threads, int Runs,
              const std::function<MagickBooleanType(MagickWand*)>& Op, std::vector<uint8_t>& Out) {
  MagickSetResourceLimit(ThreadResource, static_cast<MagickSizeType>(Threads));
  MagickWand* wand = nullptr;
  const double ms = MedianOf(
      Runs,
      [&] {
        if (wand) DestroyMagickWand(wand);
        wand = NewMagickWand();
        MagickConstituteImage(wand, kW, kH, "BGR", CharPixel, Photo.data());
      },
      [&] {
        if (!Op(wand)) throw std::runtime_error("ImageMagick failed");
      });
  Out.resize(Photo.size());
  MagickExportImagePixels(wand, 0, 0, kW, kH, "BGR", CharPixel, Out.data());
  DestroyMagickWand(wand);
  return ms;
}

// The width of vips' mask for sigma and min_ampl.
int32_t VipsMaskWidth(double Sigma, double MinAmpl) {
  VipsImage* mask = nullptr;
  if (vips_gaussmat(&mask, Sigma, MinAmpl, "separable", TRUE, "precision", VIPS_PRECISION_FLOAT, nullptr)) return -1;
  const int32_t w = mask->Xsize;
  g_object_unref(mask);
  return w;
}

std::string Agreement(const std::vector<uint8_t>& ours, const std::vector<uint8_t>& peer) {
  if (ours == peer) return "exact";
  size_t differ = 0;
  int32_t most = 0;
  for (size_t i = 0; i < ours.size() && i < peer.size(); ++i)
    if (ours[i] != peer[i]) {
      ++differ;
      most = std::max(most, std::abs(int32_t{ours[i]} - peer[i]));
    }
  char s[96];
  std::snprintf(s, sizeof s, "%s, %.4f%% of samples differ, by %d at most", PsnrText(Psnr(ToReal(ours), peer)).c_str(),
                100.0 * differ / ours.size(), most);
  return s;
}

void PrintGoal(int32_t Threads, double Ours, double Faster) {
  std::printf("%-44s %10d %10s %8.2f  goal <= 0.80\n", "ours / the faster peer", Threads, "", Ours / Faster);
}

void Blur(TIEBitmap& Source, const std::vector<uint8_t>& Photo, VipsImage* In, int Runs) {
  for (double radius : {2.0, 10.0, 30.0}) {
    TIEGaussKernel k;
    BuildGaussianKernel(k, radius);
    const int32_t h = k.HalfWidth;
    // vips' mask reaches the last distance whose amplitude is at least min_ampl: between ours and
    // the next.
    const double minAmpl = std::sqrt(std::exp(-double(h) * h / (2 * radius * radius)) *
                                     std::exp(-double(h + 1) * (h + 1) / (2 * radius * radius)));
    const std::vector<double> exact = ExactBlur(Photo, k);
    char title[160];
    std::snprintf(title, sizeof title, "Gaussian blur radius %.0f (%d taps; vips mask with min_ampl %.3g: %d)", radius,
                  2 * h + 1, minAmpl, VipsMaskWidth(radius, minAmpl));
    PrintHeader(title);
    for (int32_t threads : {AllCores(), 1}) {
      std::vector<uint8_t> ours, peer;
      const double oursMs =
          Ours(Source, threads, Runs, [&](TIEBitmap& b) { GaussianBlurBitmap(b, nullptr, radius, nullptr); }, ours);
      PrintRow("ours GaussianBlurBitmap", std::to_string(threads), oursMs, 0, "vs exact " + PsnrText(Psnr(exact, ours)));
      // vips_gaussblur takes no min_ampl below 0.001: its two steps with our taps.
      const double vipsMs = Vips(In, threads, Runs, [&](VipsImage* i, VipsImage** o) {
        VipsImage* mask = nullptr;
        if (vips_gaussmat(&mask, radius, minAmpl, "separable", TRUE, "precision", VIPS_PRECISION_INTEGER, nullptr))
          return -1;
        const int failed = vips_convsep(i, o, mask, "precision", VIPS_PRECISION_INTEGER, nullptr);
        g_object_unref(mask);
        return failed;
      }, peer);
      PrintRow("vips gaussmat + convsep, our taps", std::to_string(threads), vipsMs, oursMs,
               "vs exact " + PsnrText(Psnr(exact, peer)) + "; vs ours " + Agreement(ours, peer));
      const double vipsDefMs = Vips(In, threads, Runs, [&](VipsImage* i, VipsImage** o) {
        return vips_gaussblur(i, o, radius, nullptr);
      }, peer);
      PrintRow("vips_gaussblur, defaults", std::to_string(threads), vipsDefMs, oursMs,
               "vs exact " + PsnrText(Psnr(exact, peer)));
      const double blurMs = Magick(Photo, threads, Runs, [&](MagickWand* w) {
        return MagickBlurImage(w, h, radius);
      }, peer);
      PrintRow("MagickBlurImage (separable)", std::to_string(threads), blurMs, oursMs,
               "vs exact " + PsnrText(Psnr(exact, peer)) + "; vs ours " + Agreement(ours, peer));
      // ImageMagick's Gaussian blur convolves with the whole square kernel: one run, on every core,
      // at radius 2 (at radius 10 it takes minutes, at 30 most of an hour).
      double gaussMs = -1;
      if (threads > 1 && radius == 2) {
        gaussMs = Magick(Photo, threads, 1, [&](MagickWand* w) { return MagickGaussianBlurImage(w, h, radius); }, peer);
        PrintRow("MagickGaussianBlurImage (square kernel, 1 run)", std::to_string(threads), gaussMs, oursMs,
                 "vs exact " + PsnrText(Psnr(exact, peer)) + "; vs ours " + Agreement(ours, peer));
      }
      PrintGoal(threads, oursMs, std::min({vipsMs, blurMs, gaussMs > 0 ? gaussMs : blurMs}));
    }
  }
}

void Colour(TIEBitmap& Source, const std::vector<uint8_t>& Photo, VipsImage* In, int Runs) {
  // Contrast 2.5 around the channel means ours computes (bands blue, green, red).
  const double contrast = 2.5, k = 1 + contrast / 10;
  int32_t mr, mg, mb;
  ChannelMeans(Source, mr, mg, mb);
  double contrastA[3] = {k, k, k}, contrastB[3] = {mb * (1 - k), mg * (1 - k), mr * (1 - k)};
  double ones[3] = {1, 1, 1}, offsets[3] = {5, -10, 20};  // blue, green, red
  struct Case {
    const char* name;
    std::function<void(TZodazUrProc&)> ours;
    const char* peerName;
    std::function<int(VipsImage*, VipsImage**)> vips;
  };
  const Case cases[] = {
      {"Negative", [](TZodazUrProc& p) { p.Negative(); }, "vips_invert",
       [](VipsImage* i, VipsImage** o) { return vips_invert(i, o, nullptr); }},
      {"IntensityRGBall 20, -10, 5", [](TZodazUrProc& p) { p.IntensityRGBall(20, -10, 5); }, "vips_linear uchar",
       [&](VipsImage* i, VipsImage** o) { return vips_linear(i, o, ones, offsets, 3, "uchar", TRUE, nullptr); }},
      {"Contrast 2.5", [&](TZodazUrProc& p) { p.Contrast(contrast); }, "vips_linear uchar (means given)",
       [&](VipsImage* i, VipsImage** o) { return vips_linear(i, o, contrastA, contrastB, 3, "uchar", TRUE, nullptr); }},
  };
  for (const Case& c : cases) {
    PrintHeader(c.name);
    for (int32_t threads : {AllCores(), 1}) {
      std::vector<uint8_t> ours, peer;
      const double oursMs = Ours(Source, threads, Runs, Proc(c.ours), ours);
      PrintRow("ours", std::to_string(threads), oursMs, 0, "");
      const double peerMs = Vips(In, threads, Runs, c.vips, peer);
      PrintRow(c.peerName, std::to_string(threads), peerMs, oursMs, Agreement(ours, peer));
      PrintGoal(threads, oursMs, peerMs);
    }
  }
  // The hue turned by 30 degrees: HSLvar(30, 0, 0) and modulate's hue 100 + 30 * 100 / 180.
  PrintHeader("HSLvar 30, 0, 0 (hue only)");
  for (int32_t threads : {AllCores(), 1}) {
    std::vector<uint8_t> ours, peer;
    const double oursMs = Ours(Source, threads, Runs, Proc([](TZodazUrProc& p) { p.HSLvar(30, 0, 0); }), ours);
    PrintRow("ours", std::to_string(threads), oursMs, 0, "");
    const double magickMs = Magick(Photo, threads, Runs, [](MagickWand* w) {
      MagickSetImageArtifact(w, "modulate:colorspace", "HSL");
      return MagickModulateImage(w, 100, 100, 100 + 30 * 100.0 / 180);
    }, peer);
    PrintRow("MagickModulateImage HSL", std::to_string(threads), magickMs, oursMs, Agreement(ours, peer));
    PrintGoal(threads, oursMs, magickMs);
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);  // every table line as it is measured
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  const std::string only = argc > 3 ? argv[3] : "";
  if (VIPS_INIT(argv[0])) vips_error_exit(nullptr);
  vips_cache_set_max(0);
  MagickWandGenesis();
  MinFileSizeOverride = -1;
  const std::vector<uint8_t> photo = MakeBenchPhoto(kW, kH);  // blue, green, red
  TIEBitmap source(kW, kH, ie24RGB);
  for (int32_t y = 0; y < kH; ++y)
    std::memcpy(source.Row<uint8_t>(y), photo.data() + static_cast<size_t>(y) * kW * 3, size_t{kW} * 3);
  VipsImage* in = vips_image_new_from_memory(photo.data(), photo.size(), kW, kH, 3, VIPS_FORMAT_UCHAR);
  std::printf("peer_processing: %d runs each, medians; libvips %s; %s; blur vector kernels: %s\n", runs,
              vips_version_string(), GetMagickVersion(nullptr), GaussBlurSimdAvailable() == 2 ? "AVX-512" : GaussBlurSimdAvailable() == 1 ? "AVX2" : "none");
  if (only.empty() || only == "blur") Blur(source, photo, in, runs);
  if (only.empty() || only == "colour") Colour(source, photo, in, runs);
  g_object_unref(in);
  MagickWandTerminus();
  vips_shutdown();
  return 0;
}
