// The colour operations side by side with libvips and ImageMagick: the shared photo-like
// 6000 x 4000 picture from memory, on every core and on one, the processing component without undo.
//   Negative          vips_invert
//   IntensityRGBall   vips_linear (a = 1, b = the offsets, uchar out)
//   Contrast          vips_linear (a = k, b = mean * (1 - k) per band, uchar out); ours also takes
//                     the image's channel means, which the peer is given
//   HSLvar (hue)      MagickModulateImage (brightness and saturation 100, hue + 30 degrees), both
//                     in the HSL model
// Each output is compared with ours (exact, or PSNR).
//   peer_color <folder> [runs]
#include <vips/vips.h>

#include <cstring>
#include <memory>

#include "bench/bench_photo.h"
#include "bench/peers/peer_common.h"
#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_settings.h"
#include "imaging/processing/ie_color_ops.h"
#include "imaging/processing/ie_resample_bands.h"
#include "imaging/processing/zodazur_proc.h"

// After the engine's headers: ImageMagick's define names that they use.
#include <wand/MagickWand.h>

using namespace peers;

namespace {

constexpr int32_t kW = 6000, kH = 4000;

double Ours(const TIEBitmap& photo, int32_t threads, int runs, const std::function<void(TZodazUrProc&)>& op,
            std::vector<uint8_t>& out) {
  ResampleThreadCountForTesting() = threads;
  TIEBitmap work(1, 1, ie24RGB);
  std::vector<double> times;
  for (int r = 0; r < runs; ++r) {
    work.Assign(const_cast<TIEBitmap&>(photo));
    auto proc = TZodazUrProc::CreateFromIEBitmap(&work);
    times.push_back(MedianMs(1, [&] { op(*proc); }));
  }
  ResampleThreadCountForTesting() = 0;
  out.resize(static_cast<size_t>(kW) * kH * 3);
  for (int32_t y = 0; y < kH; ++y) std::memcpy(out.data() + static_cast<size_t>(y) * kW * 3, work.Row<uint8_t>(y), kW * 3);
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

// One libvips operation on the memory image, written to memory.
double Vips(VipsImage* in, int32_t threads, int runs, const std::function<int(VipsImage*, VipsImage**)>& op,
            std::vector<uint8_t>& out) {
  vips_concurrency_set(threads);
  return MedianMs(runs, [&] {
    VipsImage* o = nullptr;
    if (op(in, &o)) vips_error_exit(nullptr);
    size_t size = 0;
    void* mem = vips_image_write_to_memory(o, &size);
    if (!mem) vips_error_exit(nullptr);
    out.assign(static_cast<uint8_t*>(mem), static_cast<uint8_t*>(mem) + size);
    g_free(mem);
    g_object_unref(o);
  });
}

double MagickModulate(const std::vector<uint8_t>& photo, double hue, int32_t threads, int runs,
                      std::vector<uint8_t>& out) {
  MagickSetResourceLimit(ThreadResource, static_cast<MagickSizeType>(threads));
  std::vector<double> times;
  MagickWand* wand = nullptr;
  for (int r = 0; r < runs; ++r) {
    if (wand) DestroyMagickWand(wand);
    wand = NewMagickWand();
    MagickConstituteImage(wand, kW, kH, "BGR", CharPixel, photo.data());
    MagickSetImageArtifact(wand, "modulate:colorspace", "HSL");
    times.push_back(MedianMs(1, [&] {
      if (!MagickModulateImage(wand, 100, 100, hue)) throw std::runtime_error("MagickModulateImage failed");
    }));
  }
  out.resize(photo.size());
  MagickExportImagePixels(wand, 0, 0, kW, kH, "BGR", CharPixel, out.data());
  DestroyMagickWand(wand);
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
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
  std::printf("peer_color: %d runs each, medians; libvips %s; %s\n", runs, vips_version_string(),
              GetMagickVersion(nullptr));

  // Contrast 2.5 around the channel means ours computes (bands blue, green, red).
  const double contrast = 2.5, k = 1 + contrast / 10;
  int32_t mr, mg, mb;
  ChannelMeans(source, mr, mg, mb);
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
    for (int32_t threads : {cores, 1}) {
      std::vector<uint8_t> ours, peer;
      const double oursMs = Ours(source, threads, runs, c.ours, ours);
      PrintRow("ours", std::to_string(threads), oursMs, 0, "");
      const double peerMs = Vips(in, threads, runs, c.vips, peer);
      PrintRow(c.peerName, std::to_string(threads), peerMs, oursMs, Agreement(ours, peer));
    }
  }

  // The hue turned by 30 degrees: HSLvar(30, 0, 0) and modulate's hue 100 + 30 * 100 / 180.
  PrintHeader("HSLvar 30, 0, 0 (hue only)");
  for (int32_t threads : {cores, 1}) {
    std::vector<uint8_t> ours, peer;
    const double oursMs = Ours(source, threads, runs, [](TZodazUrProc& p) { p.HSLvar(30, 0, 0); }, ours);
    PrintRow("ours", std::to_string(threads), oursMs, 0, "");
    const double magickMs = MagickModulate(photo, 100 + 30 * 100.0 / 180, threads, runs, peer);
    PrintRow("MagickModulateImage HSL", std::to_string(threads), magickMs, oursMs, Agreement(ours, peer));
  }
  g_object_unref(in);
  MagickWandTerminus();
  vips_shutdown();
  return 0;
}
