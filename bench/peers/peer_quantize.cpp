// Quantizing a photograph to 256 colours side by side with ImageMagick (Magick++) and Pillow: the
// shared photo-like 6000 x 4000 picture, from memory, no dithering anywhere. Ours is the
// conversion ie24RGB -> ie8p (palette and mapping); ImageMagick's is quantize() with 256 colours
// and no dithering; Pillow's is median cut without dithering. Each is timed alone (the copy it
// works on is made before the clock starts), every tool once per round in turn, and its output,
// the palette colours of its pixels, is measured against the input (PSNR).
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

  // Each contender once per round, in turn; each keeps its last output (blue, green, red).
  std::vector<Contender> contenders;
  std::vector<std::vector<uint8_t>> outputs(5);
  for (int32_t threads : {1, cores}) {
    const size_t k = contenders.size();
    contenders.push_back({"ours ie24RGB -> ie8p (NeuQuant)", threads, [&, threads, k] {
                            ResampleThreadCountForTesting() = threads;
                            TIEBitmap work;
                            work.Assign(source);  // a copy of its own, made before the clock starts
                            const double ms = TimedMs([&] { work.ConvertPixelFormat(ie8p); });
                            ResampleThreadCountForTesting() = 0;
                            std::vector<uint8_t>& out = outputs[k];
                            out.resize(photo.size());
                            const TIERGB* palette = work.GetPaletteBuffer();
                            for (int32_t y = 0; y < kH; ++y) {
                              const uint8_t* row = work.Row<uint8_t>(y);
                              for (int32_t x = 0; x < kW; ++x) {
                                const TIERGB c = palette[row[x]];
                                uint8_t* o = out.data() + (static_cast<size_t>(y) * kW + x) * 3;
                                o[0] = c.b;
                                o[1] = c.g;
                                o[2] = c.r;
                              }
                            }
                            return ms;
                          }, {}, {}});
  }
  Magick::Image input;
  input.read(kW, kH, "BGR", Magick::CharPixel, photo.data());
  for (int32_t threads : {1, cores}) {
    const size_t k = contenders.size();
    contenders.push_back({"ImageMagick quantize 256, no dither", threads, [&, threads, k] {
                            Magick::ResourceLimits::thread(static_cast<MagickCore::MagickSizeType>(threads));
                            Magick::Image work(input);
                            work.modifyImage();  // a copy of its own, made before the clock starts
                            const double ms = TimedMs([&] {
                              work.quantizeColors(256);
                              work.quantizeDither(false);
                              work.quantizeDitherMethod(Magick::NoDitherMethod);
                              work.quantize();
                            });
                            outputs[k].resize(photo.size());
                            work.write(0, 0, kW, kH, "BGR", Magick::CharPixel, outputs[k].data());
                            return ms;
                          }, {}, {}});
  }
  const std::string outPath = dir + "/pillow.raw";
  char args[512];
  std::snprintf(args, sizeof args, "quantize '%s' %d %d 256 1 '%s'", (dir + "/photo.raw").c_str(), kW, kH,
                outPath.c_str());
  contenders.push_back({"Pillow quantize median cut, no dither", 1, [&, command = std::string(args)] {
                          const double ms = RunPillow(pillow, command);
                          if (ms >= 0) outputs[4] = ReadFile(outPath);
                          return ms;
                        }, {}, {}});
  RunInTurn(contenders, runs);

  PrintCpuHeader("24-bit 6000x4000 photo -> 256 colours, no dithering");
  for (size_t k = 0; k < contenders.size(); ++k) {
    const Contender& c = contenders[k];
    PrintCpuRow(c, k < 2 ? nullptr : &contenders[c.Threads == 1 ? 0 : 1],
                outputs[k].size() == photo.size() ? "vs input " + PsnrText(Psnr(reference, outputs[k])) : "failed");
  }
  std::filesystem::remove_all(dir);
  return 0;
}
