// Packed DIBs out of bitmaps (byte layout built by hand, FFmpeg as the independent decoder), the
// bit-run copy, and DIBs drawn into DIB bitmaps.
#include "imaging/processing/ie_dib_export.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "imaging/core/ie_dibbitmap.h"
#include "imaging/core/ie_mask.h"
#include "imaging/core/ie_trace_log.h"
#include "imaging/processing/ie_dib_import.h"
#include "imaging/processing/ie_few_colors.h"
#include "platform/gdi/bitmap.h"
#include "platform/system/memory.h"
#include "tests/imaging/processing/geometry_test_support.h"
#include "tests/support/byte_builder.h"

namespace {

using geomtest::Patterned;
using testsupport::ByteBuilder;

using DibExportTest = BitmapTest;

// The bytes of a global block.
std::vector<uint8_t> Block(void* Handle) {
  const auto* p = static_cast<const uint8_t*>(Handle);
  return std::vector<uint8_t>(p, p + GlobalSize(Handle));
}

// A block taken over and freed at the end of the test.
struct Owned {
  void* handle;
  ~Owned() { GlobalFree(handle); }
};

ByteBuilder InfoHeader(int32_t w, int32_t h, uint16_t bits, int32_t pelsX, int32_t pelsY) {
  ByteBuilder b;
  b.U32(40).U32(static_cast<uint32_t>(w)).U32(static_cast<uint32_t>(h)).U16(1).U16(bits).U32(0);
  b.U32(0).U32(static_cast<uint32_t>(pelsX)).U32(static_cast<uint32_t>(pelsY)).U32(0).U32(0);
  return b;
}

TEST_F(DibExportTest, TwentyFourBitLayout) {
  TIEBitmap b(5, 3, ie24RGB);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 5; ++x) b.SetPixel24(x, y, CreateRGB(static_cast<uint8_t>(x), static_cast<uint8_t>(y), 7));
  Owned dib{_CopyBitmaptoDIBEx(b, 0, 0, 0, 0, 300, 72)};
  ASSERT_NE(dib.handle, nullptr);
  // 300 dpi: Trunc(300 * 39.3700787) = Trunc(11811.02) = 11811; 72 dpi: Trunc(2834.65) = 2834.
  ByteBuilder want = InfoHeader(5, 3, 24, 11811, 2834);
  // Rows of 5 * 3 = 15 bytes padded to 16, bottom row first.
  for (int32_t y = 2; y >= 0; --y) {
    for (int32_t x = 0; x < 5; ++x) want.U8(7).U8(static_cast<uint8_t>(y)).U8(static_cast<uint8_t>(x));
    want.U8(0);
  }
  want.Zeros(4);  // the block's 4 spare bytes: 44 + 48
  EXPECT_EQ(Block(dib.handle), want.Bytes());
}

TEST_F(DibExportTest, PalettesOfTheEightBitAndOneBitFormats) {
  // ie8g: the grey ramp; ie8p: its palette as blue, green, red, 0.
  for (TIEPixelFormat format : {ie8g, ie8p}) {
    TIEBitmap b(3, 2, format);
    for (int32_t y = 0; y < 2; ++y)
      for (int32_t x = 0; x < 3; ++x) b.SetPixel8(x, y, static_cast<uint8_t>(10 * y + x));
    if (format == ie8p)
      for (int32_t i = 0; i < 256; ++i) b.SetPaletteColor(i, CreateRGB(static_cast<uint8_t>(i), 1, 2));
    Owned dib{_CopyBitmaptoDIBEx(b, 0, 0, 0, 0, 96, 96)};
    ByteBuilder want = InfoHeader(3, 2, 8, 3779, 3779);
    for (int32_t i = 0; i < 256; ++i) {
      if (format == ie8g)
        want.U8(static_cast<uint8_t>(i)).U8(static_cast<uint8_t>(i)).U8(static_cast<uint8_t>(i)).U8(0);
      else
        want.U8(2).U8(1).U8(static_cast<uint8_t>(i)).U8(0);
    }
    want.U8(10).U8(11).U8(12).U8(0).U8(0).U8(1).U8(2).U8(0).Zeros(4);
    EXPECT_EQ(Block(dib.handle), want.Bytes()) << int(format);
  }
  // ie1g: black 00 00 00 00 and white FF FF FF FF; a rectangle from bit 3 shifted to the row's start.
  TIEBitmap bw(20, 2, ie1g);
  bw.Fill(0);
  for (int32_t x : {3, 4, 10, 13}) SetRowBit(bw.GetRow(0), x, 1);
  SetRowBit(bw.GetRow(1), 5, 1);
  Owned dib{_CopyBitmaptoDIBEx(bw, 3, 0, 14, 2, 0, 0)};
  ByteBuilder want = InfoHeader(11, 2, 1, 0, 0);
  want.U32(0).U32(0xFFFFFFFF);
  // Bottom row: bit 5 - 3 = 2 (0x20); top row: bits 0, 1, 7, 10 (0xC1 0x20).
  want.U8(0x20).U8(0).U8(0).U8(0).U8(0xC1).U8(0x20).U8(0).U8(0).Zeros(4);
  EXPECT_EQ(Block(dib.handle), want.Bytes());
}

