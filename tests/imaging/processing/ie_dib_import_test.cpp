#include "imaging/processing/ie_dib_import.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <set>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_image_size_gate.h"
#include "imaging/processing/ie_yuv.h"
#include "platform/system/memory.h"
#include "tests/support/byte_builder.h"
#include "tests/support/test_support.h"

namespace {

using testsupport::ByteBuilder;

// A DIB header of HeaderSize bytes (40, or 52 and more with the masks inside it from byte 40).
ByteBuilder Header(int32_t w, int32_t h, uint16_t bits, uint32_t compression, uint32_t colorsUsed = 0,
                   uint32_t headerSize = 40, std::vector<uint32_t> masksInside = {}) {
  ByteBuilder b;
  b.U32(headerSize).U32(static_cast<uint32_t>(w)).U32(static_cast<uint32_t>(h)).U16(1).U16(bits).U32(compression);
  b.U32(0).U32(2835).U32(2835).U32(colorsUsed).U32(0);
  for (uint32_t m : masksInside) b.U32(m);
  b.Zeros(headerSize - b.Size());
  return b;
}

void Row(ByteBuilder& b, std::vector<uint8_t> bytes) {
  bytes.resize((bytes.size() + 3) / 4 * 4, 0);
  b.Raw(bytes);
}

// Imports from a pointer with its exact size.
uint16_t Import(const std::vector<uint8_t>& dib, TIEBitmap& b) {
  return DibToIEBitmap(dib.data(), b, nullptr, true, static_cast<int64_t>(dib.size()));
}

std::string Pixels(TIEBitmap& b) {
  std::string s;
  for (int y = 0; y < b.Height(); ++y) {
    for (int x = 0; x < b.Width(); ++x) {
      const TIERGB c = b.GetPixelRGB(x, y);
      char t[16];
      std::snprintf(t, sizeof t, "%02X%02X%02X ", c.r, c.g, c.b);
      s += t;
    }
    s += "/ ";
  }
  return s;
}

TEST(DibImport, PaletteDepths) {
  // 1 bit, 10 pixels in two rows, stored bottom-up: 1010000000 below 0101000000.
  {
    ByteBuilder d = Header(10, 2, 1, 0);
    d.U32(0x00000000).U32(0x00FFFFFF);  // black, white
    Row(d, {0xA0, 0x00});
    Row(d, {0x50, 0x00});
    TIEBitmap b;
    EXPECT_EQ(Import(d.Bytes(), b), 1);
    EXPECT_EQ(b.PixelFormat(), ie1g);
    EXPECT_EQ(b.GetPixelRGB(1, 0), CreateRGB(255, 255, 255));  // top row: the second stored one
    EXPECT_EQ(b.GetPixelRGB(0, 0), CreateRGB(0, 0, 0));
    EXPECT_EQ(b.GetPixelRGB(0, 1), CreateRGB(255, 255, 255));
  }
  // White first: the bits are inverted so that white stays white.
  {
    ByteBuilder d = Header(4, 1, 1, 0);
    d.U32(0x00FFFFFF).U32(0x00000000);
    Row(d, {0x50});  // 0101: white black white black
    TIEBitmap b;
    EXPECT_EQ(Import(d.Bytes(), b), 1);
    EXPECT_EQ(b.PixelFormat(), ie1g);
    EXPECT_EQ(Pixels(b), "FFFFFF 000000 FFFFFF 000000 / ");
  }
  // Two other colours: a colour picture through the table.
  {
    ByteBuilder d = Header(3, 1, 1, 0);
    d.U32(0x000000FF).U32(0x0000FF00);  // blue, green
    Row(d, {0x40});
    TIEBitmap b;
    EXPECT_EQ(Import(d.Bytes(), b), 1);
    EXPECT_EQ(b.PixelFormat(), ie24RGB);
    EXPECT_EQ(Pixels(b), "0000FF 00FF00 0000FF / ");
  }
  // 4 bits, 3 pixels wide: both nibbles of the first byte, the high nibble of the second; an index
  // past the 3-entry table is black.
  {
    ByteBuilder d = Header(3, 1, 4, 0, 3);
    d.U32(0x00102030).U32(0x00405060).U32(0x00708090);
    Row(d, {0x12, 0x5F});
    TIEBitmap b;
    EXPECT_EQ(Import(d.Bytes(), b), 4);
    EXPECT_EQ(Pixels(b), "405060 708090 000000 / ");
  }
  // 8 bits with the full table.
  {
    ByteBuilder d = Header(2, 1, 8, 0);
    for (uint32_t i = 0; i < 256; ++i) d.U32(i * 0x010101);
    Row(d, {7, 200});
    TIEBitmap b;
    EXPECT_EQ(Import(d.Bytes(), b), 8);
    EXPECT_EQ(Pixels(b), "070707 C8C8C8 / ");
  }
}

TEST(DibImport, DirectDepthsAndBitFields) {
  struct Case {
    const char* what;
    std::vector<uint8_t> dib;
    const char* pixels;
  };
  std::vector<Case> cases;
  {
    // 16-bit BI_RGB is 5-5-5, widened by bit replication: 0x7FFF is white, 0x001F pure blue.
    ByteBuilder d = Header(3, 1, 16, 0);
    Row(d, {0xFF, 0x7F, 0x1F, 0x00, 0x10, 0x42});  // 0x7FFF, 0x001F, 0x4210 (16, 16, 16)
    cases.push_back({"555", d.Bytes(), "FFFFFF 0000FF 848484 / "});
  }
  {
    // 5-6-5 masks after a 40-byte header.
    ByteBuilder d = Header(2, 1, 16, 3);
    d.U32(0xF800).U32(0x07E0).U32(0x001F);
    Row(d, {0xE0, 0x07, 0x00, 0xF8});  // 0x07E0 green, 0xF800 red
    cases.push_back({"565", d.Bytes(), "00FF00 FF0000 / "});
  }
  {
    // Masks in any order, each its own width: blue in the top 4 bits, red in the low 4 (4-4-4).
    ByteBuilder d = Header(1, 1, 16, 3);
    d.U32(0x000F).U32(0x00F0).U32(0x0F00);
    Row(d, {0x8F, 0x03});  // red 15, green 8, blue 3
    cases.push_back({"444 reversed", d.Bytes(), "FF8833 / "});
  }
  {
    // A 56-byte header holds its masks.
    ByteBuilder d = Header(1, 1, 16, 3, 0, 56, {0xF800, 0x07E0, 0x001F, 0});
    Row(d, {0x1F, 0x00});
    cases.push_back({"masks inside", d.Bytes(), "0000FF / "});
  }
  {
    ByteBuilder d = Header(2, 1, 24, 0);
    Row(d, {1, 2, 3, 4, 5, 6});
    cases.push_back({"24", d.Bytes(), "030201 060504 / "});
  }
  {
    ByteBuilder d = Header(1, 1, 32, 0);
    Row(d, {1, 2, 3, 99});
    cases.push_back({"32", d.Bytes(), "030201 / "});
  }
  {
    // 32-bit bit fields in the order red, green, blue from the low byte.
    ByteBuilder d = Header(1, 1, 32, 3);
    d.U32(0x000000FF).U32(0x0000FF00).U32(0x00FF0000);
    Row(d, {0x11, 0x22, 0x33, 0x44});
    cases.push_back({"32 fields", d.Bytes(), "112233 / "});
  }
  {
    // A 24-bit DIB with a colour table of 2 entries before its pixels.
    ByteBuilder d = Header(1, 1, 24, 0, 2);
    d.U32(0xFFFFFFFF).U32(0xFFFFFFFF);
    Row(d, {9, 8, 7});
    cases.push_back({"24 with table", d.Bytes(), "070809 / "});
  }
  for (Case& c : cases) {
    TIEBitmap b;
    EXPECT_NE(Import(c.dib, b), 0) << c.what;
    EXPECT_EQ(b.PixelFormat(), ie24RGB) << c.what;
    EXPECT_EQ(Pixels(b), c.pixels) << c.what;
  }
}

TEST(DibImport, TopDownHandlesAndSeparateBits) {
  ByteBuilder d = Header(1, -2, 24, 0);
  Row(d, {0, 0, 255});  // first stored row: the top one
  Row(d, {255, 0, 0});
  TIEBitmap b;
  EXPECT_EQ(Import(d.Bytes(), b), 24);
  EXPECT_EQ(Pixels(b), "FF0000 / 0000FF / ");

  // A global block: its size comes from the block.
  void* handle = GlobalAlloc(GMEM_MOVEABLE, d.Size());
  std::memcpy(handle, d.Data(), d.Size());
  TIEBitmap h;
  EXPECT_EQ(DibToIEBitmap(handle, h), 24);
  EXPECT_EQ(Pixels(h), "FF0000 / 0000FF / ");
  GlobalFree(handle);

  // The pixels in a block of their own.
  const std::vector<uint8_t> header(d.Bytes().begin(), d.Bytes().begin() + 40);
  const std::vector<uint8_t> bits(d.Bytes().begin() + 40, d.Bytes().end());
  TIEBitmap s;
  EXPECT_EQ(DibToIEBitmap(header.data(), s, bits.data(), true, 40, static_cast<int64_t>(bits.size())), 24);
  EXPECT_EQ(Pixels(s), "FF0000 / 0000FF / ");
  // ... which must hold every row.
  TIEBitmap t;
  EXPECT_EQ(DibToIEBitmap(header.data(), t, bits.data(), true, 40, static_cast<int64_t>(bits.size()) - 1), 0);
  EXPECT_EQ(DibToIEBitmap(header.data(), t, bits.data(), true, 40, 0), 0);
  EXPECT_TRUE(t.IsEmpty());
}

TEST(DibImport, HostileHeadersLeaveTheBitmapAlone) {
  auto valid = [] {
    ByteBuilder d = Header(2, 2, 8, 0, 2);
    d.U32(0).U32(0xFFFFFF);
    Row(d, {0, 1});
    Row(d, {1, 0});
    return d;
  };
  struct Case {
    const char* what;
    std::function<void(ByteBuilder&)> spoil;
    int64_t cut = 0;  // bytes taken off the end of the block
  } cases[] = {
      {"header below 40", [](ByteBuilder& d) { d.Patch32(0, 39); }},
      {"header past the block", [](ByteBuilder& d) { d.Patch32(0, 4000); }},
      {"width 0", [](ByteBuilder& d) { d.Patch32(4, 0); }},
      {"negative width", [](ByteBuilder& d) { d.Patch32(4, 0xFFFFFFFE); }},
      {"height 0", [](ByteBuilder& d) { d.Patch32(8, 0); }},
      {"height INT32_MIN", [](ByteBuilder& d) { d.Patch32(8, 0x80000000u); }},
      {"2 bits", [](ByteBuilder& d) { d.Patch16(14, 2); }},
      {"64 bits", [](ByteBuilder& d) { d.Patch16(14, 64); }},
      {"RLE8", [](ByteBuilder& d) { d.Patch32(16, 1); }},
      {"RLE4", [](ByteBuilder& d) { d.Patch32(16, 2); }},
      {"bit fields at 8 bits", [](ByteBuilder& d) { d.Patch32(16, 3); }},
      {"unknown FOURCC", [](ByteBuilder& d) { d.Patch32(16, MakeFourCC('N', 'V', '1', '2')); }},
      {"more colours than 8 bits index", [](ByteBuilder& d) { d.Patch32(32, 257); }},
      {"table past the block", [](ByteBuilder& d) { d.Patch32(32, 200); }},
      {"rows past the block", [](ByteBuilder&) {}, 1},
      {"a huge picture", [](ByteBuilder& d) { d.Patch32(4, 100000); d.Patch32(8, 100000); }},
      {"a wide row", [](ByteBuilder& d) { d.Patch32(4, 0x7FFFFFFF); d.Patch16(14, 32); }},
  };
  for (const Case& c : cases) {
    ByteBuilder d = valid();
    c.spoil(d);
    std::vector<uint8_t> dib = d.Bytes();
    dib.resize(dib.size() - static_cast<size_t>(c.cut));
    TIEBitmap b(3, 1, ie24RGB);
    b.SetPixel24(2, 0, CreateRGB(1, 2, 3));
    EXPECT_EQ(Import(dib, b), 0) << c.what;
    EXPECT_EQ(b.Width(), 3) << c.what;
    EXPECT_EQ(b.GetPixelRGB(2, 0), CreateRGB(1, 2, 3)) << c.what;
  }
  TIEBitmap b;
  EXPECT_EQ(DibToIEBitmap(nullptr, b), 0);
  const std::vector<uint8_t> dib = valid().Bytes();
  EXPECT_EQ(DibToIEBitmap(dib.data(), b, nullptr, true, 39), 0);  // the header does not fit
  // Masks of a 40-byte header must fit after it.
  ByteBuilder f = Header(1, 1, 16, 3);
  f.U32(0xF800);
  EXPECT_EQ(Import(f.Bytes(), b), 0);
  EXPECT_EQ(Import(valid().Bytes(), b), 8);
}

TEST(DibImport, EveryYUVLayout) {
  // Grey frames of 8 x 2 (Y 126, neutral chroma): every layout gives (128, 128, 128).
  struct Case {
    const char* fourcc;
    uint16_t bits;
    std::vector<uint8_t> group;  // bytes of a group of pixels, or the plane sizes for planar ones
    int groupPixels;
  } cases[] = {
      {"YUY2", 16, {126, 128, 126, 128}, 2}, {"YUNV", 16, {126, 128, 126, 128}, 2},
      {"UYVY", 16, {128, 126, 128, 126}, 2}, {"UYNV", 16, {128, 126, 128, 126}, 2},
      {"cyuv", 16, {128, 126, 128, 126}, 2}, {"YVYU", 16, {126, 128, 126, 128}, 2},
      {"IYU1", 12, {128, 126, 126, 128, 126, 126}, 4}, {"IYU2", 24, {128, 126, 128}, 1},
      {"Y41P", 12, {128, 126, 128, 126, 128, 126, 128, 126, 126, 126, 126, 126}, 8},
      {"Y211", 8, {126, 128, 126, 128}, 4},
      {"CLJR", 8, {0x20, 0xF8, 0xFF, 0xFF}, 4},  // U = V = 32 (130), every Y 31 (255)
  };
  const TIERGB grey = YUVToRGB(126, 128, 128);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fourcc);
    const uint32_t cc = MakeFourCC(c.fourcc[0], c.fourcc[1], c.fourcc[2], c.fourcc[3]);
    std::vector<uint8_t> frame;
    for (int i = 0; i < 2 * 8 / c.groupPixels; ++i) frame.insert(frame.end(), c.group.begin(), c.group.end());
    ByteBuilder d = Header(8, 2, c.bits, cc);
    TIEBitmap b;
    // The frame as a separate block, then after the header.
    EXPECT_EQ(DibToIEBitmap(d.Data(), b, frame.data(), true, 40, static_cast<int64_t>(frame.size())), c.bits);
    const TIERGB expected = std::string(c.fourcc) == "CLJR" ? YUVToRGB(255, 130, 130) : grey;
    EXPECT_EQ(b.GetPixelRGB(7, 1), expected);
    d.Raw(frame);
    TIEBitmap a;
    EXPECT_EQ(Import(d.Bytes(), a), c.bits);
    EXPECT_EQ(a.GetPixelRGB(0, 0), expected);
    // One byte short: refused.
    TIEBitmap s;
    EXPECT_EQ(DibToIEBitmap(d.Data(), s, frame.data(), true, 40, static_cast<int64_t>(frame.size()) - 1), 0);
  }
  // A frame whose header gives no bit count is refused: 0 would tell the caller nothing was read.
  {
    ByteBuilder z = Header(2, 1, 0, MakeFourCC('Y', 'U', 'Y', '2'));
    z.Raw(std::vector<uint8_t>{126, 128, 126, 128});
    TIEBitmap b(3, 1, ie24RGB);
    EXPECT_EQ(Import(z.Bytes(), b), 0);
    EXPECT_EQ(b.Width(), 3);
  }
  // Planar: 4 x 2 I420 with distinct chroma per half, bottom-up for a negative height.
  ByteBuilder d = Header(4, -2, 12, MakeFourCC('I', '4', '2', '0'));
  d.Raw(std::vector<uint8_t>{16, 16, 235, 235, 16, 16, 235, 235, 128, 128, 128, 128});
  TIEBitmap p;
  EXPECT_EQ(Import(d.Bytes(), p), 12);
  EXPECT_EQ(p.GetPixelRGB(0, 0), CreateRGB(0, 0, 0));
  EXPECT_EQ(p.GetPixelRGB(3, 1), CreateRGB(255, 255, 255));
  std::vector<uint8_t> shortFrame = d.Bytes();
  shortFrame.pop_back();
  EXPECT_EQ(Import(shortFrame, p), 0);
}

