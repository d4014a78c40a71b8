#include "controls/xc_bitmap_utils.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/ui/forms.h"
#include "platform/ui/image_list.h"
#include "platform/ui/window_dc.h"
#include "tests/controls/pixels.h"
#include "tests/support/ui_fixture.h"

namespace {

using testsupport::At;

// A picture from rows of letters: each letter a colour.
std::unique_ptr<TBitmap> FromRows(const std::vector<std::string>& rows, const std::map<char, TColor>& colors) {
  auto b = testsupport::SolidBitmap(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()), clWhite);
  for (size_t y = 0; y < rows.size(); ++y)
    for (size_t x = 0; x < rows[y].size(); ++x)
      b->Canvas()->SetPixels(static_cast<int>(x), static_cast<int>(y), colors.at(rows[y][x]));
  return b;
}

// The picture as rows of letters, by the colours given (anything else '?').
std::vector<std::string> ToRows(TBitmap& b, const std::map<char, TColor>& colors) {
  std::vector<std::string> rows;
  for (int y = 0; y < b.Height(); ++y) {
    std::string row;
    for (int x = 0; x < b.Width(); ++x) {
      char found = '?';
      for (auto& [letter, color] : colors)
        if ((ColorToRGB(color) & 0xFFFFFF) == At(b, x, y)) found = letter;
      row += found;
    }
    rows.push_back(row);
  }
  return rows;
}

// ---------------------------------------------------------------------------------- gradient bands

TEST(FillGradientBands, TenRowsInSixteenBandsGiveTenBandsOfOneRow) {
  auto b = testsupport::SolidBitmap(4, 10, clWhite);
  FillGradientBands(b->Canvas(), Rect(0, 0, 4, 10), clBlack, static_cast<TColor>(RGB(90, 0, 180)), 0, 16);
  // Ten bands: band i = MulDiv(i, 90, 9) = 10 i red and 20 i blue.
  for (int y = 0; y < 10; ++y) EXPECT_EQ(At(*b, 2, y), RGB(static_cast<uint8_t>(10 * y), 0, static_cast<uint8_t>(20 * y))) << y;
}

TEST(FillGradientBands, AHundredRowsInThreeBandsGiveBandsOf33AndTheLastRowInTheEndColour) {
  auto b = testsupport::SolidBitmap(3, 100, clWhite);
  FillGradientBands(b->Canvas(), Rect(0, 0, 3, 100), static_cast<TColor>(RGB(0, 0, 0)),
                    static_cast<TColor>(RGB(201, 0, 0)), 0, 3);
  // Band 1 is MulDiv(1, 201, 2) = 100.5, rounded away from zero.
  for (int y : {0, 32}) EXPECT_EQ(At(*b, 1, y), RGB(0, 0, 0)) << y;
  for (int y : {33, 65}) EXPECT_EQ(At(*b, 1, y), RGB(101, 0, 0)) << y;
  for (int y : {66, 98, 99}) EXPECT_EQ(At(*b, 1, y), RGB(201, 0, 0)) << y;
}

TEST(FillGradientBands, DirectionsPutTheColoursAtTheirEnds) {
  struct Case {
    int direction;
    int firstX, firstY, lastX, lastY;  // where the start colour and the end colour show
  } cases[] = {{0, 5, 0, 5, 9}, {1, 5, 9, 5, 0}, {2, 0, 5, 9, 5}, {3, 9, 5, 0, 5}};
  for (const Case& c : cases) {
    auto b = testsupport::SolidBitmap(10, 10, clWhite);
    FillGradientBands(b->Canvas(), Rect(0, 0, 10, 10), clRed, clBlue, c.direction, 255);
    EXPECT_EQ(At(*b, c.firstX, c.firstY), ColorToRGB(clRed)) << c.direction;
    EXPECT_EQ(At(*b, c.lastX, c.lastY), ColorToRGB(clBlue)) << c.direction;
  }
}