TEST_F(DibExportTest, RectanglesAreClippedToTheBitmap) {
  auto b = Patterned(10, 6, ie24RGB, ieMemory, false);
  struct Case {
    int32_t x1, y1, x2, y2;
    int32_t width, height;  // 0: no DIB
  };
  for (const Case& c : {Case{0, 0, 0, 0, 10, 6}, Case{2, 1, 0, 0, 8, 5}, Case{-5, -5, 3, 2, 3, 2},
                        Case{7, 4, 50, 60, 3, 2}, Case{5, 0, 4, 6, 0, 0}, Case{3, 3, 3, 5, 0, 0},
                        Case{10, 0, 12, 6, 0, 0}}) {
    SCOPED_TRACE(testing::Message() << c.x1 << "," << c.y1 << "," << c.x2 << "," << c.y2);
    Owned dib{_CopyBitmaptoDIBEx(*b, c.x1, c.y1, c.x2, c.y2, 0, 0)};
    if (c.width == 0) {
      EXPECT_EQ(dib.handle, nullptr);
      continue;
    }
    ASSERT_NE(dib.handle, nullptr);
    TIEBitmap back;
    ASSERT_EQ(DibToIEBitmap(dib.handle, back), 24);
    ASSERT_EQ(back.Width(), c.width);
    ASSERT_EQ(back.Height(), c.height);
    const int32_t x0 = std::max(c.x1, 0), y0 = std::max(c.y1, 0);
    for (int32_t y = 0; y < c.height; ++y)
      for (int32_t x = 0; x < c.width; ++x) ASSERT_TRUE(back.GetPixel24(x, y) == b->GetPixel24(x0 + x, y0 + y));
  }
}

TEST_F(DibExportTest, OtherFormatsBecomeTwentyFourBits) {
  TIEBitmap g(4, 2, ie16g);
  for (int32_t x = 0; x < 4; ++x) {
    g.SetPixel16(x, 0, static_cast<uint16_t>(x * 0x4000));
    g.SetPixel16(x, 1, 0xFFFF);
  }
  Owned dib{_CopyBitmaptoDIBEx(g, 1, 0, 0, 0, 0, 0)};
  TIEBitmap back;
  ASSERT_EQ(DibToIEBitmap(dib.handle, back), 24);
  ASSERT_EQ(back.Width(), 3);
  for (int32_t x = 1; x < 4; ++x) EXPECT_TRUE(back.GetPixel24(x - 1, 0) == g.GetPixelRGB(x, 0)) << x;
  EXPECT_TRUE(back.GetPixel24(0, 1) == CreateRGB(255, 255, 255));
}

TEST_F(DibExportTest, WritesItsTraceLines) {
  testsupport::ScratchDir dir;
  TraceLogFileName = dir.File("trace.log");
  TIEBitmap c(2, 2, ieCMYK);
  Owned dib{_CopyBitmaptoDIBEx(c, 0, 0, 0, 0, 0, 0)};
  TraceLogFileName.clear();
  const std::vector<uint8_t> bytes = geomtest::ReadFile(dir.File("trace.log"));
  const std::string log(bytes.begin(), bytes.end());
  size_t at = 0;
  for (const char* line : {"_CopyBitmaptoDIBEx: begin", "_CopyBitmaptoDIBEx: not supported pixel format, converting to 24bit and recurse",
                           "_CopyBitmaptoDIBEx: begin", "_CopyBitmaptoDIBEx: allocate 60 bytes", "_CopyBitmaptoDIBEx: ie24RGB"}) {
    at = log.find(std::string(" : ") + line, at);
    ASSERT_NE(at, std::string::npos) << line << "\n" << log;
  }
}

