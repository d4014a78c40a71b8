#include "controls/xc_xp_core.h"

#include <gtest/gtest.h>

#include "platform/system/random.h"
#include "platform/ui/forms.h"
#include "tests/controls/pixels.h"
#include "tests/support/ui_fixture.h"
#include "tests/support/ui_input.h"

namespace {

using testsupport::At;

// ---------------------------------------------------------------------------------- gradient bitmaps

TEST(CreateGradientBitmap, SixtyFourColoursOverTwentyOneRows) {
  // The rest face of the XP button: $FFFFFF to $E7EBEF (R EF, G EB, B E7). Band i starts on row
  // MulDiv(i, 21, 64); a row shows the last band that starts on it.
  TBitmap b;
  CreateGradientBitmap(30, 21, TColorOf(0xFFFFFF), TColorOf(0xE7EBEF), 64, 1, false, &b);
  ASSERT_EQ(b.Width(), 30);
  ASSERT_EQ(b.Height(), 21);
  EXPECT_EQ(b.PixelFormat(), pf24bit);
  // Row 0: bands 0 and 1 (band 1 from MulDiv(1, 21, 64) = 0); colour 1 is 255 + Round(-16/63) etc.: white.
  EXPECT_EQ(At(b, 0, 0), RGB(255, 255, 255));
  // Row 10: bands 29 to 31 start there (i x 21 / 64 in [9.5, 10.5)); colour 31 is
  // 255 + Round(31 x -16 / 63) = 247, 255 + Round(31 x -20 / 63) = 245, 255 + Round(31 x -24 / 63) = 243.
  EXPECT_EQ(At(b, 5, 10), RGB(247, 245, 243));
  // Row 20: band 62 (band 63 would start on row 21); colour 62 is the end colour.
  EXPECT_EQ(At(b, 29, 20), RGB(0xEF, 0xEB, 0xE7));
  // Every row is one colour across: the first 16 columns are copied over the rest.
  for (int y = 0; y < 21; ++y)
    for (int x : {1, 15, 16, 17, 29}) EXPECT_EQ(At(b, x, y), At(b, 0, y)) << x << "," << y;
}

TEST(CreateGradientBitmap, StylesRunAlongTheirAxesAndEndsSwapForStylesTwoAndThree) {
  struct Case {
    int style;
    int startX, startY, endX, endY;
  } cases[] = {{0, 0, 5, 39, 5}, {1, 5, 0, 5, 39}, {2, 39, 5, 0, 5}, {3, 5, 39, 5, 0}};
  for (const Case& c : cases) {
    TBitmap b;
    CreateGradientBitmap(40, 40, clBlack, clWhite, 8, c.style, false, &b);
    EXPECT_EQ(At(b, c.startX, c.startY), RGB(0, 0, 0)) << c.style;
    EXPECT_EQ(At(b, c.endX, c.endY), RGB(255, 255, 255)) << c.style;
  }
  // Bands along the width: the first 16 rows are copied down.
  TBitmap b;
  CreateGradientBitmap(40, 40, clBlack, clWhite, 8, 0, false, &b);
  for (int y : {16, 31, 39}) EXPECT_EQ(At(b, 7, y), At(b, 7, 0));
}

TEST(CreateGradientBitmap, HostileSizesAndCounts) {
  TBitmap b(3, 3);
  for (auto [w, h] : {std::pair{0, 10}, {10, 0}, {-4, 5}, {5, -1}}) {
    CreateGradientBitmap(w, h, clRed, clBlue, 64, 1, true, &b);
    EXPECT_EQ(b.Width(), 3);  // left alone
  }
  CreateGradientBitmap(10, 10, clRed, clBlue, 64, 1, true, nullptr);
  for (int count : {1, 0, -3}) {
    CreateGradientBitmap(5, 30, clRed, clBlue, count, 1, true, &b);
    EXPECT_EQ(At(b, 0, 0), ColorToRGB(clRed));
    EXPECT_EQ(At(b, 4, 29), ColorToRGB(clRed));
  }
  CreateGradientBitmap(20, 3, clRed, clBlue, 255, 0, true, &b);  // more colours than pixels
  CreateGradientBitmap(3, 20, clRed, clBlue, 1000, 1, true, &b);
}

TEST(CreateGradientBitmap, DitheringDrawsOnTheProcesssGeneratorAndRepeatsWithItsSeed) {
  // 64 colours over 21 rows: 63 bands after the first, each with 21 div 63 + 1 = 1 number drawn.
  RandSeed = 7;
  TRandom expected{7};
  for (int i = 0; i < 63; ++i) expected.Random(0);
  TBitmap a, b;
  CreateGradientBitmap(16, 21, TColorOf(0xCEF3FF), TColorOf(0x0096E7), 64, 1, true, &a);
  EXPECT_EQ(RandSeed, expected.RandSeed);
  RandSeed = 7;
  CreateGradientBitmap(16, 21, TColorOf(0xCEF3FF), TColorOf(0x0096E7), 64, 1, true, &b);
  for (int y = 0; y < 21; ++y)
    for (int x = 0; x < 16; ++x) EXPECT_EQ(At(a, x, y), At(b, x, y));
  // Across the width: 16 rows of 21 div 3 + 1 = 8 numbers for each of 3 bands.
  RandSeed = 9;
  TRandom across{9};
  for (int i = 0; i < 3 * 16 * 8; ++i) across.Random(1);
  CreateGradientBitmap(21, 16, TColorOf(0xCEF3FF), TColorOf(0x0096E7), 4, 0, true, &a);
  EXPECT_EQ(RandSeed, across.RandSeed);
  // Undithered, nothing is drawn.
  CreateGradientBitmap(21, 16, TColorOf(0xCEF3FF), TColorOf(0x0096E7), 4, 0, false, &a);
  EXPECT_EQ(RandSeed, across.RandSeed);
}

TEST(GrayGlyph, LevelsBelow156Lighten100AndTheRestTurnWhite) {
  EXPECT_EQ(GrayGlyphLevel(20, 20, 20), 120);
  EXPECT_EQ(GrayGlyphLevel(155, 155, 155), 255);
  EXPECT_EQ(GrayGlyphLevel(200, 200, 200), 255);
  EXPECT_EQ(GrayGlyphLevel(255, 0, 0), 185);  // 85 + 100
  TBitmap b(2, 1);
  b.Canvas()->SetPixels(0, 0, static_cast<TColor>(RGB(20, 20, 20)));
  b.Canvas()->SetPixels(1, 0, static_cast<TColor>(RGB(200, 200, 200)));
  GrayGlyph(&b);
  EXPECT_EQ(At(b, 0, 0), RGB(120, 120, 120));
  EXPECT_EQ(At(b, 1, 0), RGB(255, 255, 255));
  TBitmap empty;
  GrayGlyph(&empty);
  GrayGlyph(nullptr);
}

// ---------------------------------------------------------------------------------- the control base

class TCounted : public TXcXPCustomControl {
 public:
  using TXcXPCustomControl::TXcXPCustomControl;
  int invalidates = 0;
  void Invalidate() override {
    ++invalidates;
    TXcXPCustomControl::Invalidate();
  }
};

using XPCoreTest = testsupport::FormTest;

TEST_F(XPCoreTest, EndUpdateWithoutBeginFailsWithItsAssertion) {
  auto* c = new TCounted(form);
  EXPECT_EQ(c->RedrawTriggers().Bits(), 893u);
  EXPECT_TRUE(c->DrawFlags().Contains(dfDefault));
  try {
    c->EndUpdate();
    FAIL() << "no assertion";
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Message(), "Unpaired call to TXcXPCustomControl.EndUpdate (XcXPCore, line 363)");
  }
  EXPECT_EQ(c->UpdateCount(), 0);
}

