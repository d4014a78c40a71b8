// DVD sub-picture units built byte by byte: the control sequences, the two fields' run lengths of
// every code length, damaged units refused, and blending with a button's highlight.
#include <gtest/gtest.h>

#include <vector>

#include "platform/media/dvd_spu.h"

namespace {

// Builds a unit: the fields' nibbles (each field's lines byte-aligned) and one control sequence.
struct TUnitBuilder {
  std::vector<uint8_t> bytes{0, 0, 0, 0};
  std::vector<uint8_t> nibbles;
  void Nibbles(std::initializer_list<uint8_t> values) { nibbles.insert(nibbles.end(), values); }
  void EndLine() {
    if (nibbles.size() % 2) nibbles.push_back(0);
  }
  size_t Flush() {
    const size_t at = bytes.size();
    for (size_t i = 0; i < nibbles.size(); i += 2) bytes.push_back(static_cast<uint8_t>((nibbles[i] << 4) | nibbles[i + 1]));
    nibbles.clear();
    return at;
  }
  std::vector<uint8_t> Finish(const std::vector<uint8_t>& commands) {
    const size_t control = bytes.size();
    bytes.push_back(0);  // delay 0
    bytes.push_back(0);
    bytes.push_back(static_cast<uint8_t>(control >> 8));  // the last sequence points at itself
    bytes.push_back(static_cast<uint8_t>(control));
    bytes.insert(bytes.end(), commands.begin(), commands.end());
    bytes[0] = static_cast<uint8_t>(bytes.size() >> 8);
    bytes[1] = static_cast<uint8_t>(bytes.size());
    bytes[2] = static_cast<uint8_t>(control >> 8);
    bytes[3] = static_cast<uint8_t>(control);
    return bytes;
  }
};

// A 40 x 2 area at (8, 4): the top line in runs coded with 1, 2, 3 and 4 nibbles, the bottom line
// one run to its end.
std::vector<uint8_t> SampleUnit(bool Forced = true) {
  TUnitBuilder b;
  // Top field: 1 x code 1 (4-bit: 0x5), 4 x code 2 (8-bit: 0x12), 20 x code 3 (12-bit: 0x053),
  // 15 x code 0 (16-bit: 0x003C).
  b.Nibbles({0x5, 0x1, 0x2, 0x0, 0x5, 0x3, 0x0, 0x0, 0x3, 0xC});
  b.EndLine();
  const size_t top = b.Flush();
  // Bottom field: code 2 to the end of the line (16-bit, run 0).
  b.Nibbles({0x0, 0x0, 0x0, 0x2});
  b.EndLine();
  const size_t bottom = b.Flush();
  const uint8_t x1 = 8, x2 = 47, y1 = 4, y2 = 5;
  return b.Finish({static_cast<uint8_t>(Forced ? 0x00 : 0x01), 0x03, 0x32, 0x10,  // colours: code 3 -> 3 ... 0 -> 0
                   0x04, 0xF8, 0x40,                                              // contrasts 15, 8, 4, 0
                   0x05, static_cast<uint8_t>(x1 >> 4), static_cast<uint8_t>(((x1 & 15) << 4) | (x2 >> 8)), x2,
                   static_cast<uint8_t>(y1 >> 4), static_cast<uint8_t>(((y1 & 15) << 4) | (y2 >> 8)), y2,  //
                   0x06, static_cast<uint8_t>(top >> 8), static_cast<uint8_t>(top), static_cast<uint8_t>(bottom >> 8),
                   static_cast<uint8_t>(bottom), 0xFF});
}

}  // namespace

TEST(DvdSpuTest, DecodesControlAndRuns) {
  const std::vector<uint8_t> unit = SampleUnit();
  TDvdSubpicture spu;
  ASSERT_TRUE(DecodeDvdSubpicture(unit.data(), unit.size(), spu));
  EXPECT_EQ(spu.X, 8);
  EXPECT_EQ(spu.Y, 4);
  EXPECT_EQ(spu.Width, 40);
  EXPECT_EQ(spu.Height, 2);
  EXPECT_TRUE(spu.Forced);
  EXPECT_EQ(spu.StopDelay, -1);
  EXPECT_EQ(spu.Color[3], 3);
  EXPECT_EQ(spu.Color[0], 0);
  EXPECT_EQ(spu.Alpha[3], 15);
  EXPECT_EQ(spu.Alpha[2], 8);
  EXPECT_EQ(spu.Alpha[1], 4);
  EXPECT_EQ(spu.Alpha[0], 0);
  std::vector<uint8_t> top = {1, 2, 2, 2, 2};
  top.insert(top.end(), 20, 3);
  top.insert(top.end(), 15, 0);
  EXPECT_EQ(std::vector<uint8_t>(spu.Codes.begin(), spu.Codes.begin() + 40), top);
  EXPECT_EQ(std::vector<uint8_t>(spu.Codes.begin() + 40, spu.Codes.end()), std::vector<uint8_t>(40, 2));

  // Gathered from packets of any size, the unit is the same.
  TDvdSpuAssembler assembler;
  for (size_t at = 0; at < unit.size(); at += 5) {
    const bool done = assembler.Add(unit.data() + at, static_cast<int32_t>(std::min<size_t>(5, unit.size() - at)), 900);
    EXPECT_EQ(done, at + 5 >= unit.size());
  }
  EXPECT_EQ(assembler.Unit(), unit);
  EXPECT_EQ(assembler.UnitPts(), 900);
}

