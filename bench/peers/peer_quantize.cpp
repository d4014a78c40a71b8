// Quantizing a photograph to 256 colours side by side with ImageMagick (Magick++) and Pillow: the
// shared photo-like 6000 x 4000 picture, from memory, no dithering anywhere. Ours is the
// conversion ie24RGB -> ie8p (palette and mapping); ImageMagick's is quantize() with 256 colours
// and no dithering; Pillow's is median cut without dithering. Each is timed alone (the copy it
// works on is made before the clock starts) and its output, the palette colours of its pixels,
// is measured against the input (PSNR).
//   peer_quantize <folder of pillow_peer.py> [runs]
#include <cstring>
#include <filesystem>
#include <memory>

#include "bench/bench_photo.h"
#include "bench/peers/peer_common.h"
#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_settings.h"
#include "imaging/processing/ie_resample_bands.h"

// After the engine's headers: ImageMagick's define names that they use.
#include <Magick++.h>

using namespace peers;

namespace {

constexpr int32_t kW = 6000, kH = 4000;

// Median over Runs of the time Work takes after Prepare, which is not timed.
double MedianOf(int runs, const std::function<void()>& prepare, const std::function<void()>& work) {
  std::vector<double> times;
  for (int r = 0; r < runs; ++r) {
    prepare();
    times.push_back(MedianMs(1, work));
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: peer_quantize <folder of pillow_peer.py> [runs]\n");
    return 2;
  }
  Magick::InitializeMagick(argv[0]);
  const std::string pillow = std::string(argv[1]) + "/pillow_peer.py";
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  MinFileSizeOverride = -1;
  const int32_t cores = AllCores();
  const std::string dir = std::filesystem::temp_directory_path().string() + "/brimvale_peer_quantize";
  std::filesystem::create_directories(dir);

  const std::vector<uint8_t> photo = MakeBenchPhoto(kW, kH);  // blue, green, red
  const std::vector<double> reference = ToReal(photo);
  WriteFile(dir + "/photo.raw", photo);
  TIEBitmap source(kW, kH, ie24RGB);
  for (int32_t y = 0; y < kH; ++y)
    std::memcpy(source.Row<uint8_t>(y), photo.data() + static_cast<size_t>(y) * kW * 3, size_t{kW} * 3);

  std::printf("peer_quantize: %d runs each, medians; %s\n", runs, MagickCore::GetMagickVersion(nullptr));
  PrintHeader("24-bit 6000x4000 photo -> 256 colours, no dithering");

  // Ours.
  double ours[2];
  std::vector<uint8_t> out(photo.size());
  for (int t = 0; t < 2; ++t) {
    const int32_t threads = t == 0 ? 1 : cores;
    ResampleThreadCountForTesting() = threads;
    std::unique_ptr<TIEBitmap> work;
    ours[t] = MedianOf(
        runs,
        [&] {
          work = std::make_unique<TIEBitmap>();
          work->Assign(source);
        },
        [&] { work->ConvertPixelFormat(ie8p); });
    const TIERGB* palette = work->GetPaletteBuffer();
    for (int32_t y = 0; y < kH; ++y) {
      const uint8_t* row = work->Row<uint8_t>(y);
      for (int32_t x = 0; x < kW; ++x) {
        const TIERGB c = palette[row[x]];
        uint8_t* o = out.data() + (static_cast<size_t>(y) * kW + x) * 3;
        o[0] = c.b;
        o[1] = c.g;
        o[2] = c.r;
      }
    }
    PrintRow("ours ie24RGB -> ie8p (NeuQuant)", std::to_string(threads), ours[t], 0,
             "vs input " + PsnrText(Psnr(reference, out)));
  }
  ResampleThreadCountForTesting() = 0;

  // ImageMagick.
  Magick::Image input;
  input.read(kW, kH, "BGR", Magick::CharPixel, photo.data());
  for (int t = 0; t < 2; ++t) {
    const int32_t threads = t == 0 ? 1 : cores;
    Magick::ResourceLimits::thread(static_cast<MagickCore::MagickSizeType>(threads));
    std::unique_ptr<Magick::Image> work;
    const double ms = MedianOf(
        runs,
        [&] {
          work = std::make_unique<Magick::Image>(input);
          work->modifyImage();  // a copy of its own, made before the clock starts
        },
        [&] {
          work->quantizeColors(256);
          work->quantizeDither(false);
          work->quantizeDitherMethod(Magick::NoDitherMethod);
          work->quantize();
        });
    work->write(0, 0, kW, kH, "BGR", Magick::CharPixel, out.data());
    PrintRow("ImageMagick quantize 256, no dither", std::to_string(threads), ms, ours[t],
             "vs input " + PsnrText(Psnr(reference, out)));
  }

  // Pillow (one thread).
  const std::string outPath = dir + "/pillow.raw";
  char args[512];
  std::snprintf(args, sizeof args, "quantize '%s' %d %d 256 %d '%s'", (dir + "/photo.raw").c_str(), kW, kH, runs,
                outPath.c_str());
  const double pillowMs = RunPillow(pillow, args);
  if (pillowMs < 0) {
    PrintRow("Pillow median cut", "1", 0, 0, "failed");
  } else {
    out = ReadFile(outPath);
    PrintRow("Pillow quantize median cut, no dither", "1", pillowMs, ours[0], "vs input " + PsnrText(Psnr(reference, out)));
  }
  std::filesystem::remove_all(dir);
  return 0;
}
