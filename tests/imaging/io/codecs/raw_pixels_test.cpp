#include "imaging/io/codecs/raw_pixels_codec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/io/codecs/metafile_probe.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"
#include "tests/imaging/io/codecs/codec_test_support.h"
#include "tests/support/byte_builder.h"

namespace {

using namespace codectest;
using testsupport::ByteBuilder;

struct Layout {
  int32_t align = 8;
  uint8_t format = 0;  // 0 binary, 1 decimal, 2 hexadecimal
  bool planar = false;
  bool bgr = false;
  int32_t header = 0;
};

bool Read(const Bytes& data, TIEBitmap& b, const Layout& l, std::vector<int32_t>* progress = nullptr) {
  TIOParamsVals p(nullptr);
  p.RawBitmapRowAlign = l.align;
  p.RawBitmapDataFormat = l.format;
  p.RawBitmapPlanar = l.planar;
  p.RawBitmapBGR = l.bgr;
  p.RawBitmapHeaderSize = l.header;
  return ReadWith(data, [&](TStream& s, TIEProgressRecord& pr) {
    if (progress) pr.OnProgress = [progress](TObject*, int32_t percent) { progress->push_back(percent); };
    ReadRawBitmapStream(s, b, p, pr);
  });
}

// 2 x 2 pixels: red, green / blue, white, as red-green-blue bytes.
const Bytes kRGB = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};

void ExpectRedGreenBlueWhite(TIEBitmap& b) {
  EXPECT_TRUE(SameRGB(b.GetPixelRGB(0, 0), CreateRGB(255, 0, 0)));
  EXPECT_TRUE(SameRGB(b.GetPixelRGB(1, 0), CreateRGB(0, 255, 0)));
  EXPECT_TRUE(SameRGB(b.GetPixelRGB(0, 1), CreateRGB(0, 0, 255)));
  EXPECT_TRUE(SameRGB(b.GetPixelRGB(1, 1), CreateRGB(255, 255, 255)));
}

TEST(RawPixels, InterleavedPlanarAndSwapped) {
  TIEBitmap rgb(2, 2, ie24RGB), bgr(2, 2, ie24RGB), planar(2, 2, ie24RGB), skipped(2, 2, ie24RGB);
  ASSERT_TRUE(Read(kRGB, rgb, {}));
  ExpectRedGreenBlueWhite(rgb);
  Bytes swapped = kRGB;
  for (size_t i = 0; i < swapped.size(); i += 3) std::swap(swapped[i], swapped[i + 2]);
  ASSERT_TRUE(Read(swapped, bgr, {.bgr = true}));
  ExpectRedGreenBlueWhite(bgr);
  // Four red samples, then four green, then four blue.
  std::vector<int32_t> progress;
  ASSERT_TRUE(Read({255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255}, planar, {.planar = true}, &progress));
  ExpectRedGreenBlueWhite(planar);
  EXPECT_EQ(progress, (std::vector<int32_t>{0, 33, 66, 100}));
  Bytes withHeader(16, 0xEE);
  withHeader.insert(withHeader.end(), kRGB.begin(), kRGB.end());
  ASSERT_TRUE(Read(withHeader, skipped, {.header = 16}));
  ExpectRedGreenBlueWhite(skipped);
}

TEST(RawPixels, RowPaddingOfTheData) {
  // 3 x 2 grey with rows padded to 32 bits: one byte of padding each.
  TIEBitmap b(3, 2, ie8g);
  ASSERT_TRUE(Read({1, 2, 3, 99, 4, 5, 6, 99}, b, {.align = 32}));
  EXPECT_EQ(b.GetPixel8(2, 0), 3);
  EXPECT_EQ(b.GetPixel8(0, 1), 4);
  // Padded to 64 bits, planar 16-bit words of 2 x 1 red, green, blue.
  TIEBitmap w(2, 1, ieRGB48);
  ByteBuilder data;
  for (uint16_t v : {1000, 2000}) data.U16(v);
  data.Zeros(4);
  for (uint16_t v : {3000, 4000}) data.U16(v);
  data.Zeros(4);
  for (uint16_t v : {5000, 6000}) data.U16(v);
  data.Zeros(4);
  ASSERT_TRUE(Read(data.Bytes(), w, {.align = 64, .planar = true}));
  // ieRGB48 holds red, green, blue: red-green-blue data stay as they are.
  const TIERGB48 p = w.GetPixel48(1, 0);
  EXPECT_EQ(p.r, 2000);
  EXPECT_EQ(p.g, 4000);
  EXPECT_EQ(p.b, 6000);
  // Blue-green-red data are exchanged.
  TIEBitmap s(2, 1, ieRGB48);
  ASSERT_TRUE(Read(data.Bytes(), s, {.align = 64, .planar = true, .bgr = true}));
  EXPECT_EQ(s.GetPixel48(1, 0).r, 6000);
}