TEST_F(XPCoreTest, ChangesInsideAnUpdateRepaintOnceAtItsEnd) {
  auto* c = new TCounted(form);
  c->SetParent(form);
  c->invalidates = 0;
  c->BeginUpdate();
  c->BeginUpdate();
  c->Redraw();
  c->TextChanged();
  c->EndUpdate();
  EXPECT_EQ(c->invalidates, 0);
  c->EndUpdate();
  EXPECT_EQ(c->invalidates, 1);
}

TEST_F(XPCoreTest, EnterAndLeaveRepaintAndAMoveDoesNot) {
  auto* c = new TCounted(form);
  c->SetParent(form);
  c->SetBounds(10, 10, 60, 30);
  int enters = 0, leaves = 0;
  c->OnMouseEnter = [&](TObject*) { ++enters; };
  c->OnMouseLeave = [&](TObject*) { ++leaves; };
  c->invalidates = 0;
  testsupport::MouseEnter(c, 5, 5);
  EXPECT_TRUE(c->DrawFlags().Contains(dfHot));
  EXPECT_EQ(c->invalidates, 1);
  EXPECT_EQ(enters, 1);
  testsupport::MouseMove(c, 8, 8);
  EXPECT_EQ(c->invalidates, 1);
  c->SetRedrawTriggers(c->RedrawTriggers() + TXcRedrawTriggers{rtMouseMoved});
  testsupport::MouseMove(c, 9, 9);
  EXPECT_EQ(c->invalidates, 2);
  testsupport::MouseLeave(c);
  Application->ProcessMessages();
  EXPECT_FALSE(c->DrawFlags().Contains(dfHot));
  EXPECT_EQ(c->invalidates, 3);
  EXPECT_EQ(leaves, 1);
}