// Side-by-side bands on a whole surface are painted once in the first row and copied down; with a
// clip region, a rectangle reaching past the surface or odd heights, every row is still the band
// row, and what lies outside the rectangle or the clip stays.
TEST(FillGradientBands, CopiedRowsEqualBandsPaintedRowByRow) {
  struct Case {
    TRect rect;
    TRect clip;  // empty: none
    int direction;
  } cases[] = {{{3, 2, 50, 33}, {}, 2},          {{3, 2, 50, 33}, {0, 0, 20, 40}, 2},
               {{3, 2, 50, 33}, {0, 10, 64, 40}, 2},  // the first row clipped away
               {{0, 0, 64, 40}, {}, 3},          {{10, 5, 90, 17}, {}, 2},
               {{10, 5, 60, 6}, {}, 2},          {{-5, 30, 30, 50}, {}, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.rect.Left << "," << c.rect.Top << " clip " << c.clip.Top);
    const bool clipped = !IsRectEmpty(c.clip);
    auto b = testsupport::SolidBitmap(64, 40, clWhite);
    HRGN clip = nullptr;
    if (clipped) {
      clip = CreateRectRgnIndirect(&c.clip);
      SelectClipRgn(b->Canvas()->Handle(), clip);
    }
    FillGradientBands(b->Canvas(), c.rect, clRed, clBlue, c.direction, 40);
    if (clip) {
      SelectClipRgn(b->Canvas()->Handle(), nullptr);
      DeleteObject(clip);
    }
    // The reference: each band as its own rectangle of the band's colour (the band row of a
    // one-row fill, which the copy never takes).
    auto row = testsupport::SolidBitmap(64, 1, clWhite);
    FillGradientBands(row->Canvas(), Rect(c.rect.Left, 0, c.rect.Right, 1), clRed, clBlue, c.direction, 40);
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 64; ++x) {
        const bool inside = x >= c.rect.Left && x < c.rect.Right && y >= c.rect.Top && y < c.rect.Bottom &&
                            (!clipped || PtInRect(c.clip, Point(x, y)));
        ASSERT_EQ(At(*b, x, y), inside ? At(*row, x, 0) : ColorToRGB(clWhite)) << x << "," << y;
      }
  }
}

TEST(FillGradientBands, PlainDCsPaintAsTransformedOnesAndKeepTheirBackgroundColour) {
  // With a world transform the bands are filled by brushes; without one they are opaque rectangles in
  // the background colour. Both give the same pixels, and the DC's own background colour stays.
  for (int direction = 0; direction < 4; ++direction) {
    SCOPED_TRACE(testing::Message() << "direction " << direction);
    auto plain = testsupport::SolidBitmap(64, 40, clWhite);
    auto transformed = testsupport::SolidBitmap(64, 40, clWhite);
    SetGraphicsMode(transformed->Canvas()->Handle(), GM_ADVANCED);
    for (TBitmap* b : {plain.get(), transformed.get()}) {
      SetBkColor(b->Canvas()->Handle(), RGB(1, 2, 3));
      FillGradientBands(b->Canvas(), Rect(5, 3, 60, 37), clRed, clBlue, direction, 12);
      EXPECT_EQ(GetBkColor(b->Canvas()->Handle()), RGB(1, 2, 3));
    }
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 64; ++x) ASSERT_EQ(At(*plain, x, y), At(*transformed, x, y)) << x << "," << y;
    EXPECT_NE(At(*plain, 5, 3), At(*plain, 59, 36));
    EXPECT_EQ(At(*plain, 4, 3), ColorToRGB(clWhite));
    EXPECT_EQ(At(*plain, 60, 36), ColorToRGB(clWhite));
  }
}

