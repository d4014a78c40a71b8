// The PNG picture button on a shown form, driven by synthetic mouse input; pixels are read from the
// window as the toolkit shows it.
#include <gtest/gtest.h>

#include <algorithm>

#include "pictures/png_button.h"
#include "pictures/png_picture.h"
#include "platform/ui/window_dc.h"
#include "tests/pictures/png_test_support.h"
#include "tests/support/png_fixture.h"
#include "tests/support/ui_fixture.h"
#include "tests/support/ui_input.h"

using testsupport::PngImage;

namespace {

constexpr uint32_t kFormColour = 0x402010;  // COLORREF: red 0x10, green 0x20, blue 0x40

// A w x h RGBA picture of one colour (COLORREF) and alpha.
std::unique_ptr<TPicture> Solid(uint32_t w, uint32_t h, uint32_t colour, uint8_t alpha = 255) {
  PngImage im = PngImage::Make(w, h, 6, 8);
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) {
      im.SetSample(x, y, 0, colour & 0xFF);
      im.SetSample(x, y, 1, (colour >> 8) & 0xFF);
      im.SetSample(x, y, 2, (colour >> 16) & 0xFF);
      im.SetSample(x, y, 3, alpha);
    }
  auto png = pngtest::Loaded(testsupport::WritePngWithLibpng(im));
  auto picture = std::make_unique<TPicture>();
  picture->SetGraphic(png.get());
  return picture;
}

class PNGButtonTest : public testsupport::FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    form->SetColor(static_cast<TColor>(kFormColour));
  }
  TPNGButton* NewButton(int left, int top) {
    auto* b = new TPNGButton(form);
    b->SetParent(form);
    b->SetLeft(left);
    b->SetTop(top);
    return b;
  }
  uint32_t Pixel(int x, int y) { return testsupport::WindowPixel(form, x, y); }
  // The form's top left w x h points, row by row, from one picture of the window.
  std::vector<uint32_t> Pixels(int w, int h) { return testsupport::WindowPixels(form, 0, 0, w, h); }
};

// A button as the designer sees it.
class TDesignedButton : public TPNGButton {
 public:
  explicit TDesignedButton(TComponent* owner) : TPNGButton(owner) { SetComponentStateFlag(csDesigning, true); }
};

// A button that notes each paint with the state it shows.
class TLoggedButton : public TPNGButton {
 public:
  TLoggedButton(TComponent* owner, std::vector<std::string>* log) : TPNGButton(owner), log_(log) {}

 protected:
  void Paint() override {
    log_->push_back("paint " + std::to_string(ButtonState()));
    TPNGButton::Paint();
  }

 private:
  std::vector<std::string>* log_;
};

uint8_t Blend(int a, int s, int b) { return static_cast<uint8_t>((a * s + (255 - a) * b + 255) / 256); }

}  // namespace

TEST_F(PNGButtonTest, StartsAsTheDesignerLeavesIt) {
  TPNGButton* b = NewButton(0, 0);
  EXPECT_EQ(b->Width(), 75);
  EXPECT_EQ(b->Height(), 25);
  EXPECT_TRUE(b->AutoSize());
  EXPECT_TRUE(b->Transparent());
  EXPECT_FALSE(b->Stretch());
  EXPECT_EQ(b->CaptionAlignment(), tp_Center_Middle);
  EXPECT_EQ(b->PictureAlignment(), tp_Center_Middle);
  EXPECT_EQ(b->ButtonState(), 0);
  EXPECT_EQ(b->CaptionDefault(), "");
  const std::string info = b->Info();
  EXPECT_FALSE(info.empty());
  b->SetInfo("changed");
  EXPECT_EQ(b->Info(), info);
}

TEST_F(PNGButtonTest, AutoSizeFollowsOnlyTheDefaultPicture) {
  TPNGButton* b = NewButton(10, 10);
  b->SetPictureDefault(Solid(32, 32, 0x0000FF).get());
  EXPECT_EQ(b->Width(), 32);
  EXPECT_EQ(b->Height(), 32);
  b->SetPictureHot(Solid(48, 40, 0x00FF00).get());
  b->SetPicturePress(Solid(50, 50, 0x00FF00).get());
  EXPECT_EQ(b->Width(), 32);
  b->SetAutoSize(false);
  b->SetPictureDefault(Solid(24, 22, 0x0000FF).get());
  EXPECT_EQ(b->Width(), 32);
  b->SetAutoSize(true);
  EXPECT_EQ(b->Width(), 24);
  EXPECT_EQ(b->Height(), 22);
}

