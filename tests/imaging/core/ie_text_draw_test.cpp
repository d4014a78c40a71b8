#include "imaging/core/ie_text_draw.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "imaging/core/ie_gdiplus.h"
#include "platform/gdi/bitmap.h"
#include "tests/imaging/core/bitmap_test_support.h"

namespace {

std::unique_ptr<TBitmap> WhiteBitmap(int w, int h) { return WhiteTBitmap(w, h); }

TEST(TextDraw, HintBoxKeepsInsideAndSavesWhatItCovers) {
  TBitmap target;
  target.SetPixelFormat(pf24bit);
  target.SetSize(200, 100);
  TCanvas* canvas = target.Canvas();
  canvas->Brush()->SetColor(clWhite);
  canvas->FillRect(Rect(0, 0, 200, 100));
  canvas->SetPixels(3, 80, clRed);  // a mark under the box, for the saved copy
  TFont font;
  TBrush brush;
  brush.SetColor(clYellow);
  TBitmap save;
  int32_t x = -5, y = 90;
  DrawHintBox(canvas, x, y, clWhite, clGray, 100, 200, &save, &brush, &font, "Hint");
  const int32_t w = canvas->TextWidth("Hint") + 12, h = canvas->TextHeight("Hint") + 12;
  EXPECT_EQ(x, 0);                // raised to 0
  EXPECT_EQ(y, 100 - h - 1);      // lowered to end a pixel inside
  ASSERT_EQ(save.Width(), w);
  ASSERT_EQ(save.Height(), h);
  EXPECT_EQ(save.PixelFormat(), pf24bit);
  EXPECT_EQ(save.Canvas()->Pixels(3, 80 - y), clRed);
  EXPECT_EQ(save.Canvas()->Pixels(w - 1, h - 1), clWhite);
  // The box from (x + 6, y + 6): filled, framed light on the top and left, dark on the right and
  // bottom; the 6-pixel margin is left alone.
  EXPECT_EQ(canvas->Pixels(x + 7, y + 7), clYellow);
  EXPECT_EQ(canvas->Pixels(x + 6, y + 8), clWhite);
  EXPECT_EQ(canvas->Pixels(x + w - 1, y + 8), clGray);
  EXPECT_EQ(canvas->Pixels(x + 8, y + h - 1), clGray);
  EXPECT_EQ(canvas->Pixels(x + 2, y + 2), clWhite);
  EXPECT_EQ(canvas->Pixels(3, 80), clRed);
}

TEST(TextDraw, InteractionHintIsHalfTransparent) {
  auto target = WhiteBitmap(300, 100);
  TCanvas* canvas = target->Canvas();
  int32_t x = -10, y = 10;
  AcquireGDIPlus();  // as an image view does
  DrawInteractionHint(canvas, x, y, "A much longer measure text", "12 px");
  ReleaseGDIPlus();
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 10);
  // Light yellow $60FFFF at alpha 128 over white: red and green stay 255, blue about 175.
  const TColor inside = canvas->Pixels(x + 8, y + 7);
  EXPECT_EQ(inside & 0xFF, 0xFFu);
  EXPECT_EQ((inside >> 8) & 0xFF, 0xFFu);
  EXPECT_NEAR(static_cast<int>((inside >> 16) & 0xFF), 175, 3);
  EXPECT_EQ(canvas->Pixels(x + 6, y + 8), static_cast<TColor>(0x808080));
  // As wide as the longer text: the fill reaches past the hint text's own width.
  TFont arial;
  arial.SetName("Arial");
  arial.SetSize(9);
  canvas->Font()->Assign(arial);
  const int32_t wide = canvas->TextWidth("A much longer measure text") + 12;
  EXPECT_EQ(canvas->Pixels(x + wide - 3, y + 7), inside);
}

TEST(TextDraw, MeasuresAndStyles) {
  auto target = WhiteBitmap(10, 10);
  EXPECT_GT(TextWidthW(target->Canvas(), "WWW"), TextWidthW(target->Canvas(), "W"));
  EXPECT_EQ(TextHeightW(target->Canvas(), "a"), target->Canvas()->TextHeight("Xy"));
  LOGFONT lf;
  EXPECT_TRUE(LogFontToFontStyles(lf).Empty());
  lf.lfWeight = 700;
  lf.lfItalic = 1;
  lf.lfStrikeOut = 1;
  EXPECT_EQ(LogFontToFontStyles(lf), (TFontStyles{fsBold, fsItalic, fsStrikeOut}));
  lf.lfWeight = 699;
  lf.lfUnderline = 1;
  EXPECT_EQ(LogFontToFontStyles(lf), (TFontStyles{fsItalic, fsUnderline, fsStrikeOut}));
}

}  // namespace
