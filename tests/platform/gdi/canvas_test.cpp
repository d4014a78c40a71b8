#include <gtest/gtest.h>

#include "platform/gdi/bitmap.h"

namespace {

std::unique_ptr<TBitmap> White(int w, int h, TPixelFormat f = pf24bit) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(f);
  b->SetSize(w, h);
  b->Canvas()->Brush()->SetColor(clWhite);
  b->Canvas()->FillRect({0, 0, w, h});
  return b;
}

}  // namespace

TEST(TCanvasTest, RectangleExcludesRightAndBottomEdges) {
  auto b = White(20, 20);
  TCanvas* c = b->Canvas();
  c->Pen()->SetColor(clRed);
  c->Brush()->SetColor(clBlue);
  c->Rectangle(2, 3, 10, 12);
  EXPECT_EQ(c->Pixels(2, 3), clRed);    // top-left corner is pen
  EXPECT_EQ(c->Pixels(9, 11), clRed);   // last pixel inside the box is pen
  EXPECT_EQ(c->Pixels(10, 11), clWhite);
  EXPECT_EQ(c->Pixels(9, 12), clWhite);
  EXPECT_EQ(c->Pixels(5, 7), clBlue);   // interior is brush
  EXPECT_EQ(c->Pixels(1, 3), clWhite);
}

TEST(TCanvasTest, FillRectCoversExactlyTheRectangle) {
  auto b = White(20, 20);
  TCanvas* c = b->Canvas();
  c->Brush()->SetColor(clGreen);
  c->FillRect({10, 10, 20, 20});
  EXPECT_EQ(c->Pixels(10, 10), clGreen);
  EXPECT_EQ(c->Pixels(19, 19), clGreen);
  EXPECT_EQ(c->Pixels(9, 10), clWhite);
  EXPECT_EQ(c->Pixels(10, 9), clWhite);
}

TEST(TCanvasTest, LineToLeavesItsEndPixel) {
  auto b = White(20, 20);
  TCanvas* c = b->Canvas();
  c->Pen()->SetColor(clBlack);
  c->MoveTo(2, 5);
  c->LineTo(12, 5);
  EXPECT_EQ(c->Pixels(2, 5), clBlack);
  EXPECT_EQ(c->Pixels(11, 5), clBlack);
  EXPECT_EQ(c->Pixels(12, 5), clWhite);
  EXPECT_EQ(c->PenPos(), Point(12, 5));
  c->MoveTo(0, 0);
  c->LineTo(10, 10);
  EXPECT_EQ(c->Pixels(9, 9), clBlack);
  EXPECT_EQ(c->Pixels(10, 10), clWhite);
}
