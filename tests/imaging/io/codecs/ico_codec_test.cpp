#include "imaging/io/codecs/ico_codec.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/core/ie_mask.h"
#include "imaging/io/codecs/bmp_codec.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"
#include "tests/imaging/io/codecs/codec_test_support.h"
#include "tests/support/byte_builder.h"

namespace {

using namespace codectest;
using testsupport::ByteBuilder;

// One image of an icon file as the format stores it: the 40-byte header (height doubled), the colour
// table, the colour rows and the AND rows, both bottom-up and padded to 4 bytes. Value gives each
// pixel (an index up to 8 bits, else 0xAARRGGBB); Masked says which pixels are transparent.
struct Image {
  int w = 0, h = 0, depth = 8;
  std::vector<TIERGB> table;
  std::function<uint32_t(int, int)> value = [](int, int) { return 0u; };
  std::function<bool(int, int)> masked = [](int, int) { return false; };
  bool withMask = true;
  int infoWidth = -1, infoHeight = -1;  // -1: w and 2h
  uint32_t colorsUsed = 0;

  Bytes Build() const {
    ByteBuilder b;
    b.U32(40).U32(static_cast<uint32_t>(infoWidth < 0 ? w : infoWidth))
        .U32(static_cast<uint32_t>(infoHeight < 0 ? 2 * h : infoHeight)).U16(1).U16(static_cast<uint16_t>(depth))
        .U32(0).U32(0).U32(3780).U32(3780).U32(colorsUsed).U32(0);
    for (const TIERGB& c : table) b.U8(c.b).U8(c.g).U8(c.r).U8(0);
    const int rowBytes = (w * depth + 31) / 32 * 4;
    for (int y = h - 1; y >= 0; --y) {
      Bytes row(static_cast<size_t>(rowBytes), 0);
      for (int x = 0; x < w; ++x) {
        const uint32_t v = value(x, y);
        if (depth < 8) {
          row[x * depth / 8] |= static_cast<uint8_t>(v << (8 - depth - (x * depth) % 8));
        } else {
          for (int k = 0; k < depth / 8; ++k) row[x * depth / 8 + k] = static_cast<uint8_t>(v >> (8 * k));
        }
      }
      b.Raw(row);
    }
    if (withMask)
      for (int y = h - 1; y >= 0; --y) {
        Bytes row(static_cast<size_t>((w + 31) / 32 * 4), 0);
        for (int x = 0; x < w; ++x)
          if (masked(x, y)) row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        b.Raw(row);
      }
    return b.Bytes();
  }
};

// A directory of the images (type 1 icon, 2 cursor) and the images after it.
struct Entry {
  Image image;
  int entryWidth = -1, entryHeight = -1;  // -1: the image's (256 stored as 0)
  uint8_t colors = 0;
  uint16_t planes = 1, bits = 0;          // cursors: the hot spot
};
Bytes IconFile(const std::vector<Entry>& entries, uint16_t type = 1) {
  ByteBuilder b;
  b.U16(0).U16(type).U16(static_cast<uint16_t>(entries.size()));
  std::vector<Bytes> data;
  uint32_t offset = 6 + 16 * static_cast<uint32_t>(entries.size());
  for (const Entry& e : entries) {
    data.push_back(e.image.Build());
    const int w = e.entryWidth < 0 ? e.image.w : e.entryWidth, h = e.entryHeight < 0 ? e.image.h : e.entryHeight;
    b.U8(static_cast<uint8_t>(w)).U8(static_cast<uint8_t>(h)).U8(e.colors).U8(0).U16(e.planes).U16(e.bits);
    b.U32(static_cast<uint32_t>(data.back().size())).U32(offset);
    offset += static_cast<uint32_t>(data.back().size());
  }
  for (const Bytes& d : data) b.Raw(d);
  return b.Bytes();
}

struct ReadResult {
  bool ok = false;
  TIEBitmap bitmap;
  std::unique_ptr<TIEMask> mask;
  TIOParamsVals params{nullptr};
};
void ReadIcon(const Bytes& file, ReadResult& r, bool cursor = false, bool paramsOnly = false) {
  r.ok = ReadWith(file, [&](TStream& s, TIEProgressRecord& pr) {
    if (cursor)
      ReadCURStream(s, r.bitmap, r.params, paramsOnly, pr, r.mask, paramsOnly);
    else
      ReadICOStream(s, r.bitmap, r.params, paramsOnly, pr, r.mask, paramsOnly);
  });
}

std::vector<TIERGB> Grey16() {
  std::vector<TIERGB> t;
  for (int i = 0; i < 16; ++i) t.push_back(CreateRGB(uint8_t(i * 17), uint8_t(i * 17), uint8_t(255 - i * 17)));
  return t;
}

TEST(IcoReader, ThreeImagesAreListedAndTheChosenOneIsRead) {
  std::vector<TIERGB> t256(256);
  for (int i = 0; i < 256; ++i) t256[i] = CreateRGB(uint8_t(i), 0, uint8_t(255 - i));
  Image four{16, 16, 4, Grey16(), [](int x, int y) { return uint32_t((x + y) % 16); }};
  Image eight{32, 32, 8, t256, [](int x, int y) { return uint32_t(x * 8 + y); }};
  Image deep{48, 48, 32, {}, [](int x, int y) { return (x < 24 ? 0xFF000000u : 0x40000000u) | uint32_t(x << 16 | y << 8 | 7); }};
  const Bytes file = IconFile({{four}, {eight}, {deep, -1, -1, 0, 1, 32}});
  ReadResult r;
  r.params.IcoImageIndex = 2;
  ReadIcon(file, r);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.bitmap.Width(), 48);
  EXPECT_EQ(r.bitmap.Height(), 48);
  EXPECT_EQ(r.bitmap.PixelFormat(), ie24RGB);
  ASSERT_TRUE(r.mask);
  EXPECT_EQ(r.mask->GetPixel(3, 5), 255);
  EXPECT_EQ(r.mask->GetPixel(30, 5), 0x40);
  EXPECT_TRUE(SameRGB(r.bitmap.GetPixelRGB(30, 5), CreateRGB(30, 5, 7)));
  EXPECT_EQ(r.params.IcoSizes[0], (TIOICOSize{16, 16}));
  EXPECT_EQ(r.params.IcoSizes[1], (TIOICOSize{32, 32}));
  EXPECT_EQ(r.params.IcoSizes[2], (TIOICOSize{48, 48}));
  EXPECT_EQ(r.params.IcoSizes[3].Width, 0);
  // Entries without a bit count give the depth of their colour count, or 24.
  EXPECT_EQ(r.params.IcoBitCounts[2], 32);
  EXPECT_EQ(r.params.BitsPerSample, 8);
  EXPECT_EQ(r.params.SamplesPerPixel, 4);
  // The 4-bit image: pixels through its table.
  ReadResult first;
  ReadIcon(file, first);
  ASSERT_TRUE(first.ok);
  EXPECT_TRUE(SameRGB(first.bitmap.GetPixelRGB(3, 2), Grey16()[5]));
  EXPECT_FALSE(first.mask);  // no transparency
  EXPECT_EQ(first.params.ColorMapCount, 16);
}

