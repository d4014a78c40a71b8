#include "imaging/io/codecs/tiff_directory.h"

#include <gtest/gtest.h>

#include "platform/system/streams.h"
#include "tests/imaging/io/codecs/tiff_fixture.h"

namespace {

class TBytesStream : public TMemoryStream {
 public:
  explicit TBytesStream(const std::vector<uint8_t>& bytes) {
    if (!bytes.empty()) Write(bytes.data(), static_cast<int32_t>(bytes.size()));
    Seek(0, soBeginning);
  }
};

// Loads page `page` of the file (origin at `origin`); returns the chain's page count.
int32_t Walk(TStream& s, int32_t page, TTIFFDirectory& dir, int64_t origin = 0) {
  bool intel = true;
  uint16_t version = 0;
  uint32_t first = 0;
  if (!TIFFReadHeader(s, origin, intel, version, first)) return -1;
  dir.IntelOrder = intel;
  dir.Stream = &s;
  dir.Origin = origin;
  int32_t count = 0;
  TIFFReadDirectory(page, first, dir, count);
  return count;
}

TiffBuilder ThreePages(bool big) {
  TiffBuilder b(big);
  for (uint32_t i = 0; i < 3; ++i) b.Page().Short(256, {10 + i}).Short(257, {20 + i});
  return b;
}

TEST(TIFFDirectory, InlineValuesComeFromTheRightHalfInBothByteOrders) {
  for (bool big : {false, true}) {
    TiffBuilder b(big);
    b.Page()
        .Short(259, {4})
        .Raw(266, 1, 1, {2})
        .Short(297, {3, 7})
        .Long(256, {70000})
        .Raw(9, 8, 1, big ? std::vector<uint8_t>{0xFF, 0xFE} : std::vector<uint8_t>{0xFE, 0xFF})
        .Ascii(305, "abc")
        .Raw(0, 1, 4, {2, 2, 0, 0});
    TBytesStream s(b.Build());
    TTIFFDirectory dir;
    ASSERT_EQ(Walk(s, 0, dir), 1);
    EXPECT_EQ(TIFFReadInteger(dir, 259, 0), 4) << big;
    EXPECT_EQ(TIFFReadInteger(dir, 266, 0), 2) << big;
    EXPECT_EQ(TIFFReadInteger(dir, 256, 0), 70000) << big;
    EXPECT_EQ(TIFFReadInteger(dir, 9, 0), -2) << big;  // SSHORT sign-extended
    EXPECT_EQ(TIFFReadIntegerAt(dir, 297, 0, -1), 3) << big;
    EXPECT_EQ(TIFFReadIntegerAt(dir, 297, 1, -1), 7) << big;
    EXPECT_EQ(TIFFReadIntegerAt(dir, 297, 2, -1), -1) << big;
    EXPECT_EQ(TIFFReadAscii(dir, 305), "abc") << big;
    EXPECT_EQ(TIFFReadInlineBytes(dir, 0), std::string("\2\2\0\0", 4)) << big;
    EXPECT_EQ(TIFFReadInteger(dir, 999, -5), -5);
  }
}

TEST(TIFFDirectory, RationalsUnsignedAndSigned) {
  for (bool big : {false, true}) {
    TiffBuilder b(big);
    b.Page()
        .Rational(282, {300, 1})
        .Rational(283, {7, 0})                                        // denominator 0 counts as 1
        .Rational(37380, {static_cast<uint32_t>(-2), 3}, 10)          // SRATIONAL -2/3
        .Rational(318, {1, 2, 3, 4});
    TBytesStream s(b.Build());
    TTIFFDirectory dir;
    ASSERT_EQ(Walk(s, 0, dir), 1);
    EXPECT_DOUBLE_EQ(TIFFReadRational(dir, 282, 0), 300);
    EXPECT_DOUBLE_EQ(TIFFReadRational(dir, 283, 0), 7);
    EXPECT_NEAR(TIFFReadRational(dir, 37380, 0), -2.0 / 3, 1e-12);
    EXPECT_DOUBLE_EQ(TIFFReadRationalAt(dir, 318, 1, -1), 0.75);
    EXPECT_DOUBLE_EQ(TIFFReadRationalAt(dir, 318, 2, -1), -1);
  }
}

TEST(TIFFDirectory, ChainIsCountedAndAnyPageLoads) {
  for (bool big : {false, true}) {
    TBytesStream s(ThreePages(big).Build());
    for (int32_t page = 0; page < 3; ++page) {
      TTIFFDirectory dir;
      EXPECT_EQ(Walk(s, page, dir), 3);
      EXPECT_EQ(TIFFReadInteger(dir, 256, 0), 10 + page);
    }
    TTIFFDirectory dir;
    EXPECT_EQ(Walk(s, 3, dir), 3);
    EXPECT_FALSE(dir.Loaded());
  }
}

TEST(TIFFDirectory, ChainsEndAtCyclesAndBadLinks) {
  struct Case {
    const char* name;
    int link;  // which directory the last one links back to (-1: a value below 8, -2: past the end)
    int32_t pages;
  };
  const Case cases[] = {{"self link", 2, 3}, {"cycle to the first", 0, 3}, {"cycle to the second", 1, 3},
                        {"into the header", -1, 3}, {"past the end", -2, 3}};
  for (const Case& c : cases) {
    TiffBuilder b = ThreePages(false);
    b.Build();
    const auto offsets = b.IfdOffsets;
    b.NextOverride = {-1, -1, c.link >= 0 ? offsets[c.link] : c.link == -1 ? 4 : 0x7FFFFFF0};
    TBytesStream s(b.Build());
    TTIFFDirectory dir;
    EXPECT_EQ(Walk(s, 5, dir), c.pages) << c.name;
  }
}

TEST(TIFFDirectory, LastDirectoryWithoutRoomForItsNextOffsetIsNotCounted) {
  TiffBuilder b = ThreePages(false);
  b.TruncateLastNext = true;
  TBytesStream s(b.Build());
  TTIFFDirectory dir;
  EXPECT_EQ(Walk(s, 2, dir), 2);
  EXPECT_FALSE(dir.Loaded());
}

TEST(TIFFDirectory, OffsetsCountFromTheOrigin) {
  const std::vector<uint8_t> prefix(37, 0xAA);
  // Offsets from the TIFF's first byte: read with the origin where it begins.
  {
    TBytesStream s(ThreePages(true).Build(prefix, false));
    TTIFFDirectory dir;
    EXPECT_EQ(Walk(s, 1, dir, 37), 3);
    EXPECT_EQ(TIFFReadInteger(dir, 257, 0), 21);
  }
  // Offsets from the stream's start (a TIFF written after other data): origin 0, header at 37.
  {
    TBytesStream s(ThreePages(true).Build(prefix, true));
    bool intel;
    uint16_t version;
    uint32_t first;
    ASSERT_TRUE(TIFFReadHeader(s, 37, intel, version, first));
    TTIFFDirectory dir;
    dir.IntelOrder = intel;
    dir.Stream = &s;
    int32_t count = 0;
    EXPECT_TRUE(TIFFReadDirectory(2, first, dir, count));
    EXPECT_EQ(count, 3);
    EXPECT_EQ(TIFFReadInteger(dir, 256, 0), 12);
  }
}

TEST(TIFFDirectory, ValuesOutsideTheStreamReadAsAbsent) {
  TiffBuilder b;
  b.Page()
      .Word(273, 4, 1000000, 8)            // a million offsets from a tiny file
      .Word(270, 2, 50, 0x7FFFFFF0)        // text past the end
      .Word(282, 5, 1, 0xFFFFFFF8)         // rational past the end
      .Word(320, 3, 768, 8)                // colour map too long for the file
      .Word(258, 3, 3, 0xFFFFFF00);        // BitsPerSample items outside
  TBytesStream s(b.Build());
  TTIFFDirectory dir;
  ASSERT_EQ(Walk(s, 0, dir), 1);
  EXPECT_TRUE(TIFFReadIntegerArray(dir, 273).empty());
  EXPECT_EQ(TIFFReadAscii(dir, 270), "");
  EXPECT_DOUBLE_EQ(TIFFReadRational(dir, 282, 72), 72);
  EXPECT_TRUE(TIFFReadColorMap(dir, 8).empty());
  EXPECT_EQ(TIFFReadBitsPerSample(dir), -1);
  EXPECT_TRUE(TIFFReadRawBlock(dir, 273).empty());
}

TEST(TIFFDirectory, BitsPerSampleAndColourMap) {
  TiffBuilder b(true);
  std::vector<uint32_t> map;
  for (int c = 0; c < 3; ++c)
    for (int i = 0; i < 4; ++i) map.push_back(static_cast<uint32_t>((c * 4 + i) * 0x1111));
  b.Page().Short(258, {8, 8, 16}).Short(320, map);
  TBytesStream s(b.Build());
  TTIFFDirectory dir;
  ASSERT_EQ(Walk(s, 0, dir), 1);
  EXPECT_EQ(TIFFReadBitsPerSample(dir), -1);  // unequal
  EXPECT_TRUE(TIFFReadColorMap(dir, 8).empty());  // 12 values are no 8-bit map
  const auto cm = TIFFReadColorMap(dir, 2);
  ASSERT_EQ(cm.size(), 4u);
  // 16-bit values: their high bytes. Entry 1: red 0x1111, green 0x5555, blue 0x9999.
  EXPECT_EQ(cm[1].r, 0x11);
  EXPECT_EQ(cm[1].g, 0x55);
  EXPECT_EQ(cm[1].b, 0x99);
  EXPECT_TRUE(TIFFReadColorMap(dir, 32).empty());
}

TEST(TIFFDirectory, WideStringsAreUTF16LittleEndian) {
  TiffBuilder b(true);
  // "Hé€" in UTF-16LE with a terminating NUL, as XP* tags are stored whatever the byte order.
  b.Page().Raw(40091, 1, 8, {'H', 0, 0xE9, 0, 0xAC, 0x20, 0, 0}).Raw(40092, 1, 4, {'A', 0, 0, 0});
  TBytesStream s(b.Build());
  TTIFFDirectory dir;
  ASSERT_EQ(Walk(s, 0, dir), 1);
  EXPECT_EQ(TIFFReadWideString(dir, 40091), "H\xC3\xA9\xE2\x82\xAC");
  EXPECT_EQ(TIFFReadWideString(dir, 40092), "A");
}

TEST(TIFFDirectory, HeaderNeedsAByteOrderMarkButNotVersion42) {
  TiffBuilder b;
  b.Version = 43;
  b.Page().Short(256, {1});
  TBytesStream s(b.Build());
  bool intel;
  uint16_t version;
  uint32_t first;
  EXPECT_TRUE(TIFFReadHeader(s, 0, intel, version, first));
  EXPECT_EQ(version, 43);
  TBytesStream bad(std::vector<uint8_t>{'I', 'M', 42, 0, 8, 0, 0, 0});
  EXPECT_FALSE(TIFFReadHeader(bad, 0, intel, version, first));
  TBytesStream shortFile(std::vector<uint8_t>{'I', 'I', 42});
  EXPECT_FALSE(TIFFReadHeader(shortFile, 0, intel, version, first));
}

}  // namespace
