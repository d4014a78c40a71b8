// Benchmarks of the image I/O codecs through TZodazUrIO, files included: load and save of a
// 1920 x 1080 24-bit BMP, and of a 50-frame 320 x 240 GIF (loaded frame by frame, saved as one
// one-frame GIF per frame, as the writer writes). bench/peers/peer_codecs.cpp does the same work
// beside ImageMagick and Pillow.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_codec_inputs.h"
#include "imaging/core/ie_bitmap.h"
#include "imaging/io/format_registry.h"
#include "imaging/io/zodazur_io.h"

namespace {

using namespace bench_inputs;

std::filesystem::path Folder() {
  static const std::filesystem::path dir = [] {
    auto d = std::filesystem::temp_directory_path() / "brimvale_bench_io";
    std::filesystem::create_directories(d);
    return d;
  }();
  return dir;
}

std::string BmpFile() {
  static const std::string name = [] {
    const std::string n = (Folder() / "in.bmp").string();
    TZodazUrIO io(nullptr);
    PaintPhoto(*io.IEBitmap());
    io.SaveToFile(n);
    return n;
  }();
  return name;
}

// The 50-frame GIF.
std::string GifFile() {
  static const std::string name = [] {
    const std::string n = (Folder() / "in.gif").string();
    WriteAnimation(n);
    return n;
  }();
  return name;
}

void BM_LoadBMP24_1920x1080(benchmark::State& state) {
  InitializeZodazUrIO();
  const std::string name = BmpFile();
  TZodazUrIO io(nullptr);
  for (auto _ : state) {
    io.LoadFromFile(name);
    benchmark::DoNotOptimize(io.IEBitmap()->GetRow(0));
  }
  if (io.Aborting()) state.SkipWithError("load failed");
  state.SetItemsProcessed(state.iterations() * int64_t{kBmpWidth} * kBmpHeight);
}

void BM_SaveBMP24_1920x1080(benchmark::State& state) {
  InitializeZodazUrIO();
  TZodazUrIO io(nullptr);
  PaintPhoto(*io.IEBitmap());
  const std::string name = (Folder() / "out.bmp").string();
  for (auto _ : state) io.SaveToFile(name);
  if (io.Aborting()) state.SkipWithError("save failed");
  state.SetItemsProcessed(state.iterations() * int64_t{kBmpWidth} * kBmpHeight);
}

// Every frame, one load each (the reader walks the file to the frame asked for).
void BM_LoadGIF50Frames_320x240(benchmark::State& state) {
  InitializeZodazUrIO();
  const std::string name = GifFile();
  TZodazUrIO io(nullptr);
  for (auto _ : state) {
    for (int32_t frame = 0; frame < kGifFrames; ++frame) {
      io.Params().GifImageIndex = frame;
      io.LoadFromFile(name);
      benchmark::DoNotOptimize(io.IEBitmap()->GetRow(0));
    }
  }
  if (io.Aborting()) state.SkipWithError("load failed");
  state.SetItemsProcessed(state.iterations() * int64_t{kGifWidth} * kGifHeight * kGifFrames);
}

// The 50 frames as 24-bit images saved one GIF each (exact palettes of 256 colours).
void BM_SaveGIF50Frames_320x240(benchmark::State& state) {
  InitializeZodazUrIO();
  std::vector<std::unique_ptr<TIEBitmap>> frames;
  for (int32_t f = 0; f < kGifFrames; ++f) {
    frames.push_back(std::make_unique<TIEBitmap>());
    PaintFrame(f, *frames.back());
  }
  const std::string name = (Folder() / "out.gif").string();
  for (auto _ : state) {
    for (auto& frame : frames) {
      auto io = TZodazUrIO::CreateFromBitmap(frame.get());
      io->SaveToFile(name);
      if (io->Aborting()) state.SkipWithError("save failed");
    }
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kGifWidth} * kGifHeight * kGifFrames);
}

}  // namespace

BENCHMARK(BM_LoadBMP24_1920x1080)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveBMP24_1920x1080)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadGIF50Frames_320x240)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveGIF50Frames_320x240)->Unit(benchmark::kMillisecond);