TEST(DibImport, GammaCorrection) {
  // 1 pixel wide: 3 bytes and a padding byte per row, which stays as it is.
  ByteBuilder d = Header(1, 2, 24, 0);
  Row(d, {128, 0, 255});
  Row(d, {64, 10, 200});
  d.Bytes()[40 + 3] = 77;
  const std::vector<uint8_t> original = d.Bytes();
  std::vector<uint8_t> dib = original;
  GammaCorrectDIB(dib.data(), static_cast<int64_t>(dib.size()), 1.0);
  EXPECT_EQ(dib, original);
  GammaCorrectDIB(dib.data(), static_cast<int64_t>(dib.size()), 2.2);
  EXPECT_EQ(dib[40], 186);  // 255 (128 / 255)^(1 / 2.2) = 186.4
  EXPECT_EQ(dib[41], 0);
  EXPECT_EQ(dib[42], 255);
  EXPECT_EQ(dib[43], 77);
  EXPECT_EQ(dib[44], static_cast<uint8_t>(std::nearbyint(255 * std::pow(64 / 255.0, 1 / 2.2))));
  // No gamma, other DIBs, and rows that do not fit change nothing.
  for (double g : {0.0, -1.0, std::nan("")}) {
    std::vector<uint8_t> same = original;
    GammaCorrectDIB(same.data(), static_cast<int64_t>(same.size()), g);
    EXPECT_EQ(same, original);
  }
  std::vector<uint8_t> cut = original;
  GammaCorrectDIB(cut.data(), static_cast<int64_t>(cut.size()) - 1, 2.2);
  EXPECT_EQ(cut, original);
  std::vector<uint8_t> other = original;
  other[14] = 32;
  GammaCorrectDIB(other.data(), static_cast<int64_t>(other.size()), 2.2);
  EXPECT_EQ(std::vector<uint8_t>(other.begin() + 40, other.end()), std::vector<uint8_t>(original.begin() + 40, original.end()));
  // Through a global block.
  void* handle = GlobalAlloc(GMEM_MOVEABLE, original.size());
  std::memcpy(handle, original.data(), original.size());
  GammaCorrectDIB(handle, 2.2);
  EXPECT_EQ(static_cast<uint8_t*>(handle)[40], 186);
  GlobalFree(handle);
}

