#include "imaging/io/codecs/wbmp_codec.h"

#include <gtest/gtest.h>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/core/ie_settings.h"
#include "imaging/io/io_params.h"
#include "platform/system/streams.h"
#include "tests/imaging/io/codecs/codec_test_support.h"

namespace {

using namespace codectest;

struct ReadResult {
  bool ok = false;
  TIEBitmap bitmap;
  TIOParamsVals params{nullptr};
};
void Read(const Bytes& file, ReadResult& r, bool paramsOnly = false) {
  r.ok = ReadWith(file, [&](TStream& s, TIEProgressRecord& pr) { ReadWBMPStream(s, r.bitmap, r.params, pr, paramsOnly); });
}

Bytes WriteWBMP(TIEBitmap& b) {
  return WriteWith([&](TStream& s, TIEProgressRecord& pr) { WriteWBMPStream(s, b, pr); });
}

TEST(WbmpCodec, MultiByteSizesReadAndWrite) {
  // 300 x 20: the width as 130, 44 (2 * 128 + 44); 38 bytes a row.
  Bytes file = {0, 0, 130, 44, 20};
  for (int y = 0; y < 20; ++y)
    for (int i = 0; i < 38; ++i) file.push_back(static_cast<uint8_t>(y == 3 && i == 0 ? 0x80 : 0));
  ReadResult r;
  Read(file, r);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.bitmap.Width(), 300);
  EXPECT_EQ(r.bitmap.Height(), 20);
  EXPECT_EQ(r.bitmap.PixelFormat(), ie1g);
  EXPECT_NE(GetRowBit(r.bitmap.GetRow(3), 0), 0);  // 1 is white
  EXPECT_EQ(GetRowBit(r.bitmap.GetRow(3), 1), 0);
  EXPECT_EQ(r.params.BitsPerSample, 1);
  EXPECT_EQ(r.params.DpiX, DefaultDPIX);
  // 200 x 100 is written with the width as 129, 72.
  TIEBitmap src(200, 100, ie1g);
  src.Fill(0);
  SetRowBit(src.GetRow(99), 199, 1);
  const Bytes written = WriteWBMP(src);
  EXPECT_EQ(Bytes(written.begin(), written.begin() + 5), (Bytes{0, 0, 129, 72, 100}));
  EXPECT_EQ(written.size(), 5u + 25 * 100);
  ReadResult back;
  Read(written, back);
  ASSERT_TRUE(back.ok);
  EXPECT_NE(GetRowBit(back.bitmap.GetRow(99), 199), 0);
}

TEST(WbmpCodec, AColourSourceIsWrittenThroughABilevelCopy) {
  TIEBitmap src(9, 2, ie24RGB);
  src.SetPixel24(8, 1, CreateRGB(255, 255, 255));
  const Bytes file = WriteWBMP(src);
  EXPECT_EQ(src.PixelFormat(), ie24RGB);
  // Nine pixels take two bytes a row.
  EXPECT_EQ(file, (Bytes{0, 0, 9, 2, 0, 0, 0, 0x80}));
}

TEST(WbmpCodec, LargeSourcesAreScaledNotCropped) {
  // 600 x 300, white on its right half: 255 x 127, still white on the right half.
  TIEBitmap src(600, 300, ie1g);
  src.Fill(0);
  for (int y = 0; y < 300; ++y)
    for (int x = 300; x < 600; ++x) SetRowBit(src.GetRow(y), x, 1);
  ReadResult r;
  Read(WriteWBMP(src), r);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.bitmap.Width(), 255);
  EXPECT_EQ(r.bitmap.Height(), 127);
  EXPECT_EQ(GetRowBit(r.bitmap.GetRow(60), 10), 0);
  EXPECT_NE(GetRowBit(r.bitmap.GetRow(60), 250), 0);
  // A very thin source keeps one row.
  TIEBitmap thin(1000, 2, ie1g);
  thin.Fill(0);
  ReadResult t;
  Read(WriteWBMP(thin), t);
  ASSERT_TRUE(t.ok);
  EXPECT_EQ(t.bitmap.Width(), 255);
  EXPECT_EQ(t.bitmap.Height(), 1);
}

TEST(WbmpCodec, ParametersOnlyLeaveTheBitmapAlone) {
  ReadResult r;
  r.bitmap.Allocate(3, 3, ie24RGB);
  Read({0, 0, 5, 6}, r, true);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.params.Width, 5);
  EXPECT_EQ(r.params.Height, 6);
  EXPECT_EQ(r.bitmap.Width(), 3);
}

TEST(WbmpCodec, HostileFilesAreRefused) {
  IEImageSizeGateLogForTesting(true);
  const Bytes cases[] = {
      {1, 0, 2, 2, 0, 0},                            // type 1
      {0, 1, 2, 2, 0, 0},                            // a fixed header
      {0, 0, 0, 2, 0, 0},                            // no width
      {0, 0, 2},                                     // no height
      {0, 0, 0xFF, 0xFF, 0xFF, 0x7F, 0x8F, 0x7F},    // 2^28 - 1 wide, a few bytes of data
      Concat({0, 0, 16, 4}, {1, 2, 3, 4, 5}),         // rows cut short
  };
  for (const Bytes& file : cases) {
    ReadResult r;
    Read(file, r);
    EXPECT_FALSE(r.ok);
  }
  EXPECT_LE(IEImageSizeGateLogForTesting().LargestGrantedPixels, 64);
  // The rows before the end stay.
  ReadResult r;
  Read(Concat({0, 0, 8, 3}, {0xFF, 0x0F}), r);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(static_cast<uint8_t*>(r.bitmap.GetRow(1))[0], 0x0F);
  // At most four bytes make an integer.
  const Bytes five = {0x81, 0x81, 0x81, 0x81, 0x01};
  TCustomMemoryStream s(five.data(), 5);
  EXPECT_EQ(ReadMultiByteInt(s), 0x204081);
}

TEST(WbmpWriter, AShortWriteSetsAborting) {
  TIEBitmap src(200, 200, ie1g);
  TShortStream s(100);
  bool aborting = false;
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  WriteWBMPStream(s, src, progress);
  EXPECT_TRUE(aborting);
}

}  // namespace