TEST(RawPixels, DecimalAndHexadecimalText) {
  TIEBitmap dec(3, 1, ie8g), hex(2, 1, ie8g), words(2, 1, ie16g), floats(2, 1, ie32f), cmyk(1, 1, ieCMYK);
  ASSERT_TRUE(Read(Text("12, 200;\n 7"), dec, {.format = 1}));
  EXPECT_EQ(dec.GetPixel8(0, 0), 12);
  EXPECT_EQ(dec.GetPixel8(1, 0), 200);
  EXPECT_EQ(dec.GetPixel8(2, 0), 7);
  ASSERT_TRUE(Read(Text("FF 0A"), hex, {.format = 2}));
  EXPECT_EQ(hex.GetPixel8(0, 0), 255);
  EXPECT_EQ(hex.GetPixel8(1, 0), 10);
  // Samples keep their low bits; up to 34 digits are taken modulo 2^64.
  ASSERT_TRUE(Read(Text("65537 18446744073709551617"), words, {.format = 1}));
  EXPECT_EQ(words.GetPixel16(0, 0), 1);
  EXPECT_EQ(words.GetPixel16(1, 0), 1);
  ASSERT_TRUE(Read(Text("1 2000000"), floats, {.format = 1}));
  EXPECT_EQ(floats.GetPixel32f(1, 0), 2000000.0f);
  ASSERT_TRUE(Read(Text("1 2 3 4"), cmyk, {.format = 1, .planar = true}));
  EXPECT_EQ(cmyk.GetPixelCMYK(0, 0), CreateCMYK(1, 2, 3, 4));
  // Hexadecimal text has no float.
  TIEBitmap f(1, 1, ie32f);
  EXPECT_THROW(
      {
        try {
          Read(Text("1"), f, {.format = 2});
        } catch (const std::exception& e) {
          EXPECT_STREQ(e.what(), "Format unsupported");
          throw;
        }
      },
      std::exception);
}

TEST(RawPixels, WhatCannotBeReadFails) {
  struct Case {
    const char* name;
    TIEPixelFormat format;
    Layout layout;
    Bytes data;
  };
  const Case cases[] = {
      {"row padding 0", ie8g, {.align = 0}, Bytes(8, 1)},
      {"row padding 12", ie8g, {.align = 12}, Bytes(8, 1)},
      {"negative header", ie8g, {.header = -4}, Bytes(8, 1)},
      {"text into bits", ie1g, {.format = 1}, Text("1 0 1 0")},
      {"CIE L*a*b*", ieCIELab, {}, Bytes(64, 1)},
      {"32-bit RGB", ie32RGB, {}, Bytes(64, 1)},
      {"data cut short", ie24RGB, {}, Bytes(7, 1)},
      {"text cut short", ie8g, {.format = 1}, Text("1 2 3")},
      {"a header longer than the data", ie8g, {.header = 100}, Bytes(20, 1)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TIEBitmap b(2, 2, c.format);
    EXPECT_FALSE(Read(c.data, b, c.layout));
  }
  TIEBitmap empty;
  EXPECT_FALSE(Read(Bytes(8, 1), empty, {}));
}

TEST(MetafileProbes, PlaceableAndPlainWindowsMetafilesAndEnhancedOnes) {
  ByteBuilder header;  // the 18-byte metafile header
  header.U16(1).U16(9).U16(0x300).U32(100).U16(0).U32(20).U16(0);
  ByteBuilder placeable;
  placeable.U32(0x9AC6CDD7).Zeros(18).Raw(header.Bytes());
  ByteBuilder disk;
  disk.U16(2).U16(9).U16(0x300).U32(100).U16(0).U32(20).U16(0);
  ByteBuilder emf;
  emf.U32(1).U32(108).Zeros(32).U32(0x464D4520).Zeros(60);
  struct Case { const char* name; Bytes data; bool wmf, emf; };
  const Case cases[] = {
      {"placeable", placeable.Bytes(), true, false},
      {"plain", header.Bytes(), true, false},
      {"header type 2", disk.Bytes(), false, false},
      {"enhanced", emf.Bytes(), false, true},
      {"enhanced cut before its signature", Bytes(emf.Bytes().begin(), emf.Bytes().begin() + 30), false, false},
      {"the placeable key alone", Bytes{0xD7, 0xCD, 0xC6, 0x9A}, false, false},
      {"empty", Bytes{}, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TCustomMemoryStream s(c.data.data(), static_cast<int64_t>(c.data.size()));
    EXPECT_EQ(IsWMFStream(s), c.wmf);
    EXPECT_EQ(IsEMFStream(s), c.emf);
    EXPECT_EQ(s.Position(), 0);
  }
}

}  // namespace
