#include "imaging/io/codecs/tga_codec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/core/ie_mask.h"
#include "imaging/core/ie_settings.h"
#include "imaging/io/io_params.h"
#include "platform/system/date_time.h"
#include "platform/system/streams.h"
#include "tests/imaging/io/codecs/codec_test_support.h"
#include "tests/support/byte_builder.h"

namespace {

using namespace codectest;
using testsupport::ByteBuilder;

Bytes WriteTGA(TIEBitmap& b, TIOParamsVals& p, TIEMask* alpha = nullptr) {
  return WriteWith([&](TStream& s, TIEProgressRecord& pr) { WriteTGAStream(s, b, p, pr, alpha); });
}

struct ReadResult {
  bool ok = false;
  TIEBitmap bitmap;
  std::unique_ptr<TIEMask> mask;
  TIOParamsVals params{nullptr};
};
void Read(const Bytes& file, ReadResult& r, bool paramsOnly = false) {
  r.ok = ReadWith(file, [&](TStream& s, TIEProgressRecord& pr) {
    ReadTGAStream(s, r.bitmap, r.params, pr, paramsOnly, r.mask, paramsOnly);
  });
}

// An 18-byte header, then the ID, the colour map and the pixel bytes; no footer.
Bytes Targa(uint8_t type, uint8_t depth, uint16_t w, uint16_t h, uint8_t descriptor, const Bytes& pixels,
            uint8_t mapType = 0, uint16_t mapFirst = 0, uint16_t mapLength = 0, uint8_t entrySize = 0,
            const Bytes& map = {}) {
  ByteBuilder b;
  b.U8(0).U8(mapType).U8(type).U16(mapFirst).U16(mapLength).U8(entrySize).U16(0).U16(0).U16(w).U16(h).U8(depth).U8(descriptor);
  b.Raw(map).Raw(pixels);
  return b.Bytes();
}

TEST(TgaCodec, RoundTripsAtEveryDepthWithAndWithoutRunLengthCoding) {
  struct Case {
    const char* name;
    int bits, samples;
    bool gray, alpha;
    int colors;
    uint8_t type;  // the image type written, uncoded
  };
  const Case cases[] = {
      {"1 bit", 1, 1, false, false, 2, 3},     {"4 bits as 8", 4, 1, false, false, 16, 1},
      {"8-bit palette", 8, 1, false, false, 256, 1}, {"8-bit grey", 8, 1, true, false, 256, 3},
      {"24 bits", 8, 3, false, false, 256, 2}, {"32 bits", 8, 3, false, true, 256, 2},
  };
  for (const Case& c : cases)
    for (bool rle : {false, true}) {
      SCOPED_TRACE(testing::Message() << c.name << (rle ? " rle" : ""));
      TIEBitmap src;
      PaintColors(src, 45, 13, c.colors);
      if (c.bits == 1) {
        TIEBitmap bw(45, 13, ie1g);
        bw.CopyAndConvertFormat(src);
        src.Allocate(45, 13, ie24RGB);
        src.CopyAndConvertFormat(bw);
      }
      if (c.gray) {
        for (int y = 0; y < 13; ++y)
          for (int x = 0; x < 45; ++x) {
            const uint8_t g = uint8_t(x * 5 + y);
            src.SetPixel24(x, y, CreateRGB(g, g, g));
          }
      }
      TIEMask mask;
      if (c.alpha) {
        mask.Allocate(45, 13, 8);
        for (int y = 0; y < 13; ++y)
          for (int x = 0; x < 45; ++x) mask.SetPixel(x, y, (x * 17 + y) % 256);
      }
      TIOParamsVals p(nullptr);
      p.BitsPerSample = c.bits;
      p.SamplesPerPixel = c.samples;
      p.TgaGrayLevel = c.gray;
      p.TgaCompressed = rle;
      const Bytes file = WriteTGA(src, p, c.alpha ? &mask : nullptr);
      ASSERT_FALSE(file.empty());
      const bool coded = rle && c.bits != 1 && !c.alpha;
      EXPECT_EQ(file[2], c.type + (coded ? 8 : 0));
      EXPECT_EQ(p.TgaCompressed, coded);
      ReadResult r;
      Read(file, r);
      ASSERT_TRUE(r.ok);
      EXPECT_TRUE(SamePixels(r.bitmap, src));
      EXPECT_EQ(r.params.TgaCompressed, coded);
      EXPECT_EQ(r.params.TgaGrayLevel, c.gray);
      if (c.alpha) {
        ASSERT_TRUE(r.mask);
        for (int y = 0; y < 13; ++y)
          for (int x = 0; x < 45; ++x) ASSERT_EQ(r.mask->GetPixel(x, y), (x * 17 + y) % 256) << x << "," << y;
      } else {
        EXPECT_FALSE(r.mask);
      }
    }
}

TEST(TgaCodec, FourBitsAreWrittenAsEightWithASixteenColourMap) {
  TIEBitmap src;
  PaintColors(src, 9, 4, 16);
  TIOParamsVals p(nullptr);
  p.BitsPerSample = 4;
  p.SamplesPerPixel = 1;
  p.TgaCompressed = false;
  const Bytes file = WriteTGA(src, p);
  EXPECT_EQ(file[16], 8);                     // depth
  EXPECT_EQ(file[5] | file[6] << 8, 16);      // map length
  EXPECT_EQ(file[7], 24);                     // entry size
  EXPECT_EQ(p.ColorMapCount, 16);
  // Depth 4 from elsewhere is refused: nothing decodes it.
  ReadResult r;
  Read(Targa(1, 4, 2, 1, 0, {0x12}), r);
  EXPECT_FALSE(r.ok);
}

TEST(TgaCodec, AFileWithoutFooterHasTheDefaultExtras) {
  ReadResult r;
  Read(Targa(2, 24, 1, 1, 0, {1, 2, 3}), r);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.params.TgaDate, Today());
  EXPECT_EQ(r.params.TgaGamma, 2.2);
  EXPECT_EQ(r.params.TgaAspectRatio, 1.0);
  EXPECT_TRUE(r.params.TgaAuthor.empty());
  EXPECT_EQ(r.params.DpiX, DefaultDPIX);
  EXPECT_TRUE(SameRGB(r.bitmap.GetPixelRGB(0, 0), CreateRGB(3, 2, 1)));
}