TEST(IcoReader, TheBitmapHeaderDecidesASizeTheDirectoryGetsWrong) {
  Image img{48, 48, 24, {}, [](int x, int y) { return uint32_t(x << 8 | y); }};
  ReadResult r;
  ReadIcon(IconFile({{img, 32, 32}}), r);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.bitmap.Width(), 48);
  EXPECT_EQ(r.bitmap.Height(), 48);
  EXPECT_EQ(r.bitmap.GetPixelRGB(40, 47).g, 40);
}

TEST(IcoReader, AlphaOfThirtyTwoBitImagesOrTheirAndMask) {
  const auto andBits = [](int x, int) { return x == 1; };
  Image zeroAlpha{2, 1, 32, {}, [](int, int) { return 0x00102030u; }, andBits};
  Image ownAlpha{2, 1, 32, {}, [](int x, int) { return x == 0 ? 0x80102030u : 0xFF102030u; }, andBits};
  ReadResult a, b;
  ReadIcon(IconFile({{zeroAlpha}}), a);
  ReadIcon(IconFile({{ownAlpha}}), b);
  ASSERT_TRUE(a.ok && b.ok);
  ASSERT_TRUE(a.mask && b.mask);
  EXPECT_EQ(a.mask->GetPixel(0, 0), 255);
  EXPECT_EQ(a.mask->GetPixel(1, 0), 0);
  EXPECT_EQ(b.mask->GetPixel(0, 0), 0x80);
  EXPECT_EQ(b.mask->GetPixel(1, 0), 255);
  // 24 bits: the AND mask when it is there, opaque when it is not.
  Image rgb{2, 1, 24, {}, [](int, int) { return 0x102030u; }, andBits};
  ReadResult c, d;
  ReadIcon(IconFile({{rgb}}), c);
  rgb.withMask = false;
  ReadIcon(IconFile({{rgb}}), d);
  ASSERT_TRUE(c.ok && d.ok);
  ASSERT_TRUE(c.mask);
  EXPECT_EQ(c.mask->GetPixel(1, 0), 0);
  EXPECT_FALSE(d.mask);
}

