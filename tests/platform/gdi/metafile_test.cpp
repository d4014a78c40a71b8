// The metafile player: headers and sizes, each group of records drawn onto a DIB and checked at
// interior points, object tables, and damaged files that must stop cleanly.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/gdi/bitmap.h"
#include "platform/gdi/graphics.h"
#include "platform/gdi/metafile.h"
#include "platform/gdi/picture.h"
#include "platform/system/memory.h"
#include "platform/system/streams.h"
#include "tests/support/metafile_builder.h"
#include "tests/support/test_support.h"

using testsupport::EmfBuilder;
using testsupport::WmfBuilder;

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255), kRed = RGB(255, 0, 0), kBlue = RGB(0, 0, 255),
                   kGreen = RGB(0, 255, 0);

// A white 24-bit DIB section the metafile is played onto.
class Surface {
 public:
  Surface(int w, int h) : w_(w), h_(h) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = 40;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    bmp_ = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits_, nullptr, 0);
    dc_ = CreateCompatibleDC(nullptr);
    old_ = SelectObject(dc_, bmp_);
    HBRUSH b = CreateSolidBrush(kWhite);
    TRect r{0, 0, w, h};
    FillRect(dc_, &r, b);
    DeleteObject(b);
  }
  ~Surface() {
    SelectObject(dc_, old_);
    DeleteDC(dc_);
    DeleteObject(bmp_);
  }
  bool Play(const std::vector<uint8_t>& data) { return PlayMetafile(dc_, data.data(), data.size(), TRect{0, 0, w_, h_}); }
  COLORREF At(int x, int y) const { return GetPixel(dc_, x, y); }
  // Pixels of a colour inside a rectangle.
  int Count(COLORREF c, int l, int t, int r, int b) const {
    int n = 0;
    for (int y = t; y < b; ++y)
      for (int x = l; x < r; ++x) n += At(x, y) == c;
    return n;
  }
  HDC dc() const { return dc_; }

 private:
  int w_, h_;
  void* bits_ = nullptr;
  HBITMAP bmp_;
  HDC dc_;
  HGDIOBJ old_;
};

struct Probe {
  int x, y;
  COLORREF color;
};

void ExpectProbes(const Surface& s, const std::vector<Probe>& probes, const std::string& name) {
  for (const Probe& p : probes)
    EXPECT_EQ(s.At(p.x, p.y), p.color) << name << " at " << p.x << "," << p.y;
}

// Records played onto a white 100 x 100 surface (after the table's common records) and the colours
// they must leave at some points.
struct EmfCase {
  const char* name;
  std::function<void(EmfBuilder&)> records;
  std::vector<Probe> probes;
};

void ExpectEmfCases(const std::vector<EmfCase>& cases, const std::function<void(EmfBuilder&)>& common = {}) {
  for (const EmfCase& c : cases) {
    EmfBuilder e(100, 100);
    if (common) common(e);
    c.records(e);
    Surface s(100, 100);
    ASSERT_TRUE(s.Play(e.Finish())) << c.name;
    ExpectProbes(s, c.probes, c.name);
  }
}

// 16-bit points as 32-bit words (x low, y high).
int64_t P16(int x, int y) { return static_cast<uint16_t>(x) | static_cast<int64_t>(static_cast<uint16_t>(y)) << 16; }

std::vector<uint8_t> Utf16(const std::u16string& s) {
  std::vector<uint8_t> out;
  for (char16_t c : s) out.push_back(c & 0xFF), out.push_back(c >> 8);
  return out;
}

}  // namespace

