// The view background pixel by pixel: the chessboard's two roads, photo-like, gradient ends,
// diagonals, the framed styles' size rules and the wallpaper.
#include <gtest/gtest.h>

#include <memory>

#include "imaging/views/ie_view_background.h"
#include "platform/gdi/bitmap.h"
#include "platform/gdi/picture.h"

namespace {

std::unique_ptr<TBitmap> Canvas24(int32_t w, int32_t h, COLORREF fill = 0x123456) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  b->SetSize(w, h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      uint8_t* p = b->ScanLine(y) + 3 * x;
      p[0] = GetBValue(fill), p[1] = GetGValue(fill), p[2] = GetRValue(fill);
    }
  return b;
}

COLORREF Px(TBitmap& b, int32_t x, int32_t y) {
  const uint8_t* p = b.ScanLine(y) + 3 * x;
  return RGB(p[2], p[1], p[0]);
}

void Draw(TBitmap& b, bool direct, TIEBackgroundStyle style, TColor color, TRect area, TRect image,
          int32_t cell = 16, TPicture* wall = nullptr, TIEWallPaperStyle ws = iewoNormal, TColor end = 0xFF0000) {
  DrawViewBackground(0, b.Canvas(), direct ? &b : nullptr, style, color, area.Left, area.Top, area.Width(),
                     area.Height(), image.Left, image.Top, image.Right, image.Bottom, cell, bsSolid, end, wall, ws);
}

constexpr COLORREF kC = 0x2040C0;  // an asymmetric colour: the inverse differs in every channel
constexpr COLORREF kInv = 0xDFBF3F;

TEST(ViewBackground, ChessboardRoadsStartWithOppositeColours) {
  struct Case {
    int32_t x, y;
    COLORREF direct, canvas;
  } cases[] = {{0, 0, kC, kInv},     {15, 15, kC, kInv},  {16, 0, kInv, kC},  {31, 15, kInv, kC},
               {0, 16, kInv, kC},    {16, 16, kC, kInv},  {39, 39, kC, kInv}, {32, 0, kC, kInv}};
  for (bool direct : {true, false}) {
    auto b = Canvas24(40, 40);
    Draw(*b, direct, iebsChessboard, kC, TRect{0, 0, 40, 40}, TRect{0, 0, 0, 0});
    for (const Case& c : cases)
      EXPECT_EQ(Px(*b, c.x, c.y), direct ? c.direct : c.canvas) << direct << " " << c.x << "," << c.y;
  }
}

TEST(ViewBackground, DirectChessboardWritesNothingOutsideTheBitmap) {
  // The area reaches past every edge: cells count from the area's corner, pixels outside are
  // simply not there, and no row or column is written twice.
  auto b = Canvas24(20, 20);
  Draw(*b, true, iebsChessboard, kC, TRect{-10, -10, 30, 30}, TRect{0, 0, 0, 0}, 8);
  // Pixel (x, y) lies in cell ((x + 10) / 8, (y + 10) / 8).
  for (int32_t y = 0; y < 20; ++y)
    for (int32_t x = 0; x < 20; ++x) {
      const bool first = ((((x + 10) / 8) + ((y + 10) / 8)) & 1) == 0;
      ASSERT_EQ(Px(*b, x, y), first ? kC : kInv) << x << "," << y;
    }
  // An area only partly over the bitmap leaves the rest untouched.
  auto c = Canvas24(20, 20);
  Draw(*c, true, iebsChessboard, kC, TRect{5, 5, 12, 30}, TRect{0, 0, 0, 0}, 4);
  EXPECT_EQ(Px(*c, 4, 10), 0x123456u);
  EXPECT_EQ(Px(*c, 12, 10), 0x123456u);
  EXPECT_EQ(Px(*c, 5, 5), kC);
  EXPECT_EQ(Px(*c, 11, 19), (((6 / 4) + (14 / 4)) & 1) ? kInv : kC);
}

TEST(ViewBackground, ChessboardOfNoCellSizeTerminates) {
  auto b = Canvas24(6, 6);
  Draw(*b, false, iebsChessboard, kC, TRect{0, 0, 6, 6}, TRect{0, 0, 0, 0}, 0);
  EXPECT_EQ(Px(*b, 0, 0), kInv);
  EXPECT_EQ(Px(*b, 1, 0), kC);
}

TEST(ViewBackground, PhotoLikeFramesAChessboardOnGrey) {
  for (bool direct : {true, false}) {
    auto b = Canvas24(40, 40);
    Draw(*b, direct, iebsPhotoLike, kC, TRect{0, 0, 40, 40}, TRect{10, 10, 30, 30}, 4);
    EXPECT_EQ(Px(*b, 0, 0), 0xB0B0B0u) << direct;
    EXPECT_EQ(Px(*b, 39, 39), 0xB0B0B0u) << direct;
    EXPECT_EQ(Px(*b, 9, 9), 0x000000u) << direct;   // the black frame one pixel outside the image
    EXPECT_EQ(Px(*b, 30, 20), 0x000000u) << direct;
    EXPECT_EQ(Px(*b, 10, 10), direct ? kC : kInv) << direct;
    EXPECT_EQ(Px(*b, 14, 10), direct ? kInv : kC) << direct;
  }
}