TEST(IcoReader, MaskedPixelsOfPaletteImagesTakeTheBackground) {
  const auto andBits = [](int x, int) { return x == 1; };
  // One bit: transparent pixels white on a white background, black on any other.
  Image mono{2, 1, 1, {CreateRGB(0, 0, 0), CreateRGB(255, 255, 255)}, [](int, int) { return 0u; }, andBits};
  for (bool white : {true, false}) {
    ReadResult r;
    r.params.IcoBackground = white ? CreateRGB(255, 255, 255) : CreateRGB(255, 0, 0);
    ReadIcon(IconFile({{mono}}), r);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.bitmap.PixelFormat(), ie1g);
    EXPECT_EQ(r.bitmap.GetPixelRGB(1, 0).r, white ? 255 : 0);
    EXPECT_EQ(r.bitmap.GetPixelRGB(0, 0).r, 0);
    ASSERT_TRUE(r.mask);
    EXPECT_EQ(r.mask->GetPixel(1, 0), 0);
  }
  // Eight bits: the background colour; indices past a short table are black.
  Image pal{3, 1, 8, {CreateRGB(9, 9, 9), CreateRGB(1, 2, 3)}, [](int x, int) { return uint32_t(x == 2 ? 200 : 1); }, andBits};
  pal.colorsUsed = 2;
  ReadResult r;
  r.params.IcoBackground = CreateRGB(50, 60, 70);
  ReadIcon(IconFile({{pal}}), r);
  ASSERT_TRUE(r.ok);
  EXPECT_TRUE(SameRGB(r.bitmap.GetPixelRGB(0, 0), CreateRGB(1, 2, 3)));
  EXPECT_TRUE(SameRGB(r.bitmap.GetPixelRGB(1, 0), CreateRGB(50, 60, 70)));
  EXPECT_TRUE(SameRGB(r.bitmap.GetPixelRGB(2, 0), CreateRGB(0, 0, 0)));
  EXPECT_EQ(r.params.ColorMapCount, 2);
}

TEST(IcoReader, NativePixelFormats) {
  Image pal{4, 2, 4, Grey16(), [](int x, int y) { return uint32_t(x + 4 * y); }};
  ReadResult r;
  r.params.IsNativePixelFormat = true;
  ReadIcon(IconFile({{pal}}), r);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.bitmap.PixelFormat(), ie8p);
  EXPECT_EQ(r.bitmap.GetPixel8(3, 1), 7);
  EXPECT_TRUE(SameRGB(r.bitmap.GetPaletteColor(7), Grey16()[7]));
  // A depth no icon has: an exception on the native route, a failure on the other.
  Image odd{2, 1, 16, {}, [](int, int) { return 0u; }};
  ReadResult native, plain;
  native.params.IsNativePixelFormat = true;
  const Bytes file = IconFile({{odd}});
  EXPECT_THROW(
      {
        try {
          ReadIcon(file, native);
        } catch (const std::exception& e) {
          EXPECT_STREQ(e.what(), "Unsupported pixel format");
          throw;
        }
      },
      std::exception);
  ReadIcon(file, plain);
  EXPECT_FALSE(plain.ok);
}

TEST(IcoReader, AnIconThatIsReallyABMPReadsAsOne) {
  TIEBitmap src(3, 2, ie24RGB);
  src.SetPixel24(2, 1, CreateRGB(1, 2, 3));
  TIOParamsVals p(nullptr);
  const Bytes bmp = WriteBMP(src, p, false);
  ReadResult r;
  ReadIcon(bmp, r);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.bitmap.Width(), 3);
  EXPECT_TRUE(SameRGB(r.bitmap.GetPixelRGB(2, 1), CreateRGB(1, 2, 3)));
}