TEST(MetafileHeader, SizesFromFramesBoxesAndWindows) {
  struct Case {
    const char* name;
    std::vector<uint8_t> data;
    bool valid, enhanced;
    int64_t w, h;
  };
  std::vector<uint8_t> noExtent = WmfBuilder().Rectangle(0, 0, 10, 10).Finish();
  std::vector<uint8_t> badSignature = EmfBuilder(10, 10).Finish();
  badSignature[40] = 'X';
  std::vector<uint8_t> longHeader = EmfBuilder(10, 10).Finish();
  longHeader[4] = 0xF0, longHeader[5] = 0xFF;  // the header record reaches past the file
  std::vector<uint8_t> wmfHeaderSize = WmfBuilder().Finish();
  wmfHeaderSize[2] = 8;
  const Case cases[] = {
      {"emf frame", EmfBuilder(200, 100).Finish(), true, true, 200, 100},
      // 2540 x 1270 hundredths of a millimetre: an inch by half an inch at 96 pixels per inch.
      {"emf inch", EmfBuilder::WithFrame(0, 0, 2540, 1270, 0, 0, 9, 9).Finish(), true, true, 96, 48},
      {"emf empty frame: bounds", EmfBuilder::WithFrame(0, 0, 0, 0, 10, 20, 59, 39).Finish(), true, true, 50, 20},
      // A box of 1440 x 720 units at 1440 units per inch.
      {"placeable", WmfBuilder(0, 0, 1440, 720, 1440).Finish(), true, false, 96, 48},
      {"placeable reversed box", WmfBuilder(100, 100, 0, 50, 100).Finish(), true, false, 96, 48},
      // The first window extent at 1440 units per inch: 2880 x 1440 is 2 x 1 inches.
      {"plain", WmfBuilder().Window(0, 0, 2880, 1440).Window(0, 0, 10, 10).Finish(), true, false, 192, 96},
      {"plain without extent", noExtent, true, false, 0, 0},
      {"bad signature", badSignature, false, false, 0, 0},
      {"header past the end", longHeader, false, false, 0, 0},
      {"wmf header size", wmfHeaderSize, false, false, 0, 0},
      {"short", std::vector<uint8_t>(17, 1), false, false, 0, 0},
  };
  for (const Case& c : cases) {
    TMetafileHeader h;
    ASSERT_EQ(ReadMetafileHeader(c.data.data(), c.data.size(), h), c.valid) << c.name;
    if (!c.valid) continue;
    EXPECT_EQ(h.Enhanced, c.enhanced) << c.name;
    EXPECT_EQ(h.Width, c.w) << c.name;
    EXPECT_EQ(h.Height, c.h) << c.name;
  }
}