TEST(FillGradientBands, SolidAndEmptyCases) {
  struct Case {
    const char* what;
    TColor start, end;
    uint8_t bands;
    COLORREF expected;  // the colour everywhere
  } cases[] = {
      {"one band", clRed, clBlue, 1, ColorToRGB(clRed)},
      {"equal ends", clLime, clLime, 40, ColorToRGB(clLime)},
      {"start none", clNone, clBlue, 40, ColorToRGB(clBlue)},
      {"end none", clRed, clNone, 40, ColorToRGB(clRed)},
      {"both none", clNone, clNone, 40, ColorToRGB(clWhite)},
  };
  for (const Case& c : cases) {
    auto b = testsupport::SolidBitmap(6, 6, clWhite);
    FillGradientBands(b->Canvas(), Rect(0, 0, 6, 6), c.start, c.end, 0, c.bands);
    for (auto [x, y] : {std::pair{0, 0}, {5, 5}, {3, 2}}) EXPECT_EQ(At(*b, x, y), c.expected) << c.what;
  }
  auto b = testsupport::SolidBitmap(6, 6, clWhite);
  FillGradientBands(b->Canvas(), Rect(4, 4, 2, 2), clRed, clBlue, 0, 10);  // an inside-out rectangle is empty
  FillGradientBands(b->Canvas(), Rect(1, 1, 1, 5), clRed, clBlue, 2, 10);
  EXPECT_EQ(At(*b, 1, 1), ColorToRGB(clWhite));
  FillGradientBands(nullptr, Rect(0, 0, 5, 5), clRed, clBlue, 0, 10);
}

// ------------------------------------------------------------------------------------- masked copies

const std::map<char, TColor> kLetters = {{'M', clFuchsia}, {'R', clRed}, {'B', clBlue}, {'K', clBlack},
                                         {'W', clWhite},   {'G', clLime}, {'Y', clYellow}};