TEST(IcoReader, SizeByteZeroIs256AndCanBeChosen) {
  Image big{256, 256, 24, {}, [](int x, int y) { return uint32_t(x << 16 | y); }};
  Image small{16, 16, 24, {}};
  ReadResult r;
  r.params.IcoImageIndex = 1;
  ReadIcon(IconFile({{small}, {big}}), r);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.params.IcoSizes[1], (TIOICOSize{256, 256}));
  EXPECT_EQ(r.bitmap.Width(), 256);
  EXPECT_EQ(r.bitmap.GetPixelRGB(255, 3).r, 255);
}

TEST(IcoReader, CursorsGiveTheirHotSpotAndAlwaysAMask) {
  Image img{2, 2, 4, Grey16(), [](int x, int) { return uint32_t(x); }};
  ReadResult r;
  r.params.IsNativePixelFormat = true;  // ignored by cursors
  ReadIcon(IconFile({{img, -1, -1, 0, 5, 9}}, 2), r, true);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.params.CurXHotSpot, 5);
  EXPECT_EQ(r.params.CurYHotSpot, 9);
  EXPECT_EQ(r.bitmap.PixelFormat(), ie24RGB);
  ASSERT_TRUE(r.mask);
  EXPECT_FALSE(r.mask->Full());
  EXPECT_TRUE(SameRGB(r.bitmap.GetPixelRGB(1, 1), Grey16()[1]));
  // The probes tell the two apart.
  const Bytes cur = IconFile({{img}}, 2), ico = IconFile({{img}}, 1);
  TCustomMemoryStream c(cur.data(), static_cast<int64_t>(cur.size())), i(ico.data(), static_cast<int64_t>(ico.size()));
  EXPECT_TRUE(IsCURStream(c));
  EXPECT_FALSE(IsICOStream(c));
  EXPECT_TRUE(IsICOStream(i));
  EXPECT_FALSE(IsCURStream(i));
  EXPECT_EQ(ICOImageCount(i), 1);
  EXPECT_EQ(i.Position(), 0);
}

TEST(IcoReader, PNGImagesReadThroughThePNGReader) {
  // A 20 x 10 picture with an alpha ramp, as a PNG inside an icon next to a bitmap image.
  TIEBitmap src(20, 10, ie24RGB);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x) {
      src.SetPixel24(x, y, CreateRGB(uint8_t(x * 12), uint8_t(y * 25), 77));
      src.SetAlpha(x, y, uint8_t(x * 13));
    }
  TIOParamsVals p(nullptr);
  const Bytes png = WritePNG(src, p);
  ASSERT_FALSE(png.empty());
  Image small{2, 2, 24, {}};
  ByteBuilder file;
  file.U16(0).U16(1).U16(2);
  const Bytes bitmap = small.Build();
  file.U8(2).U8(2).U8(0).U8(0).U16(1).U16(24).U32(static_cast<uint32_t>(bitmap.size())).U32(38);
  file.U8(20).U8(10).U8(0).U8(0).U16(1).U16(32).U32(static_cast<uint32_t>(png.size()))
      .U32(static_cast<uint32_t>(38 + bitmap.size()));
  file.Raw(bitmap).Raw(png);
  ReadResult r;
  r.params.IcoImageIndex = 1;
  ReadIcon(file.Bytes(), r);
  ASSERT_TRUE(r.ok);
  EXPECT_TRUE(SamePixels(r.bitmap, src));
  EXPECT_FALSE(r.bitmap.HasAlphaChannel());
  ASSERT_TRUE(r.mask);
  EXPECT_EQ(r.mask->GetPixel(7, 3), 7 * 13);
  EXPECT_EQ(r.params.IcoSizes[1], (TIOICOSize{20, 10}));
  // The parameters alone: the whole PNG is read, but not into the caller's bitmap.
  ReadResult params;
  params.params.IcoImageIndex = 1;
  params.bitmap.Allocate(3, 3, ie8g);
  ReadIcon(file.Bytes(), params, false, true);
  ASSERT_TRUE(params.ok);
  EXPECT_EQ(params.params.Width, 20);
  EXPECT_EQ(params.bitmap.Width(), 3);
  // A PNG cut short fails, keeping what was read.
  Bytes cut = file.Bytes();
  cut.resize(cut.size() - png.size() / 2);
  ReadResult broken;
  broken.params.IcoImageIndex = 1;
  ReadIcon(cut, broken);
  EXPECT_FALSE(broken.ok);
}