TEST(MetafilePlayer, EnhancedShapes) {
  auto redFill = [](EmfBuilder& e) { e.Brush(1, kRed).NullPen(); };
  const std::vector<EmfCase> cases = {
      {"rectangle", [&](EmfBuilder& e) { redFill(e), e.Rectangle(10, 10, 90, 90); },
       {{50, 50, kRed}, {12, 12, kRed}, {5, 5, kWhite}, {95, 50, kWhite}}},
      {"ellipse", [&](EmfBuilder& e) { redFill(e), e.Rec(42, {10, 10, 90, 90}); },
       {{50, 50, kRed}, {50, 12, kRed}, {14, 14, kWhite}}},
      {"polygon16", [&](EmfBuilder& e) { redFill(e), e.Rec(86, {0, 0, 0, 0, 3, P16(10, 90), P16(50, 10), P16(90, 90)}); },
       {{50, 70, kRed}, {15, 15, kWhite}, {85, 20, kWhite}}},
      {"polygon", [&](EmfBuilder& e) { redFill(e), e.Rec(3, {0, 0, 0, 0, 3, 10, 90, 50, 10, 90, 90}); },
       {{50, 70, kRed}, {15, 15, kWhite}}},
      {"polypolygon16",
       [&](EmfBuilder& e) {
         redFill(e);
         e.Rec(91, {0, 0, 0, 0, 2, 8, 4, 4, P16(10, 10), P16(30, 10), P16(30, 30), P16(10, 30), P16(60, 60),
                    P16(90, 60), P16(90, 90), P16(60, 90)});
       },
       {{20, 20, kRed}, {75, 75, kRed}, {45, 45, kWhite}}},
      // Counter-clockwise from the ray through (90, 50) to the one through (50, 10): the upper
      // right quarter.
      {"pie", [&](EmfBuilder& e) { redFill(e), e.Rec(47, {10, 10, 90, 90, 90, 50, 50, 10}); },
       {{65, 35, kRed}, {35, 65, kWhite}, {35, 35, kWhite}}},
      {"pie clockwise",
       [&](EmfBuilder& e) { redFill(e), e.Rec(57, {2}), e.Rec(47, {10, 10, 90, 90, 90, 50, 50, 10}); },
       {{65, 35, kWhite}, {35, 65, kRed}, {35, 35, kRed}}},
      {"chord", [&](EmfBuilder& e) { redFill(e), e.Rec(46, {10, 10, 90, 90, 90, 50, 50, 10}); },
       {{75, 25, kRed}, {60, 40, kWhite}}},
      {"round rect", [&](EmfBuilder& e) { redFill(e), e.Rec(44, {10, 10, 90, 90, 30, 30}); },
       {{50, 50, kRed}, {11, 11, kWhite}, {11, 50, kRed}}},
      {"thick polyline16",
       [](EmfBuilder& e) { e.Pen(1, kBlue, 10).Rec(87, {0, 0, 0, 0, 2, P16(10, 50), P16(90, 50)}); },
       {{50, 52, kBlue}, {50, 47, kBlue}, {50, 60, kWhite}}},
      {"thick polybezier16",
       [](EmfBuilder& e) {
         e.Pen(1, kBlue, 8).Rec(85, {0, 0, 0, 0, 4, P16(10, 50), P16(30, 50), P16(70, 50), P16(90, 50)});
       },
       {{50, 50, kBlue}, {50, 60, kWhite}}},
      {"move and line to", [](EmfBuilder& e) { e.Pen(1, kBlue, 6).Rec(27, {20, 20}).Rec(54, {80, 20}); },
       {{50, 20, kBlue}, {50, 30, kWhite}}},
      // The upper half of the circle, drawn with a wide pen.
      {"arc", [](EmfBuilder& e) { e.Pen(1, kBlue, 6).Rec(45, {10, 10, 90, 90, 90, 50, 10, 50}); },
       {{50, 10, kBlue}, {50, 90, kWhite}, {50, 50, kWhite}}},
      // From the current position (10, 90) a line to the arc's start, the upper half of the circle
      // counter-clockwise, and the position left at its end (10, 50) for the next line.
      {"arc to",
       [](EmfBuilder& e) {
         e.Pen(1, kBlue, 6).Rec(27, {10, 90}).Rec(55, {10, 10, 90, 90, 90, 50, 10, 50}).Rec(54, {10, 90});
       },
       {{50, 10, kBlue}, {50, 70, kBlue}, {10, 70, kBlue}, {50, 50, kWhite}, {90, 80, kWhite}}},
      // The same figure by centre, radius 40 and angles 0 and 180 degrees.
      {"angle arc",
       [](EmfBuilder& e) {
         e.Pen(1, kBlue, 6).Rec(27, {10, 90}).Rec(41, {50, 50, 40, 0, 0x43340000}).Rec(54, {10, 90});
       },
       {{50, 10, kBlue}, {50, 70, kBlue}, {10, 70, kBlue}, {50, 50, kWhite}, {90, 80, kWhite}}},
      // Move, line, line and close: the triangle's three sides, its inside left alone.
      {"polydraw",
       [](EmfBuilder& e) { e.Pen(1, kBlue, 6).Rec(56, {0, 0, 0, 0, 3, 10, 10, 90, 10, 90, 90, 0x00030206}); },
       {{50, 10, kBlue}, {90, 50, kBlue}, {50, 50, kBlue}, {70, 30, kWhite}, {30, 70, kWhite}}},
      // Inside a path the arc is a figure of its own, closed by the fill: the chord's half disc.
      {"arc in a path",
       [&](EmfBuilder& e) {
         redFill(e), e.Rec(59, {}).Rec(45, {10, 10, 90, 90, 90, 50, 10, 50}).Rec(60, {}).Rec(62, {0, 0, 0, 0});
       },
       {{50, 25, kRed}, {50, 60, kWhite}}},
      // The arc continues the figure begun at the current position.
      {"arc to in a path",
       [&](EmfBuilder& e) {
         redFill(e), e.Rec(59, {}).Rec(27, {10, 90}).Rec(55, {10, 10, 90, 90, 90, 50, 10, 50});
         e.Rec(60, {}).Rec(62, {0, 0, 0, 0});
       },
       {{50, 40, kRed}, {20, 60, kRed}, {50, 82, kWhite}, {85, 80, kWhite}}},
      {"set pixel", [](EmfBuilder& e) { e.Rec(15, {20, 30, kGreen}); }, {{20, 30, kGreen}, {21, 30, kWhite}}},
      {"stock black brush", [](EmfBuilder& e) { e.NullPen().Rec(37, {0x80000004}).Rectangle(10, 10, 90, 90); },
       {{50, 50, RGB(0, 0, 0)}}},
      {"null brush draws the outline only",
       [](EmfBuilder& e) { e.Pen(1, kBlue, 4).NullBrush().Rectangle(10, 10, 90, 90); },
       {{50, 50, kWhite}, {10, 50, kBlue}}},
      {"deleting the selected brush keeps it drawing",
       [](EmfBuilder& e) { e.Brush(1, kRed).NullPen().Rec(40, {1}).Rectangle(10, 10, 90, 90); }, {{50, 50, kRed}}},
      {"unknown records are skipped",
       [&](EmfBuilder& e) { redFill(e), e.Rec(9999, {1, 2, 3}).Rec(70, {0}).Rectangle(10, 10, 90, 90); },
       {{50, 50, kRed}}},
  };
  ExpectEmfCases(cases);
}