TEST(TgaCodec, TheExtensionAreaRoundTripsAndLongTextsAreCut) {
  TIEBitmap src;
  PaintColors(src, 3, 2, 5);
  TIOParamsVals p(nullptr);
  p.TgaAuthor = std::string(60, 'a');
  p.TgaImageName = "job \xC3\xA9";  // UTF-8; stored as Latin-1
  p.TgaDescription = std::string(300, 'd');
  double date = 0, time = 0;
  TryEncodeDate(2024, 2, 29, date);
  TryEncodeTime(13, 45, 7, 0, time);
  p.TgaDate = date + time;
  p.TgaBackground = CreateRGB(10, 20, 30);
  p.TgaAspectRatio = 0.5;
  p.TgaGamma = 2.2;
  p.TgaXPos = 7;
  p.TgaYPos = 9;
  const Bytes file = WriteTGA(src, p);
  ASSERT_FALSE(file.empty());
  EXPECT_EQ(file[0], 255);  // 254 characters and the zero byte
  const std::string signature(file.end() - 18, file.end());
  EXPECT_EQ(signature, std::string("TRUEVISION-XFILE.") + '\0');
  // Gamma 2.2 as 22000 / 10000.
  const size_t ext = file.size() - 26 - 495;
  EXPECT_EQ(file[ext + 478] | file[ext + 479] << 8, 22000);
  EXPECT_EQ(file[ext + 480] | file[ext + 481] << 8, 10000);
  ReadResult r;
  Read(file, r);
  ASSERT_TRUE(r.ok);
  EXPECT_TRUE(SamePixels(r.bitmap, src));
  EXPECT_EQ(r.params.TgaAuthor, std::string(40, 'a'));
  EXPECT_EQ(r.params.TgaImageName, "job \xC3\xA9");
  EXPECT_EQ(r.params.TgaDescription, std::string(254, 'd'));
  EXPECT_NEAR(r.params.TgaDate, date + time, 1e-8);
  EXPECT_TRUE(SameRGB(r.params.TgaBackground, CreateRGB(10, 20, 30)));
  EXPECT_EQ(r.params.TgaAspectRatio, 0.5);
  EXPECT_DOUBLE_EQ(r.params.TgaGamma, 2.2);
  EXPECT_EQ(r.params.TgaXPos, 7);
  EXPECT_EQ(r.params.TgaYPos, 9);
  // Aspect and gamma past their 16-bit fields are clamped.
  p.TgaAspectRatio = 1e9;
  p.TgaGamma = -3;
  const Bytes clamped = WriteTGA(src, p);
  const size_t e2 = clamped.size() - 26 - 495;
  EXPECT_EQ(clamped[e2 + 474] | clamped[e2 + 475] << 8, 65535);
  EXPECT_EQ(clamped[e2 + 478] | clamped[e2 + 479] << 8, 0);
}