TEST(IcoReader, HostileIconsAreRefused) {
  Image img{4, 4, 8, std::vector<TIERGB>(256), [](int x, int) { return uint32_t(x); }};
  const Bytes good = IconFile({{img}});
  struct Case { const char* name; Bytes file; int index; };
  auto patch32 = [&](size_t at, uint32_t v) {
    Bytes f = good;
    if (at + 4 <= f.size())
      for (size_t k = 0; k < 4; ++k) f[at + k] = static_cast<uint8_t>(v >> (8 * k));
    return f;
  };
  Bytes truncated = good;
  truncated.resize(good.size() - 20);
  const Case cases[] = {
      {"index equal to the count", good, 1},
      {"negative index", good, -1},
      {"offset past the end", patch32(18, 100000), 0},
      {"offset inside the header", patch32(18, 2), 0},
      {"no depth anywhere", [&] { Bytes f = good; f[22 + 14] = 0; return f; }(), 0},
      {"a bitmap header size of 3", patch32(22, 3), 0},
      {"rows cut short", truncated, 0},
      {"a 65535 x 32767 bitmap", [&] {
         Bytes f = patch32(22 + 4, 65535);
         for (int k = 0; k < 4; ++k) f[22 + 8 + k] = static_cast<uint8_t>(65534 >> (8 * k));
         f[6] = f[7] = 0;
         return f;
       }(), 0},
  };
  IEImageSizeGateLogForTesting(true);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ReadResult r;
    r.params.IcoImageIndex = c.index;
    ReadIcon(c.file, r);
    EXPECT_FALSE(r.ok);
  }
  EXPECT_LE(IEImageSizeGateLogForTesting().LargestGrantedPixels, 16);
}

// ---------------------------------------------------------------------------------------- writer

Bytes WriteIcon(TIEBitmap& b, TIOParamsVals& p, const std::vector<int32_t>& bits, const std::vector<TIOICOSize>& sizes) {
  return WriteWith([&](TStream& s, TIEProgressRecord& pr) {
    WriteICOStream(s, b, p, bits.data(), sizes.data(), static_cast<int32_t>(sizes.size()), pr);
  });
}

TIEBitmap& Picture(TIEBitmap& b, int w, int h, bool alpha) {
  b.Allocate(w, h, ie24RGB);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.SetPixel24(x, y, CreateRGB(uint8_t(x * 255 / w), uint8_t(y * 255 / h), 90));
  if (alpha)
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) b.SetAlpha(x, y, x < w / 4 ? 0 : (x < w / 2 ? 128 : 255));
  return b;
}

TEST(IcoWriter, ThreeSizesAtFourEightAndThirtyTwoBits) {
  TIEBitmap src;
  Picture(src, 64, 64, true);
  TIOParamsVals p(nullptr);
  const Bytes file = WriteIcon(src, p, {4, 8, 32}, {{16, 16}, {32, 32}, {48, 48}});
  ASSERT_FALSE(file.empty());
  const auto u32 = [&](size_t at) { return uint32_t(file[at] | file[at + 1] << 8 | file[at + 2] << 16 | file[at + 3] << 24); };
  EXPECT_EQ(file[6 + 2], 16);        // colour count of the 4-bit image
  EXPECT_EQ(file[6 + 16 + 2], 255);  // of the 8-bit one
  EXPECT_EQ(file[6 + 32 + 2], 0);
  for (int i = 0; i < 2; ++i) {
    // The colour tables start with black; pixels that are not fully opaque use it and are masked.
    const size_t image = u32(6 + 16 * i + 12);
    EXPECT_EQ(Bytes(file.begin() + static_cast<long>(image) + 40, file.begin() + static_cast<long>(image) + 44), (Bytes{0, 0, 0, 0}));
    const int depth = i == 0 ? 4 : 8, size = i == 0 ? 16 : 32;
    const size_t rows = image + 40 + 4 * (size_t{1} << depth);
    const uint8_t first = file[rows];
    EXPECT_EQ(depth == 4 ? first >> 4 : first, 0);  // the bottom row's first pixel: alpha 0
    const size_t mask = rows + static_cast<size_t>((size * depth + 31) / 32 * 4) * size;
    EXPECT_EQ(file[mask] & 0x80, 0x80);
    EXPECT_EQ(file[mask + (size * 3 / 4) / 8] & (0x80 >> ((size * 3 / 4) % 8)), 0);  // opaque
  }
  // Read back: the same sizes and depths.
  ReadResult r;
  r.params.IcoImageIndex = 2;
  ReadIcon(file, r);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.params.IcoSizes[0], (TIOICOSize{16, 16}));
  EXPECT_EQ(r.params.IcoSizes[1], (TIOICOSize{32, 32}));
  EXPECT_EQ(r.params.IcoSizes[2], (TIOICOSize{48, 48}));
  EXPECT_EQ(r.params.IcoBitCounts[0], 4);
  EXPECT_EQ(r.params.IcoBitCounts[1], 8);
  EXPECT_EQ(r.params.IcoBitCounts[2], 32);
  ASSERT_TRUE(r.mask);
  EXPECT_EQ(r.mask->GetPixel(2, 10), 0);
  EXPECT_EQ(r.mask->GetPixel(40, 10), 255);
}