// The object table is as large as the header says, however large: the last of 65535 slots holds a
// brush, the slot past it holds none (the red brush stays selected).
TEST(MetafilePlayer, LargestObjectTable) {
  for (const uint32_t slot : {65534u, 65535u}) {
    EmfBuilder e(100, 100, 65535);
    e.Brush(1, kRed).NullPen().Brush(slot, kBlue).Rectangle(10, 10, 90, 90);
    Surface s(100, 100);
    ASSERT_TRUE(s.Play(e.Finish()));
    EXPECT_EQ(s.At(50, 50), slot == 65534u ? kBlue : kRed) << slot;
  }
}

TEST(MetafilePlayer, MappingModesAndWorldTransforms) {
  const std::vector<EmfCase> cases = {
      // Ten logical units across the hundred pixels.
      {"anisotropic",
       [](EmfBuilder& e) { e.Rec(17, {8}).Rec(9, {10, 10}).Rec(11, {100, 100}).Rectangle(1, 1, 9, 9); },
       {{50, 50, kRed}, {5, 5, kWhite}, {95, 95, kWhite}}},
      // Isotropic takes the smaller scale for both axes: 100 / 20 across, not 100 / 10.
      {"isotropic",
       [](EmfBuilder& e) { e.Rec(17, {7}).Rec(9, {20, 10}).Rec(11, {100, 100}).Rectangle(0, 0, 10, 10); },
       {{25, 25, kRed}, {75, 25, kWhite}, {25, 75, kWhite}}},
      // Tenths of a millimetre, y up: 100 units are 10 mm, 37.8 reference pixels, from the
      // viewport origin at the bottom.
      {"lometric y-up",
       [](EmfBuilder& e) { e.Rec(17, {2}).Rec(12, {0, 100}).Rectangle(0, 0, 100, 100); },
       {{18, 80, kRed}, {18, 40, kWhite}, {60, 80, kWhite}}},
      {"window origin",
       [](EmfBuilder& e) { e.Rec(10, {50, 50}).Rectangle(50, 50, 70, 70); }, {{10, 10, kRed}, {40, 40, kWhite}}},
      {"world transform scales",
       [](EmfBuilder& e) {
         e.Rec(35, {0x40000000, 0, 0, 0x40000000, 0, 0});  // 2.0 on the diagonal
         e.Rectangle(10, 10, 30, 30);
       },
       {{50, 50, kRed}, {70, 70, kWhite}, {15, 15, kWhite}}},
      // A left multiplication applies the new transform first: (x + 5) x 2.
      {"left multiply",
       [](EmfBuilder& e) {
         e.Rec(35, {0x40000000, 0, 0, 0x40000000, 0, 0});
         e.Rec(36, {0x3F800000, 0, 0, 0x3F800000, 0x40A00000, 0, 2});
         e.Rectangle(10, 10, 30, 30);
       },
       {{50, 50, kRed}, {25, 50, kWhite}}},
      {"identity resets",
       [](EmfBuilder& e) {
         e.Rec(35, {0x40000000, 0, 0, 0x40000000, 0, 0}).Rec(36, {0, 0, 0, 0, 0, 0, 1});
         e.Rectangle(10, 10, 30, 30);
       },
       {{20, 20, kRed}, {50, 50, kWhite}}},
  };
  ExpectEmfCases(cases, [](EmfBuilder& e) { e.Brush(1, kRed).NullPen(); });
}

