#include "controls/xc_led.h"

#include <gtest/gtest.h>

#include "platform/ui/forms.h"
#include "tests/controls/pixels.h"
#include "tests/support/ui_fixture.h"

namespace {

using testsupport::At;

using LedTest = testsupport::FormTest;

constexpr COLORREF kRim = RGB(0x80, 0x80, 0x80), kHighlight = RGB(255, 255, 255);

TEST_F(LedTest, TheBodyTakesTheColourAndTheRestOfTheLampStays) {
  auto* led = new TXcLED(form);
  TBitmap* lamp = led->LampImage();
  ASSERT_EQ(lamp->Width(), 17);
  ASSERT_EQ(lamp->Height(), 17);
  EXPECT_EQ(led->Color(), clLime);
  EXPECT_EQ(At(*lamp, 8, 10), RGB(0, 255, 0));  // lime: as loaded
  EXPECT_EQ(At(*lamp, 0, 0), RGB(0, 0, 0));
  EXPECT_EQ(At(*lamp, 6, 2), kRim);
  EXPECT_EQ(At(*lamp, 6, 5), kHighlight);

  led->SetColorOn(clBlack);
  lamp = led->LampImage();
  EXPECT_EQ(At(*lamp, 8, 10), RGB(0, 0, 0));  // a black body inside the grey rim
  EXPECT_EQ(At(*lamp, 2, 7), kRim);
  EXPECT_EQ(At(*lamp, 6, 6), kHighlight);
  led->SetColorOn(static_cast<TColor>(RGB(12, 34, 56)));
  lamp = led->LampImage();
  EXPECT_EQ(At(*lamp, 8, 10), RGB(12, 34, 56));
  EXPECT_EQ(At(*lamp, 6, 14), kRim);
  EXPECT_EQ(At(*lamp, 16, 16), RGB(0, 0, 0));
}

TEST_F(LedTest, StatusAndTheTwoColours) {
  auto* led = new TXcLED(form);
  int changes = 0;
  led->OnStatusChanged = [&](TObject*) { ++changes; };
  led->SetColorOff(clBlue);  // while on: nothing shows of it
  EXPECT_EQ(led->Color(), clLime);
  led->SetStatus(true);
  EXPECT_EQ(changes, 1);  // also when unchanged
  led->SetStatus(false);
  EXPECT_EQ(led->Color(), clBlue);
  EXPECT_EQ(changes, 2);
  led->SetColorOn(clYellow);
  EXPECT_EQ(led->Color(), clBlue);
  led->Blink();
  EXPECT_TRUE(led->Status());
  EXPECT_EQ(led->Color(), clYellow);
}

TEST_F(LedTest, BlinkingRunsOnTheTimerAndRestsWhileTheProgramIsMinimised) {
  auto* led = new TXcLED(form);
  EXPECT_EQ(led->Interval(), 1000u);
  EXPECT_FALSE(led->BlinkTimer()->Enabled());
  led->SetInterval(300);
  EXPECT_EQ(led->BlinkTimer()->Interval(), 300u);
  led->SetActive(true);
  EXPECT_TRUE(led->BlinkTimer()->Enabled());
  led->BlinkTimer()->OnTimer(led->BlinkTimer());
  EXPECT_FALSE(led->Status());

  TCustomForm* main = Application->MainForm();
  Application->SetMainForm(form);
  form->SetWindowState(wsMinimized);
  Application->ProcessMessages();
  if (Application->Minimized()) {
    led->Blink();
    EXPECT_FALSE(led->Status());
  }
  form->SetWindowState(wsNormal);
  Application->ProcessMessages();
  Application->SetMainForm(main);
  led->Blink();
  EXPECT_TRUE(led->Status());
  led->SetActive(false);
  EXPECT_FALSE(led->BlinkTimer()->Enabled());
}

TEST_F(LedTest, PaintCoversOnlyTheLampCentredAndAutoSizeKeepsItsSize) {
  form->SetColor(clBlue);
  auto* led = new TXcLED(form);
  led->SetParent(form);
  led->SetBounds(0, 0, 20, 20);
  led->SetColorOn(clRed);
  TBitmap p(20, 20);
  p.Canvas()->Brush()->SetColor(clBlue);
  p.Canvas()->FillRect(Rect(0, 0, 20, 20));
  led->Perform(WM_PAINT, reinterpret_cast<WPARAM>(p.Canvas()->Handle()), 0);
  // (20 - 17) div 2 = 1: the lamp's (8, 10) lands on (9, 11).
  EXPECT_EQ(At(p, 9, 11), RGB(255, 0, 0));
  EXPECT_EQ(At(p, 7, 3), kRim);          // lamp (6, 2)
  EXPECT_EQ(At(p, 1, 1), RGB(0, 0, 255));  // outside the mask
  EXPECT_EQ(At(p, 19, 19), RGB(0, 0, 255));

  led->SetAutoSize(true);
  led->SetBounds(5, 5, 40, 30);
  EXPECT_EQ(led->Width(), 17);
  EXPECT_EQ(led->Height(), 17);
  EXPECT_EQ(led->Left(), 5);
}

}  // namespace