TEST(IcoWriter, RoundTripsAtEachDepth) {
  // Pictures of few colours (exact in 15 and 255 palette entries) at their own size; at one bit two
  // colours, the darker one black.
  TIEBitmap src(20, 12, ie24RGB), two(20, 12, ie24RGB);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 20; ++x) {
      src.SetPixel24(x, y, x < 10 ? CreateRGB(200, 30, 30) : CreateRGB(10, 20, uint8_t(y * 20)));
      two.SetPixel24(x, y, x < 10 ? CreateRGB(200, 30, 30) : CreateRGB(10, 20, 100));
    }
  for (int32_t depth : {1, 4, 8, 24, 32}) {
    SCOPED_TRACE(depth);
    TIOParamsVals p(nullptr);
    const Bytes file = WriteIcon(depth == 1 ? two : src, p, {depth}, {{20, 12}});
    ReadResult r;
    ReadIcon(file, r);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.params.IcoBitCounts[0], depth);
    EXPECT_FALSE(r.mask);
    for (int y = 0; y < 12; ++y)
      for (int x = 0; x < 20; ++x) {
        const TIERGB want = depth != 1 ? src.GetPixelRGB(x, y) : (x < 10 ? CreateRGB(255, 255, 255) : CreateRGB(0, 0, 0));
        ASSERT_TRUE(SameRGB(r.bitmap.GetPixelRGB(x, y), want)) << x << "," << y;
      }
  }
}

TEST(IcoWriter, DepthZeroFollowsTheRecordAndOffsetsCountFromTheIcon) {
  TIEBitmap src;
  Picture(src, 8, 8, false);
  TIOParamsVals p(nullptr);
  p.BitsPerSample = 8;
  p.SamplesPerPixel = 3;
  TMemoryStream s;
  s.WriteBuffer("0123456789", 10);
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  const int32_t bits[] = {0};
  const TIOICOSize sizes[] = {{8, 8}};
  WriteICOStream(s, src, p, bits, sizes, 1, progress);
  ASSERT_FALSE(aborting);
  const auto* m = static_cast<const uint8_t*>(s.Memory());
  EXPECT_EQ(m[10 + 6 + 6], 24);   // bits per pixel of the entry
  EXPECT_EQ(m[10 + 6 + 12], 22);  // offset from the icon's first byte
  EXPECT_EQ(m[10 + 22 + 14], 24);
}

TEST(IcoWriter, ABilevelPictureAtEightBitsAndNoSizes) {
  TIEBitmap src(10, 10, ie1g);
  src.Fill(0);
  SetRowBit(src.GetRow(3), 4, 1);
  TIOParamsVals p(nullptr);
  const Bytes file = WriteIcon(src, p, {8}, {{10, 10}});
  ReadResult r;
  ReadIcon(file, r);
  ASSERT_TRUE(r.ok);
  // A grey picture gets the quantizer's grey ramp of 255 levels: white is its last, 254.
  EXPECT_GE(r.bitmap.GetPixelRGB(4, 3).g, 254);
  EXPECT_TRUE(SameRGB(r.bitmap.GetPixelRGB(5, 3), CreateRGB(0, 0, 0)));
  EXPECT_TRUE(WriteIcon(src, p, {}, {}).empty());
  EXPECT_TRUE(WriteIcon(src, p, {8}, {{0, 10}}).empty());
  TShortStream s(100);
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  const int32_t bits[] = {32};
  const TIOICOSize sizes[] = {{64, 64}};
  WriteICOStream(s, src, p, bits, sizes, 1, progress);
  EXPECT_TRUE(aborting);
}

}  // namespace