TEST(MetafilePlayer, SavedStatesPathsAndClipping) {
  auto square = [](EmfBuilder& e, int l, int t, int r, int b) {
    e.Rec(27, {l, t}).Rec(54, {r, t}).Rec(54, {r, b}).Rec(54, {l, b}).Rec(61, {});
  };
  const std::vector<EmfCase> cases = {
      {"restore brings the brush back",
       [](EmfBuilder& e) { e.Rec(33, {}).Brush(2, kBlue).Rec(34, {-1}).Rectangle(10, 10, 90, 90); },
       {{50, 50, kRed}}},
      {"restore brings the clip back",
       [](EmfBuilder& e) { e.Rec(33, {}).Rec(30, {0, 0, 10, 10}).Rec(34, {-1}).Rectangle(10, 10, 90, 90); },
       {{50, 50, kRed}}},
      {"restore beyond the saved states is ignored",
       [](EmfBuilder& e) { e.Rec(34, {-5}).Rec(34, {7}).Rectangle(10, 10, 90, 90); }, {{50, 50, kRed}}},
      {"fill path",
       [&](EmfBuilder& e) { e.Rec(59, {}), square(e, 10, 10, 90, 90), e.Rec(60, {}).Rec(62, {0, 0, 0, 0}); },
       {{50, 50, kRed}, {5, 5, kWhite}}},
      {"stroke path",
       [&](EmfBuilder& e) {
         e.Pen(2, kBlue, 6).Rec(59, {}), square(e, 10, 10, 90, 90), e.Rec(60, {}).Rec(64, {0, 0, 0, 0});
       },
       {{10, 50, kBlue}, {50, 50, kWhite}}},
      {"aborted path draws nothing",
       [&](EmfBuilder& e) { e.Rec(59, {}), square(e, 10, 10, 90, 90), e.Rec(68, {}).Rec(62, {0, 0, 0, 0}); },
       {{50, 50, kWhite}}},
      {"shapes inside a path only build it",
       [](EmfBuilder& e) { e.Rec(59, {}).Rectangle(10, 10, 90, 90).Rec(60, {}); }, {{50, 50, kWhite}}},
      {"clip path",
       [&](EmfBuilder& e) {
         e.Rec(59, {}), square(e, 20, 20, 40, 40), e.Rec(60, {}).Rec(67, {5}).Rectangle(0, 0, 100, 100);
       },
       {{30, 30, kRed}, {60, 60, kWhite}}},
      {"intersect clip", [](EmfBuilder& e) { e.Rec(30, {20, 20, 40, 40}).Rectangle(0, 0, 100, 100); },
       {{30, 30, kRed}, {60, 60, kWhite}}},
      {"exclude clip", [](EmfBuilder& e) { e.Rec(29, {20, 20, 40, 40}).Rectangle(0, 0, 100, 100); },
       {{30, 30, kWhite}, {60, 60, kRed}}},
      {"offset clip", [](EmfBuilder& e) { e.Rec(30, {20, 20, 40, 40}).Rec(26, {40, 0}).Rectangle(0, 0, 100, 100); },
       {{30, 30, kWhite}, {70, 30, kRed}}},
      // A copy of no region removes the clip.
      {"clip region reset",
       [](EmfBuilder& e) { e.Rec(30, {20, 20, 40, 40}).Rec(75, {0, 5}).Rectangle(0, 0, 100, 100); },
       {{60, 60, kRed}}},
      {"clip region",
       [](EmfBuilder& e) {
         // RGNDATA: a 32-byte header and one rectangle, in device units.
         e.Rec(75, {48, 5, 32, 1, 1, 16, 50, 50, 80, 80, 50, 50, 80, 80}).Rectangle(0, 0, 100, 100);
       },
       {{60, 60, kRed}, {30, 30, kWhite}}},
      {"fill region with a brush object",
       [](EmfBuilder& e) {
         e.Rec(39, {3, 0, kBlue, 0});
         e.Rec(71, {0, 0, 0, 0, 48, 3, 32, 1, 1, 16, 10, 10, 30, 30, 10, 10, 30, 30});
       },
       {{20, 20, kBlue}, {50, 50, kWhite}}},
  };
  ExpectEmfCases(cases, [](EmfBuilder& e) { e.Brush(1, kRed).NullPen(); });
}

