// The GIF picture class on a 50-frame 320 x 240 animation of 256 colours: loading it from memory,
// saving it into memory (LZW), and beside them the engine's GIF codec reading all 50 frames (one
// coder underneath both). bench/compare_giflib.sh runs these on an animation giflib wrote, beside
// giflib's own decoder and encoder, and checks that the outputs agree.
//
// BRIMVALE_GIF_INPUT names the input (else the codec benchmarks' animation is written); with
// BRIMVALE_GIF_OUTPUT set to a folder, every frame's indices (ours.idx, engine.idx) and the saved
// file (ours.gif) are written there for the comparison.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_codec_inputs.h"
#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_mask.h"
#include "imaging/io/codecs/gif_codec.h"
#include "imaging/io/codecs/gif_lzw.h"
#include "imaging/io/io_params.h"
#include "pictures/gif_image.h"
#include "platform/system/streams.h"

namespace {

const std::vector<uint8_t>& Input() {
  static const std::vector<uint8_t> bytes = [] {
    std::string name;
    if (const char* given = std::getenv("BRIMVALE_GIF_INPUT")) {
      name = given;
    } else {
      name = (std::filesystem::temp_directory_path() / "brimvale_bench_pictures_gif.gif").string();
      bench_inputs::WriteAnimation(name);
    }
    TMemoryStream s;
    s.LoadFromFile(name);
    const auto* p = static_cast<const uint8_t*>(s.Memory());
    return std::vector<uint8_t>(p, p + s.Size());
  }();
  return bytes;
}

void Load(TGIFImage& image) {
  const std::vector<uint8_t>& in = Input();
  TCustomMemoryStream s(in.data(), static_cast<int64_t>(in.size()));
  image.LoadFromStream(s);
}

// Frame Index through the engine's reader, as palette indices.
bool EngineFrame(int32_t Index, TIEBitmap& bitmap) {
  const std::vector<uint8_t>& in = Input();
  TCustomMemoryStream s(in.data(), static_cast<int64_t>(in.size()));
  TIOParamsVals params(nullptr);
  params.GifLZWDecompressor = GIFLZWDecode;
  params.GifImageIndex = Index;
  params.IsNativePixelFormat = true;
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  std::unique_ptr<TIEMask> mask;
  int32_t frames = 0;
  ReadGIFStream(s, bitmap, frames, params, progress, false, mask, true);
  return !aborting;
}

// The outputs the comparison checks, written once.
void WriteOutputs() {
  static bool written = false;
  const char* dir = std::getenv("BRIMVALE_GIF_OUTPUT");
  if (!dir || written) return;
  written = true;
  TGIFImage image;
  Load(image);
  TFileStream ours((std::filesystem::path(dir) / "ours.idx").string(), fmCreate);
  for (int32_t i = 0; i < image.Images()->Count(); ++i) {
    TGIFSubImage* frame = image.Images()->Items(i);
    ours.WriteBuffer(frame->Data(), static_cast<int32_t>(frame->DataSize()));
  }
  image.SaveToFile((std::filesystem::path(dir) / "ours.gif").string());
  TFileStream engine((std::filesystem::path(dir) / "engine.idx").string(), fmCreate);
  for (int32_t i = 0; i < image.Images()->Count(); ++i) {
    TIEBitmap bitmap;
    if (!EngineFrame(i, bitmap)) break;
    for (int32_t y = 0; y < bitmap.Height(); ++y) engine.WriteBuffer(bitmap.GetRow(y), bitmap.Width());
  }
}

void BM_GIFPictureLoad(benchmark::State& state) {
  WriteOutputs();
  TGIFImage image;
  for (auto _ : state) {
    Load(image);
    benchmark::DoNotOptimize(image.Images()->Items(0)->Data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(Input().size()));
}

void BM_GIFPictureSave(benchmark::State& state) {
  TGIFImage image;
  Load(image);
  TMemoryStream out;
  for (auto _ : state) {
    out.SetSize(0);
    image.SaveToStream(out);
    benchmark::DoNotOptimize(out.Memory());
  }
}

void BM_GIFEngineReadAllFrames(benchmark::State& state) {
  TGIFImage image;
  Load(image);
  const int32_t frames = image.Images()->Count();
  TIEBitmap bitmap;
  for (auto _ : state)
    for (int32_t i = 0; i < frames; ++i)
      if (!EngineFrame(i, bitmap)) state.SkipWithError("the engine's reader failed");
}

}  // namespace

BENCHMARK(BM_GIFPictureLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GIFPictureSave)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GIFEngineReadAllFrames)->Unit(benchmark::kMillisecond);