TEST_F(PNGButtonTest, EnterPressReleaseAndLeaveShowTheirPicturesAndFireOnce) {
  TPNGButton* b = NewButton(20, 20);
  b->SetPictureDefault(Solid(32, 32, 0x0000FF).get());  // red
  b->SetPictureHot(Solid(32, 32, 0x00FF00).get());      // green
  b->SetPicturePress(Solid(32, 32, 0xFF0000).get());    // blue
  std::vector<std::string> log;
  b->OnMouseEnter = [&](TObject*) { log.push_back("enter in state " + std::to_string(b->ButtonState())); };
  b->OnMouseLeave = [&](TObject*) { log.push_back("leave in state " + std::to_string(b->ButtonState())); };
  b->OnClick = [&](TObject*) { log.push_back("click"); };
  Application->ProcessMessages();
  EXPECT_EQ(Pixel(36, 36), 0x0000FFu);

  testsupport::MouseEnter(form, 2, 2);
  testsupport::MouseMove(form, 30, 30);
  EXPECT_EQ(b->ButtonState(), 1);
  EXPECT_EQ(Pixel(36, 36), 0x00FF00u);
  testsupport::MouseDown(form, 30, 30);
  EXPECT_EQ(b->ButtonState(), 2);
  EXPECT_EQ(Pixel(36, 36), 0xFF0000u);
  testsupport::MouseUp(form, 30, 30);
  EXPECT_EQ(b->ButtonState(), 1);
  EXPECT_EQ(Pixel(36, 36), 0x00FF00u);
  // Any button presses it.
  testsupport::MouseDown(form, 30, 30, testsupport::Mouse::Right);
  EXPECT_EQ(Pixel(36, 36), 0xFF0000u);
  testsupport::MouseUp(form, 30, 30, testsupport::Mouse::Right);
  testsupport::MouseMove(form, 150, 150);
  testsupport::MouseLeave(form);
  Application->ProcessMessages();
  EXPECT_EQ(b->ButtonState(), 0);
  EXPECT_EQ(Pixel(36, 36), 0x0000FFu);
  EXPECT_EQ(log, (std::vector<std::string>{"enter in state 1", "click", "leave in state 0"}));
}

TEST_F(PNGButtonTest, HotIsPaintedBeforeOnMouseEnterAndNormalAfterOnMouseLeave) {
  std::vector<std::string> log;
  auto* b = new TLoggedButton(form, &log);
  b->SetParent(form);
  b->SetPictureDefault(Solid(20, 20, 0x0000FF).get());
  b->OnMouseEnter = [&](TObject*) { log.push_back("enter"); };
  b->OnMouseLeave = [&](TObject*) { log.push_back("leave"); };
  Application->ProcessMessages();
  log.clear();
  testsupport::MouseEnter(form, 5, 5);
  testsupport::MouseMove(form, 100, 100);
  Application->ProcessMessages();
  EXPECT_EQ(log, (std::vector<std::string>{"paint 1", "enter", "leave", "paint 0"}));
}

TEST_F(PNGButtonTest, EmptyStatesFallBackToTheDefault) {
  TPNGButton* b = NewButton(0, 0);
  b->SetPictureDefault(Solid(20, 20, 0x0000FF).get());
  testsupport::MouseEnter(form, 5, 5);
  EXPECT_EQ(b->ButtonState(), 1);
  EXPECT_EQ(Pixel(10, 10), 0x0000FFu);
  testsupport::MouseDown(form, 5, 5);
  EXPECT_EQ(Pixel(10, 10), 0x0000FFu);
  // A hot picture stands in for a missing pressed one.
  b->SetPictureHot(Solid(20, 20, 0x00FF00).get());
  b->Repaint();
  EXPECT_EQ(b->ButtonState(), 2);
  EXPECT_EQ(Pixel(10, 10), 0x00FF00u);
  testsupport::MouseUp(form, 5, 5);
}

TEST_F(PNGButtonTest, PartlyTransparentPicturesBlendOverTheFormOnItsPaintDC) {
  TPNGButton* b = NewButton(0, 0);
  b->SetPictureDefault(Solid(16, 16, 0xF0F0F0, 100).get());
  Application->ProcessMessages();
  const uint32_t want = RGB(Blend(100, 0xF0, 0x10), Blend(100, 0xF0, 0x20), Blend(100, 0xF0, 0x40));
  EXPECT_EQ(Pixel(8, 8), want);
  EXPECT_EQ(Pixel(20, 8), kFormColour);
  // Painted again (a hover and back), the blend is made over the form, not over the last blend.
  testsupport::MouseEnter(form, 8, 8);
  testsupport::MouseMove(form, 100, 100);
  testsupport::MouseLeave(form);
  Application->ProcessMessages();
  EXPECT_EQ(Pixel(8, 8), want);
}