// DIBs cut from BMP files that FFmpeg's encoder writes (every pixel format it writes), against the
// pixels FFmpeg decodes from the same files.
TEST(DibImport, AgreesWithFFmpegOnItsBMPFiles) {
  ASSERT_EQ(std::system("ffmpeg -version >/dev/null 2>&1"), 0) << "ffmpeg is missing (scripts/install-deps.sh)";
  testsupport::ScratchDir dir;
  std::set<int> depths;
  for (const char* format : {"bgra", "bgr24", "rgb565le", "rgb555le", "rgb444le", "rgb8", "bgr8", "rgb4_byte",
                             "bgr4_byte", "gray", "pal8", "monob"}) {
    SCOPED_TRACE(format);
    const std::string name = format;
    const std::string bmp = dir.File(name + ".bmp"), raw = dir.File(name + ".raw");
    // An odd width, so that rows are padded.
    std::string encode = "ffmpeg -v error -y -f lavfi -i testsrc=size=37x23:rate=1 -frames:v 1 -pix_fmt ";
    encode += name;
    encode += " '" + bmp + "'";
    ASSERT_EQ(std::system(encode.c_str()), 0);
    std::string decode = "ffmpeg -v error -y -i '" + bmp;
    decode += "' -f rawvideo -pix_fmt bgr24 '" + raw + "'";
    ASSERT_EQ(std::system(decode.c_str()), 0);
    std::ifstream f(bmp, std::ios::binary), r(raw, std::ios::binary);
    const std::vector<uint8_t> file((std::istreambuf_iterator<char>(f)), {});
    const std::vector<uint8_t> expected((std::istreambuf_iterator<char>(r)), {});
    ASSERT_GT(file.size(), 14u + 40u);
    ASSERT_EQ(expected.size(), 37u * 23 * 3);
    // The DIB is the file without its 14-byte file header; the pixels start where the file says.
    const std::vector<uint8_t> dib(file.begin() + 14, file.end());
    TIEBitmap b;
    const uint16_t bits = Import(dib, b);
    ASSERT_NE(bits, 0);
    depths.insert(bits);
    const uint32_t offBits = file[10] | file[11] << 8 | file[12] << 16 | static_cast<uint32_t>(file[13]) << 24;
    const uint32_t headerSize = dib[0] | dib[1] << 8;
    const uint32_t compression = dib[16];
    const uint32_t colors = dib[32] | dib[33] << 8;
    const uint32_t table = bits <= 8 ? (colors ? colors : 1u << bits) : colors;
    EXPECT_EQ(offBits - 14, headerSize + (compression == 3 && headerSize == 40 ? 12 : 0) + 4 * table);
    ASSERT_EQ(b.Width(), 37);
    ASSERT_EQ(b.Height(), 23);
    // FFmpeg widens 4-bit channels by a shift (15 -> 240); the import repeats the bits (15 -> 255),
    // as FFmpeg itself does for 5- and 6-bit channels.
    const bool fourBitChannels = name == "rgb444le";
    int wrong = 0;
    for (int y = 0; y < 23; ++y)
      for (int x = 0; x < 37; ++x) {
        uint8_t e[3];
        for (int k = 0; k < 3; ++k) {
          e[k] = expected[(y * 37 + x) * 3 + k];
          if (fourBitChannels) e[k] = static_cast<uint8_t>(e[k] | e[k] >> 4);
        }
        const TIERGB c = b.GetPixelRGB(x, y);
        if ((c.b != e[0] || c.g != e[1] || c.r != e[2]) && wrong++ < 3)
          ADD_FAILURE() << x << "," << y << ": " << int(c.r) << " " << int(c.g) << " " << int(c.b) << " against "
                        << int(e[2]) << " " << int(e[1]) << " " << int(e[0]);
      }
    EXPECT_EQ(wrong, 0);
  }
  // FFmpeg writes 1-, 8-, 16-, 24- and 32-bit DIBs (and 4 bits when its encoder has them).
  for (int bits : {1, 8, 16, 24, 32}) EXPECT_TRUE(depths.count(bits)) << bits;
}

}  // namespace