TEST(TgaCodec, ThirtyTwoBitAlphaGivesAMaskUnlessAllTransparent) {
  // 2 x 1 pixels, B G R A.
  ReadResult none, some;
  Read(Targa(2, 32, 2, 1, 8, {1, 2, 3, 0, 4, 5, 6, 0}), none);
  Read(Targa(2, 32, 2, 1, 8, {1, 2, 3, 255, 4, 5, 6, 0}), some);
  ASSERT_TRUE(none.ok);
  ASSERT_TRUE(some.ok);
  EXPECT_FALSE(none.mask);
  ASSERT_TRUE(some.mask);
  EXPECT_EQ(some.mask->GetPixel(0, 0), 255);
  EXPECT_EQ(some.mask->GetPixel(1, 0), 0);
}

TEST(TgaCodec, RowOrderAndDirectionFollowTheDescriptor) {
  // 2 x 2 grey: rows stored top first with bit 5, bottom first without; bit 4 reverses each row.
  const Bytes topDown = Targa(3, 8, 2, 2, 0x20, {1, 2, 3, 4});
  const Bytes bottomUp = Targa(3, 8, 2, 2, 0x00, {3, 4, 1, 2});
  const Bytes rightToLeft = Targa(3, 8, 2, 2, 0x30, {2, 1, 4, 3});
  for (const Bytes* f : {&topDown, &bottomUp, &rightToLeft}) {
    ReadResult r;
    Read(*f, r);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.bitmap.GetPixelRGB(0, 0).g, 1);
    EXPECT_EQ(r.bitmap.GetPixelRGB(1, 0).g, 2);
    EXPECT_EQ(r.bitmap.GetPixelRGB(0, 1).g, 3);
    EXPECT_EQ(r.bitmap.GetPixelRGB(1, 1).g, 4);
  }
  // Right to left at depth 1: the bits of a row in reverse.
  ReadResult bits;
  Read(Targa(3, 1, 10, 1, 0x30, {0b11000000, 0}), bits);
  ASSERT_TRUE(bits.ok);
  EXPECT_EQ(bits.bitmap.PixelFormat(), ie1g);
  for (int x = 0; x < 10; ++x) EXPECT_EQ(GetRowBit(bits.bitmap.GetRow(0), x) != 0, x == 8 || x == 9) << x;
}

TEST(TgaCodec, RunsCarryOverRowEndsAndDepthOneRunsOverPackedBytes) {
  // 3 x 2 at 24 bits: a run of 4 crosses the first row's end, then a literal of 2.
  ReadResult r;
  Read(Targa(10, 24, 3, 2, 0x20, {0x83, 9, 8, 7, 0x01, 1, 1, 1, 2, 2, 2}), r);
  ASSERT_TRUE(r.ok);
  for (int x = 0; x < 3; ++x) EXPECT_TRUE(SameRGB(r.bitmap.GetPixelRGB(x, 0), CreateRGB(7, 8, 9)));
  EXPECT_TRUE(SameRGB(r.bitmap.GetPixelRGB(0, 1), CreateRGB(7, 8, 9)));
  EXPECT_TRUE(SameRGB(r.bitmap.GetPixelRGB(2, 1), CreateRGB(2, 2, 2)));
  // 16 x 2 at depth 1: one run of four packed bytes.
  ReadResult bits;
  Read(Targa(11, 1, 16, 2, 0x20, {0x83, 0xF0}), bits);
  ASSERT_TRUE(bits.ok);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 16; ++x) EXPECT_EQ(GetRowBit(bits.bitmap.GetRow(y), x) != 0, (x & 7) < 4);
}

TEST(TgaCodec, ColourMapsOfEveryEntrySize) {
  // Indices 0..3 through a map starting at entry 1 (entry 0 keeps the 3-3-2 ramp's colour).
  struct Case { uint8_t size; Bytes map; };
  const Case cases[] = {
      {15, {0xFF, 0x7F, 0x1F, 0x00, 0xE0, 0x03}},           // white, blue, green (5-5-5)
      {16, {0xFF, 0xFF, 0x1F, 0x80, 0xE0, 0x83}},           // the same with the top bit set
      {24, {255, 255, 255, 255, 0, 0, 0, 255, 0}},          // B G R
      {32, {255, 255, 255, 255, 255, 0, 0, 128, 0, 255, 0, 255}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.size));
    ReadResult r;
    Read(Targa(1, 8, 4, 1, 0x20, {0, 1, 2, 3}, 1, 1, 3, c.size, c.map), r);
    ASSERT_TRUE(r.ok);
    EXPECT_TRUE(SameRGB(r.bitmap.GetPixelRGB(0, 0), CreateRGB(28, 28, 60)));
    EXPECT_TRUE(SameRGB(r.bitmap.GetPixelRGB(1, 0), CreateRGB(255, 255, 255)));
    EXPECT_TRUE(SameRGB(r.bitmap.GetPixelRGB(2, 0), CreateRGB(0, 0, 255)));
    EXPECT_TRUE(SameRGB(r.bitmap.GetPixelRGB(3, 0), CreateRGB(0, 255, 0)));
    EXPECT_EQ(r.params.ColorMapCount, 3);
    EXPECT_EQ(r.mask != nullptr, c.size == 32);
    if (c.size == 32) {
      EXPECT_EQ(r.mask->GetPixel(2, 0), 128);
    }
  }
  // 16-bit pixels widen their channels the same way.
  ReadResult wide;
  Read(Targa(2, 16, 1, 1, 0, {0xFF, 0x7F}), wide);
  ASSERT_TRUE(wide.ok);
  EXPECT_TRUE(SameRGB(wide.bitmap.GetPixelRGB(0, 0), CreateRGB(255, 255, 255)));
  EXPECT_EQ(wide.params.BitsPerSample, 5);
}