TEST(ViewBackground, SolidAndGradientEnds) {
  auto b = Canvas24(8, 11);
  Draw(*b, false, iebsSolid, kC, TRect{0, 0, 8, 11}, TRect{0, 0, 0, 0});
  EXPECT_EQ(Px(*b, 7, 10), kC);
  Draw(*b, false, iebsGradient, 0x000000, TRect{0, 0, 8, 11}, TRect{0, 0, 0, 0}, 16, nullptr, iewoNormal,
       0x0000FF);
  EXPECT_EQ(Px(*b, 0, 0), 0x000000u);
  EXPECT_EQ(Px(*b, 7, 0), 0x000000u);
  EXPECT_EQ(Px(*b, 3, 5), RGB(255 * 5 / 11, 0, 0));
  EXPECT_EQ(Px(*b, 3, 10), RGB(255 * 10 / 11, 0, 0));  // the last row just short of the end colour
  for (int32_t y = 1; y < 11; ++y) EXPECT_GE(GetRValue(Px(*b, 0, y)), GetRValue(Px(*b, 0, y - 1)));
  EXPECT_TRUE(LoadGradientFill());
}

TEST(ViewBackground, DiagonalsInInverseColour) {
  auto b = Canvas24(10, 10);
  Draw(*b, false, iebsDiagonals, kC, TRect{0, 0, 10, 10}, TRect{0, 0, 0, 0});
  EXPECT_EQ(Px(*b, 0, 0), kInv);
  EXPECT_EQ(Px(*b, 5, 5), kInv);
  EXPECT_EQ(Px(*b, 9, 1), kInv);  // (right, top) to (left, bottom) starts just outside
  EXPECT_EQ(Px(*b, 1, 9), kInv);
  EXPECT_EQ(Px(*b, 5, 1), kC);
}

TEST(ViewBackground, HatchesDrawOnlySomePixelsInTheColour) {
  for (TIEBackgroundStyle s : {iebsHorizontal, iebsVertical, iebsFDiagonal, iebsBDiagonal, iebsCross, iebsDiagCross}) {
    auto b = Canvas24(16, 16, 0xFFFFFF);
    Draw(*b, false, s, kC, TRect{0, 0, 16, 16}, TRect{0, 0, 0, 0});
    int inColour = 0;
    for (int32_t y = 0; y < 16; ++y)
      for (int32_t x = 0; x < 16; ++x) inColour += Px(*b, x, y) == kC;
    EXPECT_GT(inColour, 0) << int(s);
    EXPECT_LT(inColour, 256) << int(s);
  }
}

TEST(ViewBackground, FramedStylesNeedAnImageOfTwoPixels) {
  struct Case {
    TIEBackgroundStyle style;
    TRect image;
    bool framed;
  } cases[] = {{iebsCropped, TRect{10, 10, 20, 20}, true},   {iebsCropped, TRect{10, 10, 11, 20}, false},
               {iebsCropShadow, TRect{10, 10, 20, 20}, true}, {iebsCropShadow, TRect{10, 10, 20, 11}, false},
               {iebsSoftShadow, TRect{10, 10, 20, 20}, true}, {iebsSoftShadow, TRect{10, 10, 11, 11}, false}};
  for (const Case& c : cases) {
    auto b = Canvas24(40, 40);
    Draw(*b, true, c.style, 0xFFFFFF, TRect{0, 0, 40, 40}, TRect{0, 0, 0, 0});
    auto plain = Px(*b, 0, 0);
    Draw(*b, true, c.style, 0xFFFFFF, TRect{0, 0, 40, 40}, c.image);
    int changed = 0;
    for (int32_t y = 0; y < 40; ++y)
      for (int32_t x = 0; x < 40; ++x) changed += Px(*b, x, y) != plain;
    EXPECT_EQ(changed > 0, c.framed) << int(c.style) << " " << c.image.Width();
  }
}

TEST(ViewBackground, WallPaperNormalStretchAndTile) {
  TPicture pic;
  auto tile = Canvas24(3, 2, 0x00FF00);
  pic.SetBitmap(tile.get());
  struct Case {
    TIEWallPaperStyle style;
    int32_t x, y;
    COLORREF want;
  } cases[] = {{iewoNormal, 2, 1, 0x00FF00},  {iewoNormal, 3, 0, kC},      {iewoNormal, 0, 2, kC},
               {iewoStretch, 9, 7, 0x00FF00}, {iewoTile, 9, 7, 0x00FF00}};
  for (const Case& c : cases) {
    auto b = Canvas24(10, 8);
    Draw(*b, false, iebsSolid, kC, TRect{0, 0, 10, 8}, TRect{0, 0, 0, 0}, 16, &pic, c.style);
    EXPECT_EQ(Px(*b, c.x, c.y), c.want) << int(c.style) << " " << c.x << "," << c.y;
  }
  // A wallpaper larger than the area is drawn once; one without size is not tiled at all.
  auto big = Canvas24(30, 30, 0x0000FF);
  pic.SetBitmap(big.get());
  auto b = Canvas24(10, 8);
  Draw(*b, false, iebsSolid, kC, TRect{0, 0, 10, 8}, TRect{0, 0, 0, 0}, 16, &pic, iewoTile);
  EXPECT_EQ(Px(*b, 9, 7), 0x0000FFu);
  TBitmap empty;
  pic.SetBitmap(&empty);
  Draw(*b, false, iebsSolid, kC, TRect{0, 0, 10, 8}, TRect{0, 0, 0, 0}, 16, &pic, iewoTile);
  EXPECT_EQ(Px(*b, 0, 0), kC);
}

}  // namespace