TEST(MetafilePlayer, TextAndBitmaps) {
  // ExtTextOutW with an opaque rectangle: the rectangle takes the background colour, the glyphs
  // the text colour below the reference point.
  {
    EmfBuilder e(100, 100);
    e.Rec(25, {kGreen}).Rec(24, {kBlue}).Rec(18, {1});
    testsupport::ByteBuilder font;
    font.U32(1).U32(static_cast<uint32_t>(-40)).U32(0).U32(0).U32(0).U32(700).U32(0).U32(0);
    font.Raw(Utf16(u"Liberation Sans")).Zeros(64 - 30);
    e.Raw(82, font.Bytes()).Rec(37, {1});
    testsupport::ByteBuilder text;
    text.Zeros(16).U32(1).U32(0).U32(0);                    // bounds, graphics mode, scales
    text.U32(10).U32(50).U32(2).U32(76).U32(2);             // reference, chars, offString, ETO_OPAQUE
    text.U32(0).U32(0).U32(100).U32(45).U32(0);             // rectangle, no advances
    text.Raw(Utf16(u"HH"));
    e.Raw(84, text.Bytes());
    Surface s(100, 100);
    ASSERT_TRUE(s.Play(e.Finish()));
    EXPECT_EQ(s.At(90, 40), kGreen);
    EXPECT_GT(s.Count(kBlue, 10, 50, 80, 100), 40);
    EXPECT_EQ(s.Count(kBlue, 0, 0, 100, 45), 0);
    EXPECT_EQ(s.Count(kBlue, 80, 45, 100, 100), 0);
  }
  // StretchDIBits of a 2 x 2 bottom-up DIB over the whole picture: each pixel a quarter, the
  // first row on top.
  {
    const std::vector<uint8_t> dib =
        testsupport::PackedDib24(2, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00});
    testsupport::ByteBuilder r;
    r.Zeros(16).U32(0).U32(0).U32(0).U32(0).U32(2).U32(2);  // bounds, dest, source
    r.U32(80).U32(40).U32(120).U32(static_cast<uint32_t>(dib.size() - 40)).U32(0).U32(0x00CC0020).U32(100).U32(100);
    r.Raw(dib);
    EmfBuilder e(100, 100);
    e.Raw(81, r.Bytes());
    Surface s(100, 100);
    ASSERT_TRUE(s.Play(e.Finish()));
    ExpectProbes(s, {{25, 25, kRed}, {75, 25, kGreen}, {25, 75, kBlue}, {75, 75, RGB(255, 255, 0)}}, "stretchdibits");
  }
  // A DIB whose rows do not fit its record is skipped; the records after it still draw.
  {
    const std::vector<uint8_t> dib = testsupport::PackedDib24(2, 2, {0, 0, 0, 0});
    testsupport::ByteBuilder r;
    r.Zeros(16).U32(0).U32(0).U32(0).U32(0).U32(2).U32(2);
    r.U32(80).U32(40).U32(120).U32(4000).U32(0).U32(0x00CC0020).U32(100).U32(100);
    r.Raw(dib);
    EmfBuilder e(100, 100);
    e.Raw(81, r.Bytes()).Brush(1, kRed).NullPen().Rectangle(40, 40, 60, 60);
    Surface s(100, 100);
    ASSERT_TRUE(s.Play(e.Finish()));
    ExpectProbes(s, {{20, 20, kWhite}, {50, 50, kRed}}, "short DIB");
  }
}