// Each DIB, given a BMP file header, as FFmpeg decodes it, against the source's pixels.
TEST_F(DibExportTest, FFmpegDecodesEachDIBToTheSourcePixels) {
  ASSERT_EQ(std::system("ffmpeg -version >/dev/null 2>&1"), 0) << "ffmpeg is missing (scripts/install-deps.sh)";
  testsupport::ScratchDir dir;
  const int32_t w = 37, h = 23;
  for (TIEPixelFormat format : {ie1g, ie8p, ie8g, ie24RGB, ieRGB48}) {
    SCOPED_TRACE(int(format));
    auto b = Patterned(w + 5, h, format, ieMemory, false, 4);
    // A rectangle from column 5: 1-bit rows start inside a byte.
    Owned dib{_CopyBitmaptoDIBEx(*b, 5, 0, 0, 0, 300, 300)};
    ASSERT_NE(dib.handle, nullptr);
    const std::vector<uint8_t> packed = Block(dib.handle);
    const uint32_t table = format == ie1g ? 8 : (format == ie8p || format == ie8g ? 1024 : 0);
    ByteBuilder file;
    file.U8('B').U8('M').U32(static_cast<uint32_t>(14 + packed.size())).U32(0).U32(14 + 40 + table);
    file.Raw(packed);
    const std::string bmp = dir.File("f.bmp"), raw = dir.File("f.raw");
    {
      std::ofstream f(bmp, std::ios::binary);
      f.write(reinterpret_cast<const char*>(file.Data()), static_cast<std::streamsize>(file.Size()));
    }
    const std::string cmd = "ffmpeg -v error -y -i '" + bmp + "' -f rawvideo -pix_fmt bgr24 '" + raw + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const std::vector<uint8_t> decoded = geomtest::ReadFile(raw);
    ASSERT_EQ(decoded.size(), static_cast<size_t>(w) * h * 3);
    int wrong = 0;
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        const TIERGB c = b->GetPixelRGB(x + 5, y);
        const uint8_t* d = &decoded[(static_cast<size_t>(y) * w + x) * 3];
        if ((d[0] != c.b || d[1] != c.g || d[2] != c.r) && wrong++ < 3) ADD_FAILURE() << x << "," << y;
      }
  }
}

TEST_F(DibExportTest, CopyBitRunTable) {
  struct Case {
    int32_t destBit, srcBit, count, srcSize;
    uint16_t expected;  // the two destination bytes, first in the high byte, from 0xFFFF... see below
  };
  // Source 0xA5 0x0F; destination bytes start as 0x00 0x00.
  const uint8_t source[2] = {0xA5, 0x0F};
  for (const Case& c : {Case{0, 0, 8, 2, 0xA500},    // a whole byte
                        Case{3, 0, 8, 2, 0x14A0},    // shifted right by 3
                        Case{0, 4, 8, 2, 0x5000},    // from the middle: 0101 0000
                        Case{0, 0, 16, 1, 0xA500},   // the second byte is past SrcSize: zeros
                        Case{0, 6, 4, 1, 0x4000},    // bits 6, 7 of A5 (0, 1), then two zeros
                        Case{2, 0, 0, 2, 0x0000},    // no bits
                        Case{-1, 0, 8, 2, 0x0000},   // a negative position
                        Case{0, -3, 8, 2, 0x0000}}) {
    uint8_t dest[2] = {0, 0};
    CopyBitRun(dest, source, c.destBit, c.srcBit, c.count, c.srcSize);
    EXPECT_EQ((dest[0] << 8) | dest[1], c.expected) << c.destBit << " " << c.srcBit << " " << c.count << " " << c.srcSize;
  }
  // The bits around the run stay.
  uint8_t dest[2] = {0xFF, 0xFF};
  CopyBitRun(dest, source, 4, 4, 4, 2);
  EXPECT_EQ(dest[0], 0xF5);
  EXPECT_EQ(dest[1], 0xFF);
}