TEST(StretchBitmapMasked, LeavesTheTransparentPixelsOfTheDestinationAlone) {
  auto glyph = FromRows({"RMR", "MBM", "MRR"}, kLetters);  // bottom-left magenta
  // clDefault: the bottom-left pixel's colour is left out.
  auto target = testsupport::SolidBitmap(6, 3, clLime);
  StretchBitmapMasked(target->Canvas(), glyph.get(), clDefault, 0, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(ToRows(*target, kLetters), (std::vector<std::string>{"RGRGGG", "GBGGGG", "GRRGGG"}));
  // Stretched to twice the size.
  target = testsupport::SolidBitmap(6, 6, clLime);
  StretchBitmapMasked(target->Canvas(), glyph.get(), clFuchsia, 0, 0, 6, 6, 0, 0, 3, 3);
  EXPECT_EQ(ToRows(*target, kLetters),
            (std::vector<std::string>{"RRGGRR", "RRGGRR", "GGBBGG", "GGBBGG", "GGRRRR", "GGRRRR"}));
  // clNone copies every pixel.
  target = testsupport::SolidBitmap(3, 3, clLime);
  StretchBitmapMasked(target->Canvas(), glyph.get(), clNone, 0, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(ToRows(*target, kLetters), (std::vector<std::string>{"RMR", "MBM", "MRR"}));
  // Another colour, and a part of the bitmap drawn at its own size.
  target = testsupport::SolidBitmap(3, 3, clLime);
  StretchBitmapMaskedRect(target->Canvas(), 1, 1, Rect(1, 1, 3, 3), glyph.get(), clRed);
  EXPECT_EQ(ToRows(*target, kLetters), (std::vector<std::string>{"GGG", "GBM", "GGG"}));
  // At its own size, partly outside the destination: what lies inside is drawn.
  target = testsupport::SolidBitmap(3, 3, clLime);
  DrawBitmapMasked(target->Canvas(), -1, 1, glyph.get(), clFuchsia);
  EXPECT_EQ(ToRows(*target, kLetters), (std::vector<std::string>{"GGG", "GRG", "BGG"}));
}

TEST(StretchBitmapMasked, AMonochromeBitmapLeavesOutWhite) {
  auto mono = std::make_unique<TBitmap>();
  mono->SetMonochrome(true);
  mono->SetSize(3, 2);
  mono->Canvas()->Brush()->SetColor(clWhite);
  mono->Canvas()->FillRect(Rect(0, 0, 3, 2));
  mono->Canvas()->SetPixels(1, 0, clBlack);
  mono->Canvas()->SetPixels(2, 1, clBlack);
  auto target = testsupport::SolidBitmap(3, 2, clRed);
  DrawBitmapMasked(target->Canvas(), 0, 0, mono.get(), clBlue);  // the colour asked for does not count
  EXPECT_EQ(ToRows(*target, kLetters), (std::vector<std::string>{"RKR", "RRK"}));
  DrawBitmapMasked(target->Canvas(), 0, 0, nullptr, clBlue);
  TBitmap empty;
  DrawBitmapMasked(target->Canvas(), 0, 0, &empty, clBlue);
}

// -------------------------------------------------------------------------------------- disabled looks

TEST(MakeEmbossedGlyph, ShadowOverTheShapeAndHighlightOnePixelRightAndDown) {
  // White counts as background too: the shape is what is neither transparent nor white.
  auto glyph = FromRows({"MMMM", "MRWM", "MBMM", "MMMM"}, kLetters);
  auto result = MakeEmbossedGlyph(glyph.get(), clFuchsia);
  const std::map<char, TColor> look = {{'M', clFuchsia}, {'S', clBtnShadow}, {'H', clBtnHighlight}};
  EXPECT_EQ(ToRows(*result, look), (std::vector<std::string>{"MMMM", "MSMM", "MSHM", "MMHM"}));
  EXPECT_TRUE(MakeEmbossedGlyph(nullptr, clFuchsia)->Empty());
}

TEST(MakeOutlineGlyph, PaintsTheOutlineColoursPixelsEmbossedOnTheFace) {
  auto glyph = FromRows({"KKW", "WKR", "WWW"}, kLetters);
  auto result = MakeOutlineGlyph(glyph.get(), clBlack);
  const std::map<char, TColor> look = {{'F', clBtnFace}, {'S', clBtnShadow}, {'H', clBtnHighlight}};
  EXPECT_EQ(ToRows(*result, look), (std::vector<std::string>{"SSF", "FSH", "FFH"}));
  // Without the highlight, on another back colour.
  result = MakeOutlineGlyphEx(glyph.get(), clBlack, clYellow, clWhite, clBlue, false);
  EXPECT_EQ(ToRows(*result, kLetters), (std::vector<std::string>{"BBY", "YBY", "YYY"}));
}

TEST(DrawImageEmbossed, DrawsTheEntrysShapeEmbossedAndKeepsTheBrush) {
  TImageList list(nullptr, 3, 3);
  auto picture = FromRows({"MRM", "MRM", "MMM"}, kLetters);
  list.AddMasked(picture.get(), clFuchsia);
  auto target = testsupport::SolidBitmap(5, 5, clLime);
  target->Canvas()->Brush()->SetColor(clYellow);
  DrawImageEmbossed(&list, target->Canvas(), 1, 1, 0, clWhite, clBlue, true);
  EXPECT_EQ(ToRows(*target, kLetters), (std::vector<std::string>{"GGGGG", "GGBGG", "GGBWG", "GGGWG", "GGGGG"}));
  EXPECT_EQ(target->Canvas()->Brush()->Color(), clYellow);
  DrawImageEmbossed(&list, target->Canvas(), 1, 1, 5, clWhite, clBlue, true);  // no such entry: nothing
  DrawImageEmbossed(&list, target->Canvas(), 1, 1, -1, clWhite, clBlue, true);
}

TEST(MakeCheckerBitmap, ColourBWhereRowAndColumnShareTheirParity) {
  auto b = MakeCheckerBitmap(clRed, clBlue);
  ASSERT_EQ(b->Width(), 8);
  ASSERT_EQ(b->Height(), 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      EXPECT_EQ(At(*b, x, y), ColorToRGB((x % 2) == (y % 2) ? clBlue : clRed)) << x << "," << y;
}

TEST(PaletteRelativeRGB, SetsThePaletteBit) {
  EXPECT_EQ(PaletteRelativeRGB(clRed), 0x020000FFu);
  EXPECT_EQ(PaletteRelativeRGB(clBtnFace), 0x02000000u | ColorToRGB(clBtnFace));
}

// ------------------------------------------------------------------------------------- arrows, lines

TEST(DrawTriangleArrow, FourDirectionsInAnEightPixelSquare) {
  const std::map<char, TColor> look = {{'.', clWhite}, {'X', clBlack}};
  const std::vector<std::string> expected[4] = {
      // left: vertical lines from x = 6 (8 - 8 div 4) leftwards, one pixel shorter at each end
      {"......X.", ".....XX.", "....XXX.", "...XXXX.", "...XXXX.", "....XXX.", ".....XX.", "......X."},
      // up: horizontal lines from y = 6 upwards
      {"........", "........", "........", "...XX...", "..XXXX..", ".XXXXXX.", "XXXXXXXX", "........"},
      // right: from x = 2 rightwards
      {"..X.....", "..XX....", "..XXX...", "..XXXX..", "..XXXX..", "..XXX...", "..XX....", "..X....."},
      // down: from y = 2 downwards
      {"........", "........", "XXXXXXXX", ".XXXXXX.", "..XXXX..", "...XX...", "........", "........"},
  };
  for (int direction = 0; direction < 4; ++direction) {
    auto b = testsupport::SolidBitmap(8, 8, clWhite);
    // An odd width loses its last column; an inside-out rectangle is put right first.
    DrawTriangleArrow(b->Canvas(), Rect(9, 8, 0, 0), clBlack, direction, 0);
    EXPECT_EQ(ToRows(*b, look), expected[direction]) << direction;
  }
  // The inset shrinks the square: 2 pixels off 12 give the same arrow moved by 2.
  auto b = testsupport::SolidBitmap(12, 12, clWhite);
  DrawTriangleArrow(b->Canvas(), Rect(0, 0, 12, 12), clBlack, 3, 2);
  EXPECT_EQ(At(*b, 2, 4), 0u);
  EXPECT_EQ(At(*b, 9, 4), 0u);
  EXPECT_EQ(At(*b, 1, 4), ColorToRGB(clWhite));
  DrawTriangleArrow(b->Canvas(), Rect(0, 0, 2, 2), clBlack, 0, 5);  // nothing left
}

// ---------------------------------------------------------------------------------- parent painting

using ParentPaintTest = testsupport::FormTest;

class TFill : public TGraphicControl {
 public:
  TFill(TComponent* owner, TColor c) : TGraphicControl(owner), color_(c) {}
  int paints = 0;
  bool sawPaintCopy = false;

 protected:
  void Paint() override {
    ++paints;
    sawPaintCopy = ControlState() & csPaintCopy;
    Canvas()->Brush()->SetColor(color_);
    Canvas()->FillRect(Rect(0, 0, Width(), Height()));
  }

 private:
  TColor color_;
};

TEST_F(ParentPaintTest, ThePartsOfTheParentAndTheSiblingsBelowShowNotThoseAbove) {
  form->SetColor(clWhite);
  auto* below = new TFill(form, clRed);
  below->SetParent(form);
  below->SetBounds(10, 10, 20, 20);
  auto* control = new TFill(form, clLime);
  control->SetParent(form);
  control->SetBounds(20, 20, 20, 20);
  auto* above = new TFill(form, clBlue);
  above->SetParent(form);
  above->SetBounds(30, 20, 20, 20);
  form->HandleNeeded();

  auto b = testsupport::SolidBitmap(20, 20, clBlack);
  PaintParentUnderControl(control, b->Canvas());
  EXPECT_EQ(At(*b, 5, 5), ColorToRGB(clRed));     // (25, 25) lies on the sibling below
  EXPECT_EQ(At(*b, 15, 5), ColorToRGB(clWhite));  // (35, 25): the one above is left out
  EXPECT_EQ(At(*b, 5, 15), ColorToRGB(clWhite));  // the parent's own background
  EXPECT_EQ(control->paints, 0);
  EXPECT_EQ(above->paints, 0);
  EXPECT_TRUE(below->sawPaintCopy);
  EXPECT_FALSE(below->ControlState() & csPaintCopy);
  EXPECT_FALSE(form->ControlState() & csPaintCopy);

  auto* loose = new TFill(nullptr, clRed);
  PaintParentUnderControl(loose, b->Canvas());  // no parent: nothing
  delete loose;
}

}  // namespace
