#pragma once
// The inputs of the codec benchmarks and their peer comparisons: 24-bit pictures of the shared
// photo-like kind (1920 x 1080, and 6000 x 4000 for the PNG and JPEG codecs), the 50 frames of a
// 320 x 240 animation of 256 colours with the GIF file that holds them (one global colour table, each
// frame a full-size image with its own delay) built byte by byte with our LZW encoder, and the PNG
// codec's calls between memory and bitmaps.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "bench/bench_photo.h"
#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_mem_stream.h"
#include "imaging/io/codecs/gif_lzw.h"
#include "imaging/io/codecs/png_codec.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"

namespace bench_inputs {

constexpr int32_t kBmpWidth = 1920;
constexpr int32_t kBmpHeight = 1080;
constexpr int32_t kGifWidth = 320;
constexpr int32_t kGifHeight = 240;
constexpr int32_t kGifFrames = 50;

constexpr int32_t kLargeWidth = 6000;
constexpr int32_t kLargeHeight = 4000;

// B becomes the photo-like picture of W x H (ie24RGB), by default the 1920 x 1080 one.
inline void PaintPhoto(TIEBitmap& B, int32_t W = kBmpWidth, int32_t H = kBmpHeight) {
  B.Allocate(W, H, ie24RGB);
  const std::vector<uint8_t> pixels = MakeBenchPhoto(W, H);
  for (int32_t y = 0; y < H; ++y) {
    const uint8_t* src = pixels.data() + static_cast<size_t>(y) * W * 3;
    auto* row = static_cast<uint8_t*>(B.GetRow(y));
    std::copy(src, src + static_cast<size_t>(W) * 3, row);
  }
}

// The pixels of B (ie24RGB) as red, green, blue, rows from the top without padding.
inline std::vector<uint8_t> RgbOf(TIEBitmap& B) {
  std::vector<uint8_t> out(static_cast<size_t>(B.Width()) * B.Height() * 3);
  for (int32_t y = 0; y < B.Height(); ++y) {
    const auto* row = static_cast<const uint8_t*>(B.GetRow(y));
    uint8_t* o = out.data() + static_cast<size_t>(y) * B.Width() * 3;
    for (int32_t x = 0; x < B.Width(); ++x) {
      o[3 * x] = row[3 * x + 2];
      o[3 * x + 1] = row[3 * x + 1];
      o[3 * x + 2] = row[3 * x];
    }
  }
  return out;
}

// B written by the PNG codec at zlib level Level with row filter Filter (0 none, 1 sub, 2 Paeth);
// empty when the writer failed.
inline std::vector<uint8_t> EncodePng(TIEBitmap& B, int32_t Level, uint8_t Filter) {
  TIOParamsVals p(nullptr);
  p.PngCompression = Level;
  p.PngFilter = Filter;
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  TMemoryStream out;
  WritePNGStream(out, B, p, progress, nullptr);
  const auto* m = static_cast<const uint8_t*>(out.Memory());
  return aborting ? std::vector<uint8_t>() : std::vector<uint8_t>(m, m + out.Size());
}

// A PNG file read by the PNG codec into B; false when the reader failed.
inline bool DecodePng(const std::vector<uint8_t>& File, TIEBitmap& B) {
  TIEMemStream in(File.data(), static_cast<int64_t>(File.size()));
  TIOParamsVals p(nullptr);
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  ReadPngStream(in, B, p, progress, false);
  return !aborting;
}

// Frame F of the animation: 256 colours of a fixed palette in moving bands and a moving square.
inline void FrameIndices(int32_t F, std::vector<uint8_t>& Indices) {
  Indices.resize(static_cast<size_t>(kGifWidth) * kGifHeight);
  for (int32_t y = 0; y < kGifHeight; ++y)
    for (int32_t x = 0; x < kGifWidth; ++x) {
      const bool square = x >= 4 * F && x < 4 * F + 60 && y >= 2 * F && y < 2 * F + 60;
      Indices[static_cast<size_t>(y) * kGifWidth + x] = static_cast<uint8_t>(square ? 255 : ((x + y + 3 * F) / 2) % 255);
    }
}

inline TIERGB PaletteColor(int32_t I) { return CreateRGB(uint8_t(I), uint8_t(255 - I), uint8_t(I * 7)); }

// Frame F as a 24-bit picture.
inline void PaintFrame(int32_t F, TIEBitmap& B) {
  B.Allocate(kGifWidth, kGifHeight, ie24RGB);
  std::vector<uint8_t> indices;
  FrameIndices(F, indices);
  for (int32_t y = 0; y < kGifHeight; ++y) {
    auto* row = static_cast<TIERGB*>(B.GetRow(y));
    for (int32_t x = 0; x < kGifWidth; ++x) row[x] = PaletteColor(indices[static_cast<size_t>(y) * kGifWidth + x]);
  }
}

// Writes the 50-frame GIF to Name.
inline void WriteAnimation(const std::string& Name) {
  TFileStream f(Name, fmCreate);
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
}

}  // namespace bench_inputs