TEST_F(XPCoreTest, PressAndReleaseFlagsAndFocus) {
  auto* c = new TCounted(form);
  c->SetParent(form);
  c->SetBounds(10, 10, 60, 30);
  c->SetTabStop(true);
  testsupport::MouseDown(c, 5, 5);
  EXPECT_TRUE(c->DrawFlags().Contains(dfPressed));
  EXPECT_EQ(form->ActiveControl(), c);
  EXPECT_TRUE(c->DrawFlags().Contains(dfFocused));
  EXPECT_TRUE(c->ActiveIsXPControl());
  testsupport::MouseUp(c, 5, 5);
  EXPECT_FALSE(c->DrawFlags().Contains(dfPressed));
}

TEST_F(XPCoreTest, AThemeChangeRepaintsTheRegisteredControlsAndALeftManagerForgetsTheControl) {
  auto* first = new TXcXPStyleManager(form);
  auto* second = new TXcXPStyleManager(form);
  class TStyled : public TXcXPCustomStyleControl {
   public:
    using TXcXPCustomStyleControl::TXcXPCustomStyleControl;
    int requests = 0;
    void RequestRedraw() override {
      ++requests;
      TXcXPCustomStyleControl::RequestRedraw();
    }
  };
  auto* c = new TStyled(form);
  c->SetParent(form);
  TXcXPTheme heard = WindowsXP;
  first->OnThemeChanged = [&](TObject*, TXcXPTheme t) { heard = t; };
  c->SetStyleManager(first);
  EXPECT_EQ(first->Controls().size(), 1u);
  c->requests = 0;
  first->SetTheme(OfficeXP);
  EXPECT_EQ(heard, OfficeXP);
  EXPECT_EQ(c->requests, 1);
  first->SetTheme(OfficeXP);
  EXPECT_EQ(c->requests, 1);
  c->Style()->SetTheme(OfficeXP);
  EXPECT_EQ(c->requests, 2);

  // Moving to another manager leaves the first one's list: freed, the control is not repainted by it.
  c->SetStyleManager(second);
  EXPECT_TRUE(first->Controls().empty());
  delete c;
  EXPECT_TRUE(second->Controls().empty());
  first->SetTheme(WindowsXP);
  auto* d = new TStyled(form);
  d->SetStyleManager(second);
  delete second;
  EXPECT_EQ(d->StyleManager(), nullptr);
}

}  // namespace
