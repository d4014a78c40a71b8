// Benchmarks of the image I/O codecs through TZodazUrIO, files included: load and save of a
// 1920 x 1080 24-bit BMP, and of a 50-frame 320 x 240 GIF (loaded frame by frame, saved as one
// one-frame GIF per frame, as the writer writes). bench/compare_imagemagick.sh times ImageMagick's
// convert on the same work.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/io/codecs/gif_lzw.h"
#include "imaging/io/format_registry.h"
#include "imaging/io/zodazur_io.h"
#include "platform/system/streams.h"

namespace {

constexpr int32_t kBmpWidth = 1920;
constexpr int32_t kBmpHeight = 1080;
constexpr int32_t kGifWidth = 320;
constexpr int32_t kGifHeight = 240;
constexpr int32_t kGifFrames = 50;

std::filesystem::path Folder() {
  static const std::filesystem::path dir = [] {
    auto d = std::filesystem::temp_directory_path() / "brimvale_bench_io";
    std::filesystem::create_directories(d);
    return d;
  }();
  return dir;
}

// A photograph-like true-colour picture: gradients with a little texture.
void PaintPhoto(TIEBitmap& b, int32_t w, int32_t h) {
  b.Allocate(w, h, ie24RGB);
  uint32_t seed = 12345;
  for (int32_t y = 0; y < h; ++y) {
    auto* row = static_cast<uint8_t*>(b.GetRow(y));
    for (int32_t x = 0; x < w; ++x) {
      seed = seed * 1664525u + 1013904223u;
      const int32_t noise = static_cast<int32_t>(seed >> 29) - 4;
      auto clamp = [](int32_t v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); };
      row[3 * x] = clamp(x * 255 / w + noise);
      row[3 * x + 1] = clamp(y * 255 / h + noise);
      row[3 * x + 2] = clamp(((x / 40 + y / 40) & 1 ? 200 : 60) + noise);
    }
  }
}

// Frame F of the animation: 256 colours of a fixed palette in moving bands and a moving square.
void FrameIndices(int32_t f, std::vector<uint8_t>& indices) {
  indices.resize(static_cast<size_t>(kGifWidth) * kGifHeight);
  for (int32_t y = 0; y < kGifHeight; ++y)
    for (int32_t x = 0; x < kGifWidth; ++x) {
      const bool square = x >= 4 * f && x < 4 * f + 60 && y >= 2 * f && y < 2 * f + 60;
      indices[static_cast<size_t>(y) * kGifWidth + x] = static_cast<uint8_t>(square ? 255 : ((x + y + 3 * f) / 2) % 255);
    }
}

TIERGB PaletteColor(int32_t i) { return CreateRGB(uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)); }

std::string BmpFile() {
  static const std::string name = [] {
    const std::string n = (Folder() / "in.bmp").string();
    TZodazUrIO io(nullptr);
    PaintPhoto(*io.IEBitmap(), kBmpWidth, kBmpHeight);
    io.SaveToFile(n);
    return n;
  }();
  return name;
}

// The 50-frame GIF: one global table, each frame a full-size image with its own delay.
std::string GifFile() {
  static const std::string name = [] {
    const std::string n = (Folder() / "in.gif").string();
    TFileStream f(n, fmCreate);
    std::vector<uint8_t> head = {'G', 'I', 'F', '8', '9', 'a', kGifWidth & 255, kGifWidth >> 8, kGifHeight & 255,
                                 kGifHeight >> 8, 0xF7, 0, 0};
    for (int32_t i = 0; i < 256; ++i) {
      const TIERGB c = PaletteColor(i);
      head.insert(head.end(), {c.r, c.g, c.b});
    }
    f.WriteBuffer(head.data(), static_cast<int32_t>(head.size()));
    std::vector<uint8_t> indices;
    for (int32_t frame = 0; frame < kGifFrames; ++frame) {
      const uint8_t block[] = {0x21, 0xF9, 4, 0x08, 10, 0, 0, 0,
                               0x2C, 0, 0, 0, 0, kGifWidth & 255, kGifWidth >> 8, kGifHeight & 255, kGifHeight >> 8, 0};
      f.WriteBuffer(block, sizeof block);
      FrameIndices(frame, indices);
      GIFLZWEncode(f, kGifHeight, kGifWidth, false, indices.data(), 8);
    }
    const uint8_t trailer = 0x3B;
    f.WriteBuffer(&trailer, 1);
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
  PaintPhoto(*io.IEBitmap(), kBmpWidth, kBmpHeight);
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
  std::vector<uint8_t> indices;
  for (int32_t f = 0; f < kGifFrames; ++f) {
    auto b = std::make_unique<TIEBitmap>(kGifWidth, kGifHeight, ie24RGB);
    FrameIndices(f, indices);
    for (int32_t y = 0; y < kGifHeight; ++y) {
      auto* row = static_cast<TIERGB*>(b->GetRow(y));
      for (int32_t x = 0; x < kGifWidth; ++x) row[x] = PaletteColor(indices[static_cast<size_t>(y) * kGifWidth + x]);
    }
    frames.push_back(std::move(b));
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
