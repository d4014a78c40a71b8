#pragma once
// Helpers of the geometry tests: pixels read format-independently, filled bitmaps of every format,
// and FFmpeg's filters as an independent oracle for raw 24-bit pictures.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/processing/ie_resample_bands.h"
#include "tests/imaging/core/bitmap_test_support.h"
#include "tests/support/test_support.h"

namespace geomtest {

// Every pixel format a bitmap holds.
inline constexpr TIEPixelFormat kAllFormats[] = {ie1g, ie8p, ie8g, ie16g, ie24RGB, ie32f, ieCMYK, ieRGB48, ieCIELab, ie32RGB};

// The bytes of pixel (X, Y), one 0/1 byte for ie1g.
inline std::vector<uint8_t> PixelOf(TIEBitmap& B, int32_t X, int32_t Y) {
  const uint8_t* row = B.Row<uint8_t>(Y);
  if (B.PixelFormat() == ie1g) return {static_cast<uint8_t>(GetRowBit(row, X) ? 1 : 0)};
  const int32_t n = IEBytesPerPixel[B.PixelFormat()];
  return std::vector<uint8_t>(row + static_cast<size_t>(X) * n, row + static_cast<size_t>(X + 1) * n);
}

// A W x H bitmap of Format whose pixels live in memory or in a temporary file (BitmapTest's).
struct BitmapMaker : BitmapTest {
  using BitmapTest::Make;
};
inline std::unique_ptr<TIEBitmap> MakeIn(int32_t W, int32_t H, TIEPixelFormat Format, TIELocation Where) {
  return BitmapMaker::Make(W, H, Format, Where);
}

// Worker threads of the geometry routines set for a scope (0: the processor count again).
struct ThreadCount {
  explicit ThreadCount(int32_t N) { ResampleThreadCountForTesting() = N; }
  ~ThreadCount() { ResampleThreadCountForTesting() = 0; }
};

// A W x H bitmap of Format in memory or in a file, filled with a pattern, an ie8p palette of its own
// and, WithAlpha, an alpha channel with a pattern of its own.
inline std::unique_ptr<TIEBitmap> Patterned(int32_t W, int32_t H, TIEPixelFormat Format, TIELocation Where,
                                            bool WithAlpha, int Seed = 1) {
  auto b = MakeIn(W, H, Format, Where);
  bmptest::Pattern(*b, Seed);
  if (Format == ie8p)
    for (int32_t i = 0; i < 256; ++i)
      b->SetPaletteColor(i, TIERGB{static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i * 7)});
  if (WithAlpha) bmptest::Pattern(*b->GetAlphaChannel(), Seed + 5);
  return b;
}

// The palette as bytes, for comparisons.
inline std::vector<uint8_t> PaletteBytes(TIEBitmap& B) {
  const auto* p = reinterpret_cast<const uint8_t*>(B.GetPaletteBuffer());
  return p ? std::vector<uint8_t>(p, p + 3 * B.GetPaletteLength()) : std::vector<uint8_t>{};
}

// An ie24RGB bitmap from raw bgr24 bytes, top row first.
inline std::unique_ptr<TIEBitmap> FromBGR24(const std::vector<uint8_t>& Raw, int32_t W, int32_t H) {
  auto b = std::make_unique<TIEBitmap>(W, H, ie24RGB);
  for (int32_t y = 0; y < H; ++y)
    std::copy_n(Raw.begin() + static_cast<int64_t>(y) * W * 3, W * 3, b->Row<uint8_t>(y));
  return b;
}

inline std::vector<uint8_t> ToBGR24(TIEBitmap& B) {
  std::vector<uint8_t> raw;
  for (int32_t y = 0; y < B.Height(); ++y) {
    const uint8_t* row = B.Row<uint8_t>(y);
    raw.insert(raw.end(), row, row + B.Width() * 3);
  }
  return raw;
}

inline std::vector<uint8_t> ReadFile(const std::string& Name) {
  std::ifstream f(Name, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(f)), {});
}

// FFmpeg's picture of raw bgr24 bytes of W x H through the video filter Filter, as raw bgr24.
inline std::vector<uint8_t> FFmpegFiltered(const std::vector<uint8_t>& Raw, int32_t W, int32_t H,
                                           const std::string& Filter) {
  EXPECT_EQ(std::system("ffmpeg -version >/dev/null 2>&1"), 0) << "ffmpeg is missing (scripts/install-deps.sh)";
  testsupport::ScratchDir dir;
  const std::string in = dir.File("in.raw"), out = dir.File("out.raw");
  {
    std::ofstream f(in, std::ios::binary);
    f.write(reinterpret_cast<const char*>(Raw.data()), static_cast<std::streamsize>(Raw.size()));
  }
  const std::string cmd = "ffmpeg -v error -y -f rawvideo -pix_fmt bgr24 -s " + std::to_string(W) + "x" +
                          std::to_string(H) + " -i '" + in + "' -vf " + Filter + " -f rawvideo -pix_fmt bgr24 '" +
                          out + "'";
  EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
  return ReadFile(out);
}

}  // namespace geomtest