TEST_F(PNGButtonTest, NineAlignmentsOfPictureAndCaption) {
  struct Case {
    TObjectAlignment a;
    int x, y;  // where a 10 x 6 object stands in 40 x 30
  } cases[] = {{tp_Left_Top, 0, 0},     {tp_Left_Middle, 0, 12},   {tp_Left_Bottom, 0, 24},
               {tp_Center_Top, 15, 0},  {tp_Center_Middle, 15, 12}, {tp_Center_Bottom, 15, 24},
               {tp_Right_Top, 30, 0},   {tp_Right_Middle, 30, 12},  {tp_Right_Bottom, 30, 24}};
  TPNGButton* b = NewButton(0, 0);
  b->SetAutoSize(false);
  b->SetBounds(0, 0, 40, 30);
  b->SetPictureDefault(Solid(10, 6, 0x00FFFF).get());
  for (const Case& c : cases) {
    EXPECT_EQ(AlignedPosition(c.a, 40, 30, 10, 6), Point(c.x, c.y)) << int(c.a);
    b->SetPictureAlignment(c.a);
    Application->ProcessMessages();
    EXPECT_EQ(Pixel(c.x, c.y), 0x00FFFFu) << int(c.a);
    EXPECT_EQ(Pixel(c.x + 9, c.y + 5), 0x00FFFFu) << int(c.a);
    if (c.x > 0) {
      EXPECT_EQ(Pixel(c.x - 1, c.y), kFormColour) << int(c.a);
    }
    if (c.y + 6 < 30) {
      EXPECT_EQ(Pixel(c.x, c.y + 6), kFormColour) << int(c.a);
    }
  }
  // Halves round toward zero, also when the object is larger than the button.
  EXPECT_EQ(AlignedPosition(tp_Center_Middle, 10, 10, 15, 13), Point(-2, -1));
  EXPECT_EQ(AlignedPosition(tp_Right_Bottom, 10, 10, 15, 13), Point(-5, -3));

  // The caption: its drawn pixels lie inside the box its alignment gives it.
  b->SetPictureDefault(nullptr);
  TFont font;
  font.SetHeight(-14);
  font.SetStyle({fsBold});
  font.SetColor(clWhite);
  b->SetFontDefault(&font);
  b->SetCaptionDefault("H");
  TBitmap probe;
  probe.SetSize(1, 1);
  probe.Canvas()->Font()->Assign(font);
  const TSize text = probe.Canvas()->TextExtent("H");
  for (const Case& c : cases) {
    b->SetCaptionAlignment(c.a);
    Application->ProcessMessages();
    const TPoint at = AlignedPosition(c.a, 40, 30, text.cx, text.cy);
    int inside = 0, outside = 0;
    const std::vector<uint32_t> shown = Pixels(40, 30);
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 40; ++x) {
        if (shown[y * 40 + x] == kFormColour) continue;
        const bool in = x >= at.X && x < at.X + text.cx && y >= at.Y && y < at.Y + text.cy;
        ++(in ? inside : outside);
      }
    EXPECT_GT(inside, 10) << int(c.a);
    EXPECT_EQ(outside, 0) << int(c.a);
  }
}

TEST_F(PNGButtonTest, DisabledCaptionIsSilverAndStretchFillsTheButton) {
  TPNGButton* b = NewButton(0, 0);
  b->SetAutoSize(false);
  b->SetBounds(0, 0, 40, 30);
  TFont font;
  font.SetHeight(-20);
  font.SetStyle({fsBold});
  font.SetColor(clBlack);
  b->SetFontDefault(&font);
  b->SetCaptionDefault("I");
  b->SetEnabled(false);
  Application->ProcessMessages();
  // The core of the stroke is fully covered: exactly silver.
  const std::vector<uint32_t> shown = Pixels(40, 30);
  EXPECT_NE(std::find(shown.begin(), shown.end(), 0xC0C0C0u), shown.end());
  EXPECT_EQ(std::find(shown.begin(), shown.end(), 0u), shown.end());

  b->SetCaptionDefault("");
  b->SetPictureDefault(Solid(4, 4, 0x00FF00).get());
  b->SetStretch(true);
  Application->ProcessMessages();
  EXPECT_EQ(Pixel(0, 0), 0x00FF00u);
  EXPECT_EQ(Pixel(39, 29), 0x00FF00u);
}

TEST_F(PNGButtonTest, AtDesignTimeOutlinedAndDeafToTheMouse) {
  auto* b = new TDesignedButton(form);
  b->SetParent(form);
  b->SetAutoSize(false);
  b->SetBounds(0, 0, 60, 20);
  Application->ProcessMessages();
  // Dash-dot in $F0C9A6 (red A6, green C9, blue F0) along the top edge, gaps between.
  int outline = 0, gaps = 0;
  for (uint32_t colour : Pixels(60, 1)) ++(colour == 0xF0C9A6u ? outline : gaps);
  EXPECT_GT(outline, 20);
  EXPECT_GT(gaps, 5);
  testsupport::MouseEnter(form, 5, 5);
  testsupport::MouseDown(form, 5, 5);
  EXPECT_EQ(b->ButtonState(), 0);
  testsupport::MouseUp(form, 5, 5);
}