TEST(MetafilePlayer, WindowsMetafiles) {
  struct Case {
    const char* name;
    std::function<std::vector<uint8_t>()> file;
    std::vector<Probe> probes;
  };
  const Case cases[] = {
      // A placeable box of 1000 units: a tenth of the picture per hundred units.
      {"placeable",
       [] {
         return WmfBuilder(0, 0, 1000, 1000, 1000).Brush(kRed).Select(0).Pen(0, 1, 5).Select(1)
             .Rectangle(100, 100, 900, 900).Finish();
       },
       {{50, 50, kRed}, {5, 5, kWhite}}},
      {"plain with a window",
       [] {
         return WmfBuilder().Window(0, 0, 1000, 1000).Brush(kRed).Select(0).Pen(0, 1, 5).Select(1)
             .Rectangle(100, 100, 500, 500).Finish();
       },
       {{30, 30, kRed}, {70, 70, kWhite}}},
      {"window moved by a record",
       [] {
         return WmfBuilder().Window(0, 0, 100, 100).Brush(kRed).Select(0).Pen(0, 1, 5).Select(1)
             .Rec(0x020B, {-50, -50}).Rectangle(-40, -40, -10, -10).Finish();
       },
       {{25, 25, kRed}, {75, 75, kWhite}}},
      {"ellipse and polygon",
       [] {
         return WmfBuilder().Window(0, 0, 100, 100).Brush(kRed).Select(0).Pen(0, 1, 5).Select(1)
             .Rec(0x0418, {40, 40, 0, 0}).Rec(0x0324, {3, 60, 90, 80, 60, 100, 90}).Finish();
       },
       {{20, 20, kRed}, {80, 80, kRed}, {80, 20, kWhite}}},
      // Object slots: a deleted slot is the next one taken.
      {"lowest free slot",
       [] {
         return WmfBuilder().Window(0, 0, 100, 100).Brush(kRed).Brush(kGreen).Delete(0).Brush(kBlue).Select(0)
             .Pen(0, 1, 5).Select(2).Rectangle(10, 10, 90, 90).Finish();
       },
       {{50, 50, kBlue}}},
      // A pattern brush whose DIB is damaged still takes its slot: the red brush is number 1.
      {"unbuildable object keeps its slot",
       [] {
         return WmfBuilder().Window(0, 0, 100, 100).Rec(0x0142, {5, 0, 1, 2, 3}).Brush(kRed).Select(1)
             .Pen(0, 1, 5).Select(2).Rectangle(10, 10, 90, 90).Finish();
       },
       {{50, 50, kRed}}},
      {"stretch DIB",
       [] {
         const std::vector<uint8_t> dib = testsupport::PackedDib24(2, 1, {0xFF0000, 0x0000FF});
         std::vector<uint16_t> w = {0x0020, 0x00CC, 0, 1, 2, 0, 0, 100, 100, 0, 0};
         for (size_t i = 0; i < dib.size(); i += 2) w.push_back(static_cast<uint16_t>(dib[i] | dib[i + 1] << 8));
         WmfBuilder b;
         b.Window(0, 0, 100, 100).Words(0x0F43, w);
         return b.Finish();
       },
       {{25, 50, kRed}, {75, 50, kBlue}}},
  };
  for (const Case& c : cases) {
    Surface s(100, 100);
    ASSERT_TRUE(s.Play(c.file())) << c.name;
    ExpectProbes(s, c.probes, c.name);
  }
  // TEXTOUT: black glyphs of the default font below and right of the reference point.
  WmfBuilder text;
  text.Window(0, 0, 100, 100).Rec(0x02FB, {-40, 0, 0, 0, 700, 0, 0, 0, 0}).Select(0);
  text.Rec(0x0521, {2, 'H' | 'H' << 8, 50, 10});
  Surface s(100, 100);
  ASSERT_TRUE(s.Play(text.Finish()));
  EXPECT_GT(s.Count(RGB(0, 0, 0), 10, 50, 80, 100), 40);
  EXPECT_EQ(s.Count(RGB(0, 0, 0), 0, 0, 100, 45), 0);
}

