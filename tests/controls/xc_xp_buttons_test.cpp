#include "controls/xc_xp_buttons.h"

#include <gtest/gtest.h>

#include "platform/system/random.h"
#include "platform/ui/edit_ctrls.h"
#include "platform/ui/forms.h"
#include "tests/controls/pixels.h"
#include "tests/support/ui_fixture.h"
#include "tests/support/ui_input.h"

namespace {

using testsupport::At;

class XPButtonTest : public testsupport::FormTest {
 protected:
  TXcXPButton* Make(int left = 10, int top = 10) {
    auto* b = new TXcXPButton(form);
    b->SetParent(form);
    b->SetLeft(left);
    b->SetTop(top);
    b->OnClick = [this](TObject*) { ++clicks; };
    return b;
  }
  std::unique_ptr<TBitmap> Picture(TXcXPButton* b) {
    auto p = std::make_unique<TBitmap>(b->Width(), b->Height());
    b->PaintTo(p->Canvas(), 0, 0);
    return p;
  }
  int clicks = 0;
};

// The highlight rule through the flags a test can set: a subclass opens them.
class TFlagged : public TXcXPButton {
 public:
  using TXcXPButton::TXcXPButton;
  void Set(TXcDrawFlags flags, bool activeIsXP) {
    drawFlags_ = flags;
    activeIsXPControl_ = activeIsXP;
  }
};

TEST_F(XPButtonTest, DefaultsAndTheHighlightRule) {
  auto* b = new TFlagged(form);
  b->SetParent(form);
  EXPECT_EQ(b->Width(), 73);
  EXPECT_EQ(b->Height(), 21);
  EXPECT_TRUE(b->TabStop());
  EXPECT_EQ(b->Spacing(), 3);
  EXPECT_TRUE(b->WordWrap());
  EXPECT_TRUE(b->AutoGray());
  EXPECT_EQ(b->Layout(), blGlyphLeft);
  EXPECT_EQ(b->ImageIndex(), -1);
  EXPECT_FALSE(b->ControlStyle() & csDoubleClicks);
  struct Case {
    TXcDrawFlags flags;
    bool down, isDefault, activeIsXP, highlighted, ignoringDefault;
  } cases[] = {
      {{}, false, false, false, false, false},
      {{dfHot}, false, false, false, true, true},
      {{dfFocused}, false, false, false, true, true},
      {{dfPressed}, false, false, false, true, true},          // held down and moved out
      {{dfPressed, dfHot}, false, false, false, false, false},  // held down over it
      {{dfHot}, true, false, false, false, false},             // Down wins
      {{}, false, true, false, true, false},                   // the default button while no XP control is active
      {{}, false, true, true, false, false},
  };
  for (const Case& c : cases) {
    b->Set(c.flags, c.activeIsXP);
    b->SetDown(c.down);
    b->SetDefault(c.isDefault);
    b->Set(c.flags, c.activeIsXP);  // the default's notification asks the form again
    EXPECT_EQ(b->IsHighlighted(), c.highlighted) << c.flags.Bits() << c.down << c.isDefault << c.activeIsXP;
    EXPECT_EQ(b->IsHighlighted(true), c.ignoringDefault) << c.flags.Bits() << c.down << c.isDefault;
  }
}

TEST_F(XPButtonTest, BorderAndCornerPixelsEnabledAndDisabled) {
  auto* b = Make();
  auto p = Picture(b);
  const COLORREF border = RGB(0x00, 0x3C, 0x73), grey = RGB(0xCE, 0xC7, 0xBD), smooth = RGB(0x7B, 0x9E, 0xAD);
  EXPECT_EQ(At(*p, 36, 0), border);
  EXPECT_EQ(At(*p, 36, 20), border);
  EXPECT_EQ(At(*p, 0, 10), border);
  EXPECT_EQ(At(*p, 72, 10), border);
  EXPECT_EQ(At(*p, 0, 1), smooth);    // the start of the line (0, 1)-(2, 0)
  EXPECT_EQ(At(*p, 71, 0), smooth);   // (w - 2, 0)-(w, 2)
  EXPECT_EQ(At(*p, 0, 19), smooth);   // (0, h - 2)-(2, h)
  EXPECT_EQ(At(*p, 36, 1), RGB(255, 255, 255));  // the top of the face at rest
  b->SetEnabled(false);
  p = Picture(b);
  EXPECT_EQ(At(*p, 36, 0), grey);
  EXPECT_EQ(At(*p, 0, 1), grey);
  b->SetSmoothEdges(false);
  b->SetEnabled(true);
  p = Picture(b);
  EXPECT_NE(At(*p, 0, 1), smooth);
}

TEST_F(XPButtonTest, TheFacesFitTheSizeThePaintCopies) {
  auto* b = Make();
  RandSeed = 1;
  EXPECT_EQ(b->NormalFace(false)->Width(), 71);
  EXPECT_EQ(b->NormalFace(true)->Width(), 67);
  EXPECT_EQ(b->PressedFace()->Height(), 19);
  EXPECT_EQ(b->HotFrame()->Width(), 71);
  // Resized while hot, and painted in both looks: every face is as large as the copy made of it.
  testsupport::MouseEnter(b, 5, 5);
  b->SetBounds(10, 10, 120, 40);
  auto p = Picture(b);
  EXPECT_EQ(b->NormalFace(true)->Width(), 114);
  EXPECT_EQ(b->NormalFace(false)->Height(), 38);
  testsupport::MouseLeave(b);
  Application->ProcessMessages();
  p = Picture(b);
  b->SetBounds(10, 10, 4, 3);  // too small for a face: nothing to copy
  Picture(b);
  b->SetBounds(10, 10, 0, 0);
  Picture(b);
}

TEST_F(XPButtonTest, GlyphAndCaptionPlacesPerLayout) {
  auto* b = Make();
  b->SetBounds(10, 10, 100, 60);
  auto glyph = std::make_unique<TBitmap>(16, 12);
  glyph->Canvas()->Brush()->SetColor(clRed);
  glyph->Canvas()->FillRect(Rect(0, 0, 16, 12));
  glyph->Canvas()->SetPixels(0, 11, clFuchsia);  // the transparent corner
  TPicture pic;
  pic.SetBitmap(glyph.get());
  b->SetGlyph(&pic);
  // Without a caption the glyph is centred.
  Picture(b);
  EXPECT_EQ(b->LastGlyphPos(), Point((100 - 16) / 2, (60 - 12) / 2));
  b->SetCaption("OK");
  struct Case {
    TXcXPLayout layout;
  } cases[] = {{blGlyphLeft}, {blGlyphRight}, {blGlyphTop}, {blGlyphBottom}};
  for (const Case& c : cases) {
    b->SetLayout(c.layout);
    auto p = Picture(b);
    const TPoint g = b->LastGlyphPos();
    const TRect t = b->LastTextRect();
    switch (c.layout) {
      case blGlyphLeft:
        EXPECT_EQ(g.X, t.Left - 16 - 3);
        EXPECT_EQ(g.Y, (60 - 12) / 2);
        break;
      case blGlyphRight:
        EXPECT_EQ(g.X, 3 + t.Right);
        EXPECT_EQ(g.Y, (60 - 12) / 2);
        break;
      case blGlyphTop:
        EXPECT_EQ(g.X, (100 - 16) / 2);
        EXPECT_EQ(g.Y, t.Top - 12 - 3);
        break;
      case blGlyphBottom:
        EXPECT_EQ(g.X, (100 - 16) / 2);
        EXPECT_EQ(g.Y, 3 + t.Bottom);
        break;
    }
    EXPECT_EQ(At(*p, g.X + 5, g.Y + 5), ColorToRGB(clRed)) << c.layout;
    EXPECT_NE(At(*p, g.X, g.Y + 11), RGB(255, 0, 255));  // drawn transparent
  }
  // Glyph and caption together sit in the middle.
  b->SetLayout(blGlyphLeft);
  Picture(b);
  const TRect t = b->LastTextRect();
  const int blockLeft = b->LastGlyphPos().X, blockRight = t.Right;
  EXPECT_LE(std::abs((blockLeft - 0) - (100 - blockRight)), 1);
  // Pressed, everything moves one pixel.
  b->SetDown(true);
  Picture(b);
  EXPECT_EQ(b->LastTextRect(), Rect(t.Left + 1, t.Top + 1, t.Right + 1, t.Bottom + 1));
  // Disabled with AutoGray: the red turns light grey, (255 + 0 + 0) div 3 + 100.
  b->SetDown(false);
  b->SetEnabled(false);
  auto p = Picture(b);
  EXPECT_EQ(At(*p, b->LastGlyphPos().X + 5, b->LastGlyphPos().Y + 5), RGB(185, 185, 185));
}

// A picture class of its own kind: a blue square with a white corner that counts its draws.
class TSquareGlyph : public TGraphic {
 public:
  bool Empty() const override { return false; }
  int32_t Width() const override { return 8; }
  int32_t Height() const override { return 8; }
  void SetWidth(int32_t) override {}
  void SetHeight(int32_t) override {}
  void LoadFromStream(TStream&) override {}
  void SaveToStream(TStream&) override {}
  void Assign(TPersistent*) override {}
  void Draw(TCanvas* canvas, const TRect& rect) override {
    ++draws;
    canvas->Brush()->SetColor(clBlue);
    canvas->FillRect(rect);
    canvas->SetPixels(rect.Left, rect.Bottom - 1, clWhite);  // the corner a bitmap copy leaves out
  }
  int draws = 0;
};

TEST_F(XPButtonTest, AGlyphThatIsNotABitmapDrawsItself) {
  TPicture::RegisterFileFormat("sqg", "Square glyph", "TSquareGlyph", [] { return std::make_unique<TSquareGlyph>(); });
  auto* b = Make();
  TSquareGlyph square;
  b->Glyph()->SetGraphic(&square);
  auto* held = dynamic_cast<TSquareGlyph*>(b->Glyph()->Graphic());
  ASSERT_NE(held, nullptr);
  auto p = Picture(b);
  EXPECT_EQ(held->draws, 1);
  EXPECT_EQ(At(*p, b->LastGlyphPos().X + 4, b->LastGlyphPos().Y + 4), ColorToRGB(clBlue));
  // Greyed, it goes through a bitmap: drawn on white, then grey.
  b->SetEnabled(false);
  p = Picture(b);
  EXPECT_EQ(held->draws, 2);
  EXPECT_EQ(At(*p, b->LastGlyphPos().X + 4, b->LastGlyphPos().Y + 4), RGB(185, 185, 185));
  TPicture::UnregisterGraphicClass("TSquareGlyph");
}

TEST_F(XPButtonTest, SpacePressedAndReleasedClicksOnceAndOtherKeysDoNot) {
  auto* b = Make();
  b->SetFocus();
  testsupport::KeyPress(b, VK_SPACE, " ");
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(b->DrawFlags().Contains(dfPressed));
  // Held with the mouse, a Shift tapped meanwhile does not click it.
  testsupport::MouseDown(b, 5, 5);
  testsupport::KeyPress(b, VK_SHIFT, "");
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(b->DrawFlags().Contains(dfPressed));
  testsupport::MouseUp(b, 5, 5);
  EXPECT_EQ(clicks, 2);
}

TEST_F(XPButtonTest, EnterReachesTheDefaultButtonWhileAPlainEditIsActiveAndEscapeTheCancelOne) {
  auto* edit = new TEdit(form);
  edit->SetParent(form);
  edit->SetBounds(10, 100, 80, 20);
  auto* ok = Make(10, 10);
  auto* cancel = Make(100, 10);
  int oks = 0, cancels = 0;
  ok->OnClick = [&](TObject*) { ++oks; };
  cancel->OnClick = [&](TObject*) { ++cancels; };
  ok->SetDefault(true);
  ok->SetModalResult(mrOk);
  cancel->SetCancel(true);
  cancel->SetModalResult(mrCancel);
  edit->SetFocus();
  Application->ProcessMessages();
  EXPECT_TRUE(ok->IsHighlighted());
  testsupport::KeyPress(edit, VK_RETURN, "\r");
  EXPECT_EQ(oks, 1);
  EXPECT_EQ(form->ModalResult(), mrOk);
  testsupport::KeyPress(edit, VK_ESCAPE, "");
  EXPECT_EQ(cancels, 1);
  EXPECT_EQ(form->ModalResult(), mrCancel);
  // Another XP button focused: Enter is that button's, the default one loses its frame.
  cancel->SetFocus();
  Application->ProcessMessages();
  EXPECT_TRUE(ok->ActiveIsXPControl());
  EXPECT_FALSE(ok->IsHighlighted());
  testsupport::KeyPress(cancel, VK_RETURN, "\r");
  EXPECT_EQ(oks, 1);
  EXPECT_EQ(cancels, 2);
}

TEST_F(XPButtonTest, TheActionGivesItsImage) {
  TImageList images(nullptr, 8, 8);
  TBitmap blue(8, 8);
  blue.Canvas()->Brush()->SetColor(clBlue);
  blue.Canvas()->FillRect(Rect(0, 0, 8, 8));
  images.Add(&blue, nullptr);
  TActionList list(nullptr);
  list.SetImages(&images);
  TAction action(nullptr);
  action.SetActionList(&list);
  action.SetImageIndex(0);
  action.SetCaption("Run");
  auto* b = Make();
  b->SetAction(&action);
  EXPECT_EQ(b->ImageIndex(), 0);
  EXPECT_EQ(b->Caption(), "Run");
  auto p = Picture(b);
  EXPECT_EQ(At(*p, b->LastGlyphPos().X + 4, b->LastGlyphPos().Y + 4), ColorToRGB(clBlue));
  action.SetImageIndex(3);  // outside the list: no image drawn, no failure
  Picture(b);
  b->SetAction(nullptr);
}

}  // namespace
