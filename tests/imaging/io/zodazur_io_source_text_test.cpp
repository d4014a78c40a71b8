#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/io/format_registry.h"
#include "imaging/io/zodazur_io.h"
#include "platform/system/streams.h"
#include "tests/support/test_support.h"

namespace {

std::vector<std::string> Lines(const std::string& name) {
  std::ifstream in(name);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class SourceTextTest : public testing::Test {
 protected:
  void SetUp() override {
    InitializeZodazUrIO();
    TIEBitmap& b = *io.IEBitmap();
    b.Allocate(40, 30, ie24RGB);
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 40; ++x) b.SetPixel24(x, y, CreateRGB(uint8_t(x * 6), uint8_t(y * 8), uint8_t(x ^ y)));
    TMemoryStream s;
    io.SaveToStream(s, fmtBMP);
    const auto* p = static_cast<const uint8_t*>(s.Memory());
    encoded.assign(p, p + s.Size());
  }

  testsupport::ScratchDir dir;
  TZodazUrIO io{nullptr};
  std::vector<uint8_t> encoded;
};

TEST_F(SourceTextTest, PascalArray) {
  io.SaveToSourceText(dir.File("logo.bmp"), fmtBMP, 0);
  EXPECT_FALSE(io.Aborting());
  EXPECT_EQ(io.Params().FileName, dir.File("logo.bmp"));
  const auto lines = Lines(dir.File("logo.bmp"));
  ASSERT_GT(lines.size(), 4u);
  EXPECT_EQ(lines[0], "const");
  EXPECT_EQ(lines[1], "  logo_bmp_Size = " + std::to_string(encoded.size()) + ";");
  EXPECT_EQ(lines[2], "  logo_bmp : array [0..logo_bmp_Size-1] of byte = (");
  std::string all;
  for (size_t i = 3; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i].compare(0, 4, "    "), 0);
    if (i + 1 < lines.size()) {
      EXPECT_GT(lines[i].size() - 4, 70u);
      EXPECT_EQ(lines[i].back(), ',');
    }
    all += lines[i].substr(4);
  }
  EXPECT_EQ(lines.back().substr(lines.back().size() - 2), ");");
  // Every byte, in order.
  std::string expected;
  char hex[8];
  for (size_t i = 0; i < encoded.size(); ++i) {
    std::snprintf(hex, sizeof hex, "$%02X%s", encoded[i], i + 1 < encoded.size() ? "," : ");");
    expected += hex;
  }
  EXPECT_EQ(all, expected);
}

TEST_F(SourceTextTest, CByteListWithACommentAndNoDeclaration) {
  io.SaveToSourceText(dir.File("sub dir-1.x.bmp"), fmtBMP, 1);
  const auto lines = Lines(dir.File("sub dir-1.x.bmp"));
  ASSERT_GT(lines.size(), 2u);
  EXPECT_EQ(lines[0], "// Size=" + std::to_string(encoded.size()));
  EXPECT_EQ(lines[1].compare(0, 6, "0x42,0"), 0);  // "B" of "BM", no indent
  EXPECT_EQ(lines.back().find('}'), std::string::npos);
  EXPECT_EQ(lines.back().back() == ',', false);
  std::string all;
  for (size_t i = 1; i < lines.size(); ++i) all += lines[i];
  EXPECT_EQ(static_cast<size_t>(std::count(all.begin(), all.end(), ',')) + 1, encoded.size());
}

TEST_F(SourceTextTest, Base64) {
  io.SaveToSourceText(dir.File("b.txt"), fmtGIF, 2);
  const auto lines = Lines(dir.File("b.txt"));
  ASSERT_GT(lines.size(), 1u);
  for (size_t i = 0; i + 1 < lines.size(); ++i) EXPECT_EQ(lines[i].size(), 76u);
  EXPECT_EQ(lines[0].substr(0, 8), "R0lGODlh");  // "GIF89a"
}

TEST_F(SourceTextTest, TextArtRampFromBlackToWhite) {
  TIEBitmap& b = *io.IEBitmap();
  b.Allocate(3, 2, ie24RGB);
  b.SetPixel24(0, 0, CreateRGB(0, 0, 0));
  b.SetPixel24(1, 0, CreateRGB(128, 128, 128));
  b.SetPixel24(2, 0, CreateRGB(255, 255, 255));
  b.SetPixel24(0, 1, CreateRGB(60, 60, 60));
  b.SetPixel24(1, 1, CreateRGB(170, 170, 170));
  b.SetPixel24(2, 1, CreateRGB(200, 200, 200));
  io.SaveToSourceText(dir.File("art.txt"), fmtUnknown, 3);
  EXPECT_FALSE(io.Aborting());
  EXPECT_EQ(Lines(dir.File("art.txt")), (std::vector<std::string>{"W+ ", "#.,"}));
}

TEST_F(SourceTextTest, TextArtOfAnotherFormatWritesNothing) {
  io.IEBitmap()->Allocate(3, 2, ie1g);
  io.SaveToSourceText(dir.File("art.txt"), fmtUnknown, 3);
  EXPECT_TRUE(io.Aborting());
  EXPECT_FALSE(FileExists(dir.File("art.txt")));
  EXPECT_NE(io.Params().FileName, dir.File("art.txt"));
  // A format that cannot encode the image gives no text either.
  io.IEBitmap()->Allocate(3, 2, ie24RGB);
  io.SaveToSourceText(dir.File("a.txt"), fmtPSD, 0);
  EXPECT_TRUE(io.Aborting());
  EXPECT_FALSE(FileExists(dir.File("a.txt")));
}

}  // namespace