TEST(TgaCodec, OversizedColourMapsAreSkippedPastTheLastEntry) {
  // A map of 300 entries starting at 200: entries past 255 are read over, not stored.
  Bytes map;
  for (int i = 0; i < 300; ++i) map.insert(map.end(), {uint8_t(i), uint8_t(i), uint8_t(i)});
  ReadResult r;
  Read(Targa(1, 8, 2, 1, 0x20, {200, 255}, 1, 200, 300, 24, map), r);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.bitmap.GetPixelRGB(0, 0).r, 0);
  EXPECT_EQ(r.bitmap.GetPixelRGB(1, 0).r, 55);
  EXPECT_EQ(r.params.ColorMapCount, 256);
  // An entry size the format does not have.
  ReadResult odd;
  Read(Targa(1, 8, 2, 1, 0x20, {0, 1}, 1, 0, 2, 8, {1, 2}), odd);
  EXPECT_FALSE(odd.ok);
}

TEST(TgaCodec, HostileFilesAreRefused) {
  IEImageSizeGateLogForTesting(true);
  struct Case { const char* name; Bytes file; };
  const Case cases[] = {
      {"type 4", Targa(4, 24, 1, 1, 0, {1, 2, 3})},
      {"depth 12", Targa(2, 12, 1, 1, 0, {1, 2})},
      {"no width", Targa(2, 24, 0, 1, 0, {})},
      {"colour-map type 2", Targa(2, 24, 1, 1, 0, {1, 2, 3}, 2)},
      {"a map past the end", Targa(1, 8, 1, 1, 0, {}, 1, 0, 256, 24, {1, 2, 3})},
      {"65535 x 65535 out of a few runs", Targa(10, 24, 65535, 65535, 0, Bytes(60, 0xFF))},
      {"truncated rows", Targa(2, 24, 4, 4, 0, Bytes(20, 7))},
      {"a run cut short", Targa(10, 32, 4, 1, 0, {0x83, 1, 2})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ReadResult r;
    Read(c.file, r);
    EXPECT_FALSE(r.ok);
  }
  EXPECT_LE(IEImageSizeGateLogForTesting().LargestGrantedPixels, 16);
}

TEST(TgaCodec, TheProbeTakesTheHeaderTest) {
  struct Case { Bytes file; bool match; };
  const Case cases[] = {{Targa(2, 24, 1, 1, 0, {}), true},  {Targa(9, 8, 1, 1, 0, {}), true},
                        {Targa(2, 4, 1, 1, 0, {}), true},   {Targa(2, 15, 1, 1, 0, {}), false},
                        {Targa(2, 24, 1, 0, 0, {}), false}, {Targa(5, 24, 1, 1, 0, {}), false},
                        {Bytes(17, 0), false}};
  for (const Case& c : cases) {
    TCustomMemoryStream s(c.file.data(), static_cast<int64_t>(c.file.size()));
    EXPECT_EQ(IsTGAStream(s), c.match);
    EXPECT_EQ(s.Position(), 0);
  }
  // The reader takes depth 15 (5-5-5 pixels) all the same.
  ReadResult r;
  Read(Targa(2, 15, 1, 1, 0, {0x1F, 0}), r);
  ASSERT_TRUE(r.ok);
  EXPECT_TRUE(SameRGB(r.bitmap.GetPixelRGB(0, 0), CreateRGB(0, 0, 255)));
}

TEST(TgaWriter, AShortWriteSetsAborting) {
  TIEBitmap src;
  PaintColors(src, 50, 50, 256);
  TIOParamsVals p(nullptr);
  TShortStream s(300);
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  WriteTGAStream(s, src, p, progress, nullptr);
  EXPECT_TRUE(aborting);
  // Sides past 65535 do not fit the header.
  TIEBitmap wide(70000, 1, ie1g);
  EXPECT_TRUE(WriteTGA(wide, p).empty());
}

}  // namespace