TEST(DvdSpuTest, DamagedUnitsAreRefused) {
  const std::vector<uint8_t> good = SampleUnit();
  TDvdSubpicture spu;
  // Cut anywhere: refused or decoded within the bytes there are (AddressSanitizer watches).
  for (size_t n = 0; n < good.size(); ++n) {
    std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<ptrdiff_t>(n));
    DecodeDvdSubpicture(cut.data(), cut.size(), spu);
  }
  struct Case {
    const char* what;
    size_t at;
    uint8_t value;
  };
  const size_t control = (size_t{good[2]} << 8) | good[3];
  const Case cases[] = {
      {"control sequence past the unit", 2, 0xFF},
      {"no start command", control + 4, 0xFF},
      {"field offset past the unit", control + 4 + 1 + 3 + 3 + 7 + 1, 0xFF},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bad = good;
    bad[c.at] = c.value;
    EXPECT_FALSE(DecodeDvdSubpicture(bad.data(), bad.size(), spu)) << c.what;
  }
  // An area wider than any DVD's.
  std::vector<uint8_t> wide = good;
  const size_t area = control + 4 + 1 + 3 + 3 + 1;
  wide[area] = 0;
  wide[area + 1] = 0x0F;
  wide[area + 2] = 0xFF;
  EXPECT_FALSE(DecodeDvdSubpicture(wide.data(), wide.size(), spu));
  // A unit whose size is below its header's is not gathered.
  TDvdSpuAssembler assembler;
  const uint8_t tiny[] = {0, 2, 0, 0};
  EXPECT_FALSE(assembler.Add(tiny, 4, 0));
}

TEST(DvdSpuTest, BlendsWithTheHighlight) {
  const std::vector<uint8_t> unit = SampleUnit();
  TDvdSubpicture spu;
  ASSERT_TRUE(DecodeDvdSubpicture(unit.data(), unit.size(), spu));
  uint32_t clut[16] = {};
  clut[1] = 0x00108080;  // black
  clut[2] = 0x00EB8080;  // white
  clut[3] = 0x00296EF0;  // blue (Y 41, Cr 110, Cb 240)
  clut[5] = 0x00D29210;  // yellow (Y 210, Cr 146, Cb 16)
  const int w = 64, h = 8, row = 192;
  std::vector<uint8_t> frame(static_cast<size_t>(row) * h, 0);
  TDvdHighlight highlight;
  highlight.Valid = true;
  highlight.X0 = 30;
  highlight.X1 = 90;  // past the frame: clipped
  highlight.Y0 = 0;
  highlight.Y1 = 4;
  highlight.Color[2] = 2;
  highlight.Alpha[2] = 8;
  highlight.Color[3] = 5;
  highlight.Alpha[3] = 15;
  BlendDvdSubpicture(spu, highlight, clut, frame.data(), row, w, h);
  // Rows bottom-up, blue first.
  const auto at = [&](int x, int y) { return frame.data() + (h - 1 - y) * row + x * 3; };
  // Line 5 (bottom field, code 2, contrast 8 of 15 over black): half white, also below the
  // highlight's rectangle.
  EXPECT_NEAR(at(10, 5)[0], 255 * 8 / 15, 3);
  EXPECT_NEAR(at(40, 5)[2], 255 * 8 / 15, 3);
  // Line 4: code 1 (black, contrast 4) stays black; code 3 is opaque blue, yellow inside the
  // highlight; code 0 and what lies outside the area are untouched.
  EXPECT_LT(at(8, 4)[1], 3);
  EXPECT_GT(at(20, 4)[0], 200);
  EXPECT_LT(at(20, 4)[2], 40);
  EXPECT_LT(at(31, 4)[0], 40);
  EXPECT_GT(at(31, 4)[2], 200);
  EXPECT_GT(at(31, 4)[1], 200);
  EXPECT_EQ(at(40, 4)[0], 0);
  EXPECT_EQ(at(2, 2)[0], 0);
  EXPECT_EQ(at(60, 4)[0], 0);
}