TEST_F(DibExportTest, DrawsCheckedDIBsIntoDIBBitmaps) {
  for (TIEPixelFormat format : {ie1g, ie8g, ie24RGB}) {
    SCOPED_TRACE(int(format));
    auto b = Patterned(13, 7, format, ieMemory, false);
    Owned dib{_CopyBitmaptoDIBEx(*b, 0, 0, 0, 0, 0, 0)};
    TIEDibbitmap d;
    ASSERT_EQ(DIBToDibbitmap(dib.handle, d), format == ie1g ? 1 : (format == ie8g ? 8 : 24));
    ASSERT_EQ(d.Width(), 13);
    ASSERT_EQ(d.Height(), 7);
    EXPECT_EQ(d.BitCount(), format == ie1g ? 1 : 24);
    TIEBitmap drawn;
    drawn.CopyFromTIEDibbitmap(&d);
    for (int32_t y = 0; y < 7; ++y)
      for (int32_t x = 0; x < 13; ++x) ASSERT_TRUE(drawn.GetPixelRGB(x, y) == b->GetPixelRGB(x, y)) << x << "," << y;

    // Hostile copies: cut by a byte, a colour table past the block, rows apart but too short.
    std::vector<uint8_t> bytes = Block(dib.handle);
    bytes.resize(bytes.size() - 5);
    TIEDibbitmap e;
    EXPECT_EQ(DIBToDibbitmap(bytes.data(), e, nullptr, true, static_cast<int64_t>(bytes.size())), 0);
    std::vector<uint8_t> table = Block(dib.handle);
    table[32] = 0xFF;  // biClrUsed: a table past the block for 24 bits (a palette picture keeps 2^bits)
    table[33] = 0xFF;
    table[34] = 0xFF;
    if (format == ie24RGB) {
      EXPECT_EQ(DIBToDibbitmap(table.data(), e, nullptr, true, static_cast<int64_t>(table.size())), 0);
    }
    const std::vector<uint8_t> whole = Block(dib.handle);
    const int64_t rows = format == ie1g ? 7 * 4 : (format == ie8g ? 7 * 16 : 7 * 40);
    const size_t header = whole.size() - 4 - static_cast<size_t>(rows);
    EXPECT_EQ(DIBToDibbitmap(whole.data(), e, whole.data() + header, true, static_cast<int64_t>(header), rows - 1), 0);
    EXPECT_NE(DIBToDibbitmap(whole.data(), e, whole.data() + header, true, static_cast<int64_t>(header), rows), 0);
  }
  TIEDibbitmap d;
  EXPECT_EQ(DIBToDibbitmap(nullptr, d), 0);
  const uint8_t tiny[8] = {40, 0, 0, 0, 1, 0, 0, 0};
  EXPECT_EQ(DIBToDibbitmap(tiny, d, nullptr, true, sizeof tiny), 0);
}

TEST_F(DibExportTest, SelectionPutsTheBackgroundWhereTheMaskIsClear) {
  auto b = Patterned(8, 6, ie24RGB, ieMemory, false);
  TIEMask mask;
  mask.Allocate(8, 6, 1);
  mask.SetPixel(2, 1, 1);
  mask.SetPixel(4, 3, 1);
  Owned dib{SelectionToDIB(*b, mask, RGBToTColor(CreateRGB(1, 2, 3)), 0, 0)};
  TIEBitmap back;
  ASSERT_EQ(DibToIEBitmap(dib.handle, back), 24);
  ASSERT_EQ(back.Width(), 3);
  ASSERT_EQ(back.Height(), 3);
  EXPECT_TRUE(back.GetPixel24(0, 0) == b->GetPixel24(2, 1));
  EXPECT_TRUE(back.GetPixel24(2, 2) == b->GetPixel24(4, 3));
  EXPECT_TRUE(back.GetPixel24(1, 1) == CreateRGB(1, 2, 3));
  TIEMask empty;
  empty.Allocate(8, 6, 1);
  EXPECT_EQ(SelectionToDIB(*b, empty, 0, 0, 0), nullptr);
}

TEST_F(DibExportTest, FrameworkBitmapCopies) {
  TBitmap source;
  source.SetPixelFormat(pf8bit);
  source.SetSize(5, 3);
  RGBQUAD colors[2] = {{1, 2, 3, 0}, {4, 5, 6, 0}};
  source.SetColorTable(colors, 2);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 5; ++x) source.ScanLine(y)[x] = static_cast<uint8_t>((x + y) & 1);
  std::unique_ptr<TBitmap> copy(DuplicateTBitmap(source));
  ASSERT_EQ(copy->Width(), 5);
  ASSERT_EQ(copy->PixelFormat(), pf8bit);
  EXPECT_EQ(copy->ColorTable().at(1).rgbRed, 6);
  for (int32_t y = 0; y < 3; ++y) EXPECT_EQ(std::memcmp(copy->ScanLine(y), source.ScanLine(y), 5), 0);
  TBitmap empty, dest;
  empty.SetPixelFormat(pf24bit);
  CopyTBitmapPixels(empty, dest);
  EXPECT_EQ(dest.Width(), 1);
  EXPECT_EQ(dest.Height(), 1);
  EXPECT_EQ(dest.PixelFormat(), pf24bit);
}

}  // namespace