TEST(MetafilePlayer, DamagedFilesStopCleanly) {
  auto base = [] {
    EmfBuilder e(100, 100);
    e.Brush(1, kRed).NullPen();
    return e;
  };
  // A record of size 0 stops playback: the rectangle after it is not drawn.
  {
    EmfBuilder e = base();
    e.Bytes().U32(43).U32(0);
    e.Rectangle(10, 10, 90, 90);
    Surface s(100, 100);
    ASSERT_TRUE(s.Play(e.Finish()));
    EXPECT_EQ(s.At(50, 50), kWhite);
  }
  // Counts past their record, indexes past the table, deep restores, huge coordinates: each record
  // is dropped and the rest draws.
  struct Case {
    const char* name;
    std::function<void(EmfBuilder&)> records;
  };
  const Case cases[] = {
      {"point count", [](EmfBuilder& e) { e.Rec(86, {0, 0, 0, 0, 0x7FFFFFFF, P16(1, 1)}); }},
      {"polygon counts", [](EmfBuilder& e) { e.Rec(91, {0, 0, 0, 0, 0x40000000, 8, 4, 4}); }},
      {"poly counts past the points", [](EmfBuilder& e) { e.Rec(91, {0, 0, 0, 0, 2, 2, 0x7FFFFFFF, 5, 0, 0}); }},
      {"object index", [](EmfBuilder& e) { e.Rec(39, {0x7FFFFFFF, 0, kBlue, 0}).Rec(37, {0x7FFFFFFF}).Rec(40, {9}); }},
      {"restore", [](EmfBuilder& e) { e.Rec(34, {-100000}).Rec(34, {0x7FFFFFFF}); }},
      {"text offsets", [](EmfBuilder& e) { e.Rec(84, {0, 0, 0, 0, 1, 0, 0, 0, 0, 0x7FFFFFFF, 0x7FFFFFF0}); }},
      {"zero extents", [](EmfBuilder& e) { e.Rec(17, {8}).Rec(9, {0, 0}).Rec(11, {0, 0}).Rec(17, {1}); }},
      {"singular world transform", [](EmfBuilder& e) { e.Rec(35, {0, 0, 0, 0, 0, 0}); }},
      {"huge dashed line",
       [](EmfBuilder& e) {
         e.Rec(95, {5, 0, 0, 0, 0, 0x10000 | 1, 3, 0, kBlue, 0, 0}).Rec(37, {5});
         e.Rec(4, {0, 0, 0, 0, 2, -2147483647, 50, 2147483647, 50}).Rec(37, {0x80000008});
       }},
      {"huge dashed ellipse", [](EmfBuilder& e) { e.Pen(6, kBlue, 1, 1).Rec(42, {-1000000000, -1000000000, 1000000000, 1000000000}).NullPen(); }},
      {"many saved states", [](EmfBuilder& e) { for (int i = 0; i < 5000; ++i) e.Rec(33, {}); }},
  };
  for (const Case& c : cases) {
    EmfBuilder e = base();
    c.records(e);
    e.Rectangle(40, 40, 60, 60);
    Surface s(100, 100);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(s.Play(e.Finish())) << c.name;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << c.name;
    EXPECT_EQ(s.At(50, 50), kRed) << c.name;
  }
  // A record reaching past the end stops; bytes that are no metafile draw nothing.
  {
    std::vector<uint8_t> data = base().Rectangle(10, 10, 90, 90).Finish();
    data.resize(data.size() - 30);
    Surface s(100, 100);
    EXPECT_TRUE(s.Play(data));
    EXPECT_FALSE(s.Play(std::vector<uint8_t>(200, 0x41)));
  }
}

TEST(MetafileClass, LoadsRegistersAndDraws) {
  TMetafile m;
  TMemoryStream junk;
  junk.WriteBuffer("not a metafile at all, not at all", 33);
  junk.SetPosition(0);
  try {
    m.LoadFromStream(junk);
    FAIL() << "no error";
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(std::string(e.what()), "Metafile is not valid");
  }
  EXPECT_TRUE(m.Empty());

  EmfBuilder e(40, 20);
  e.Brush(1, kRed).NullPen().Rectangle(0, 0, 40, 20);
  const std::vector<uint8_t> emf = e.Finish();
  testsupport::ScratchDir dir;
  const std::string name = dir.File("red.emf");
  {
    TFileStream f(name, fmCreate);
    f.WriteBuffer(emf.data(), static_cast<int32_t>(emf.size()));
  }
  TPicture picture;
  picture.LoadFromFile(name);
  ASSERT_NE(dynamic_cast<TMetafile*>(picture.Graphic()), nullptr);
  EXPECT_EQ(picture.Width(), 40);
  EXPECT_EQ(picture.Height(), 20);
  EXPECT_TRUE(static_cast<TMetafile*>(picture.Graphic())->Enhanced());

  // Drawn through a canvas, stretched to the rectangle.
  TBitmap bitmap;
  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetSize(80, 40);
  bitmap.Canvas()->Brush()->SetColor(clWhite);
  bitmap.Canvas()->FillRect(TRect{0, 0, 80, 40});
  bitmap.Canvas()->StretchDraw(TRect{0, 0, 40, 40}, picture.Graphic());
  EXPECT_EQ(bitmap.Canvas()->Pixels(20, 20), static_cast<TColor>(kRed));
  EXPECT_EQ(bitmap.Canvas()->Pixels(60, 20), static_cast<TColor>(kWhite));

  // The clipboard form: a block with the EMF bytes.
  uint32_t format = 0;
  HANDLE data = nullptr;
  HPALETTE palette = nullptr;
  static_cast<TMetafile*>(picture.Graphic())->SaveToClipboardFormat(format, data, palette);
  ASSERT_EQ(format, CF_ENHMETAFILE);
  TPicture pasted;
  pasted.LoadFromClipboardFormat(CF_ENHMETAFILE, data, nullptr);
  EXPECT_EQ(pasted.Width(), 40);
  GlobalFree(data);
}
