#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "imaging/core/ie_mask.h"
#include "platform/gdi/bitmap.h"
#include "platform/gdi/graphics.h"

namespace {

struct Px {
  int r, g, b;
  friend bool operator==(const Px&, const Px&) = default;
};

std::ostream& operator<<(std::ostream& os, const Px& p) { return os << "(" << p.r << "," << p.g << "," << p.b << ")"; }

// A 24-bit framework bitmap filled with one colour.
std::unique_ptr<TBitmap> Canvas24(int32_t w, int32_t h, Px fill) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  b->SetSize(w, h);
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* row = b->ScanLine(y);
    for (int32_t x = 0; x < w; ++x) {
      row[3 * x] = static_cast<uint8_t>(fill.b);
      row[3 * x + 1] = static_cast<uint8_t>(fill.g);
      row[3 * x + 2] = static_cast<uint8_t>(fill.r);
    }
  }
  return b;
}

Px At(TBitmap& b, int32_t x, int32_t y) {
  const uint8_t* p = b.ScanLine(y) + 3 * x;
  return Px{p[2], p[1], p[0]};
}

// A mask whose rows are given as text: '#' selected (1 or 255), '+' partly selected (100 on an
// 8-bit mask, unselected on a 1-bit one), '.' not.
void MaskFrom(TIEMask& m, int32_t bpp, const std::vector<std::string>& rows) {
  m.Allocate(static_cast<int32_t>(rows[0].size()), static_cast<int32_t>(rows.size()), bpp);
  for (int32_t y = 0; y < m.Height(); ++y)
    for (int32_t x = 0; x < m.Width(); ++x) {
      if (rows[y][x] == '#') m.SetPixel(x, y, bpp == 1 ? 1 : 255);
      if (rows[y][x] == '+' && bpp == 8) m.SetPixel(x, y, 100);
    }
}

const std::vector<std::string> kRect = {
    "............",  //
    "............",  //
    "...######...",  //
    "...######...",  //
    "...######...",  //
    "...######...",  //
    "...######...",  //
    "............",  //
    "............",  //
    "............",  //
};

// Pixels here and there, for the inverting overlay, drawn on kBase.
const std::vector<std::string> kScattered = {"#.......", "..##....", "..##...#", "........", ".....#..", "........"};
const Px kBase{10, 20, 30};
const Px kInverted{245, 235, 225};

const Px kWhite{255, 255, 255};
const Px kRed{255, 0, 0};
const Px kBlue{0, 0, 255};

}  // namespace

// ---- DrawXor ----

TEST(TIEMaskDraw, XorInvertsExactlyTheSelection) {
  TIEMask mask;
  MaskFrom(mask, 1, kScattered);
  const Px base = kBase, inverted = kInverted;
  auto bmp = Canvas24(8, 6, base);
  mask.DrawXor(bmp->Canvas(), 0, 0, 8, 6, 0, 0, 8, 6);
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 8; ++x)
      EXPECT_EQ(At(*bmp, x, y), mask.GetPixel(x, y) ? inverted : base) << x << "," << y;
  // Drawn twice the overlay is gone.
  mask.DrawXor(bmp->Canvas(), 0, 0, 8, 6, 0, 0, 8, 6);
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 8; ++x) EXPECT_EQ(At(*bmp, x, y), base);
}

TEST(TIEMaskDraw, XorOfAPartAndZoomed) {
  TIEMask mask;
  MaskFrom(mask, 1, kScattered);
  const Px base = kBase, inverted = kInverted;
  // Mask rectangle (2, 1)-(5, 3) shown at (1, 1) on the canvas: the DIB row is counted from the
  // bottom, so a wrong source row shows at once.
  auto bmp = Canvas24(8, 6, base);
  mask.DrawXor(bmp->Canvas(), 1, 1, 4, 3, 2, 1, 4, 3);
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 8; ++x) {
      const bool shown = x >= 1 && x < 5 && y >= 1 && y < 4;
      const bool sel = shown && mask.GetPixel(x + 1, y) != 0;
      EXPECT_EQ(At(*bmp, x, y), sel ? inverted : base) << x << "," << y;
    }
  // Twice the size: every mask pixel covers 2 x 2 canvas pixels.
  auto big = Canvas24(16, 12, base);
  mask.DrawXor(big->Canvas(), 0, 0, 16, 12, 0, 0, 8, 6);
  for (int32_t y = 0; y < 12; ++y)
    for (int32_t x = 0; x < 16; ++x)
      EXPECT_EQ(At(*big, x, y), mask.GetPixel(x / 2, y / 2) ? inverted : base) << x << "," << y;
}

TEST(TIEMaskDraw, XorDrawsOnlyNonEmptyOneBitMasks) {
  const Px base{10, 20, 30};
  auto bmp = Canvas24(4, 4, base);
  TIEMask grey;
  MaskFrom(grey, 8, {"####", "####", "####", "####"});
  grey.DrawXor(bmp->Canvas(), 0, 0, 4, 4, 0, 0, 4, 4);
  TIEMask unboxed;
  unboxed.Allocate(4, 4, 1);
  unboxed.Fill(255);  // selected, but the box is empty
  unboxed.DrawXor(bmp->Canvas(), 0, 0, 4, 4, 0, 0, 4, 4);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(At(*bmp, x, y), base);
}

// ---- DrawOutline ----

TEST(TIEMaskDraw, OutlineOfARectangleAtFullSizeInMovingDashes) {
  for (int32_t bpp : {1, 8}) {
    TIEMask mask;
    MaskFrom(mask, bpp, kRect);
    for (int32_t phase : {0, 1, 5}) {
      SCOPED_TRACE(testing::Message() << bpp << " bits, phase " << phase);
      auto bmp = Canvas24(12, 10, kWhite);
      TRect bounds{};
      mask.DrawOutline(bmp->Canvas(), 0, 0, 12, 10, 0, 0, 12, 10, phase, clRed, clBlue, &bounds);
      for (int32_t y = 0; y < 10; ++y)
        for (int32_t x = 0; x < 12; ++x) {
          const bool inside = x >= 3 && x <= 8 && y >= 2 && y <= 6;
          const bool frame = inside && (x == 3 || x == 8 || y == 2 || y == 6);
          // Colour 2 where the low three bits of x + y + phase are below 4: dashes of four
          // pixels along the diagonals, one pixel further on per phase step.
          const Px expected = !frame ? kWhite : (((x + y + phase) & 7) < 4 ? kBlue : kRed);
          EXPECT_EQ(At(*bmp, x, y), expected) << x << "," << y;
        }
      EXPECT_EQ(bounds, (TRect{4, 3, 9, 7}));
    }
  }
}

TEST(TIEMaskDraw, OutlineAtTwiceTheSizeAndOffset) {
  TIEMask mask;
  MaskFrom(mask, 1, kRect);
  // The whole mask at 200 %, drawn 5 pixels right and 3 down: the frame of the 12 x 10 picture
  // of the selection, one pixel thick.
  auto bmp = Canvas24(30, 24, kWhite);
  mask.DrawOutline(bmp->Canvas(), 5, 3, 24, 20, 0, 0, 12, 10, 0, clBlack, clBlack);
  for (int32_t y = 0; y < 24; ++y)
    for (int32_t x = 0; x < 30; ++x) {
      const int32_t cx = x - 5, cy = y - 3;
      const bool inside = cx >= 6 && cx <= 17 && cy >= 4 && cy <= 13;
      const bool frame = inside && (cx == 6 || cx == 17 || cy == 4 || cy == 13);
      EXPECT_EQ(At(*bmp, x, y), frame ? (Px{0, 0, 0}) : kWhite) << x << "," << y;
    }
}

TEST(TIEMaskDraw, OutlineLeavesTheSideThatRunsOffTheView) {
  // Selection columns 0..8; the view shows columns 2..11, so the left side of the selection is
  // off the view and no border is drawn at the view's left edge.
  TIEMask mask;
  MaskFrom(mask, 1, {"..........", "#########.", "#########.", "#########.", ".........."});
  auto bmp = Canvas24(10, 5, kWhite);
  mask.DrawOutline(bmp->Canvas(), 0, 0, 8, 5, 2, 0, 8, 5, 0, clBlack, clBlack);
  const Px black{0, 0, 0};
  for (int32_t y = 0; y < 5; ++y) EXPECT_EQ(At(*bmp, 0, y), kWhite) << y;
  EXPECT_EQ(At(*bmp, 1, 1), black);  // top edge
  EXPECT_EQ(At(*bmp, 1, 2), kWhite);  // inside
  EXPECT_EQ(At(*bmp, 6, 2), black);  // right edge (mask column 8)
  EXPECT_EQ(At(*bmp, 7, 2), kWhite);
}

TEST(TIEMaskDraw, OutlineReusesItsCacheAcrossSizes) {
  TIEMask mask;
  MaskFrom(mask, 8, kRect);
  auto a = Canvas24(24, 20, kWhite);
  auto b = Canvas24(24, 20, kWhite);
  mask.DrawOutline(a->Canvas(), 0, 0, 24, 20, 0, 0, 12, 10, 0, clBlack, clBlack);
  mask.DrawOutline(b->Canvas(), 0, 0, 12, 10, 0, 0, 12, 10, 0, clBlack, clBlack);
  mask.DrawOutline(b->Canvas(), 0, 0, 24, 20, 0, 0, 12, 10, 0, clBlack, clBlack);
  for (int32_t y = 0; y < 20; ++y)
    for (int32_t x = 0; x < 24; ++x)
      if (x >= 12 || y >= 10) {
        EXPECT_EQ(At(*a, x, y), At(*b, x, y)) << x << "," << y;
      }
  // Nothing for an empty box or an empty destination.
  TIEMask none;
  none.Allocate(12, 10, 1);
  auto c = Canvas24(12, 10, kWhite);
  none.DrawOutline(c->Canvas(), 0, 0, 12, 10, 0, 0, 12, 10, 0, clBlack, clBlack);
  mask.DrawOutline(c->Canvas(), 0, 0, 0, 10, 0, 0, 12, 10, 0, clBlack, clBlack);
  mask.DrawOutline(c->Canvas(), 0, 0, 12, 10, 0, 0, 0, 10, 0, clBlack, clBlack);
  for (int32_t y = 0; y < 10; ++y)
    for (int32_t x = 0; x < 12; ++x) EXPECT_EQ(At(*c, x, y), kWhite);
}

// ---- DrawOuter ----

TEST(TIEMaskDraw, OuterCheckerTintAndNothing) {
  const Px base{200, 150, 100};
  for (int32_t bpp : {1, 8}) {
    TIEMask mask;
    MaskFrom(mask, bpp, {"......", ".###..", ".#+#..", "......"});
    struct Case {
      int32_t opacity;
      TColor colour;
    };
    for (const Case c : {Case{-1, clRed}, Case{-1, clBlue}, Case{255, clRed}, Case{0, clRed}, Case{128, clRed}}) {
      SCOPED_TRACE(testing::Message() << bpp << " bits, opacity " << c.opacity);
      auto bmp = Canvas24(6, 4, base);
      mask.DrawOuter(bmp.get(), 0, 0, 6, 4, 0, 0, 6, 4, c.opacity, c.colour);
      for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 6; ++x) {
          // At 1 bit '+' is unselected; at 8 bits it is partly selected and left alone.
          const int32_t v = mask.GetPixel(x, y);
          Px expected = base;
          if (v == 0) {
            if (c.opacity == -1)
              expected = ((x + y) & 1) == 0 ? Px{97, 97, 97} : base;
            else if (c.opacity == 255)
              expected = kRed;
            else if (c.opacity == 128)
              expected = Px{227, 74, 49};  // Trunc(255 a + (1 - a) 200), Trunc((1 - a) 150), ...
          }
          EXPECT_EQ(At(*bmp, x, y), expected) << x << "," << y;
        }
    }
  }
}

TEST(TIEMaskDraw, OuterClipsANegativeDestination) {
  // The image (6 rows) drawn 2 rows above the bitmap: bitmap rows 0..3 show mask rows 2..5.
  TIEMask mask;
  MaskFrom(mask, 1, {"......", "......", "......", "######", "......", "......"});
  const Px base{1, 2, 3};
  auto bmp = Canvas24(6, 4, base);
  mask.DrawOuter(bmp.get(), 0, -2, 6, 6, 0, 0, 6, 6, 255, clRed);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 6; ++x) EXPECT_EQ(At(*bmp, x, y), y == 1 ? base : kRed) << x << "," << y;
  // An image larger than the bitmap: rows and columns beyond it are skipped.
  auto small = Canvas24(3, 2, base);
  mask.DrawOuter(small.get(), 1, 0, 6, 6, 0, 0, 6, 6, 255, clRed);
  EXPECT_EQ(At(*small, 0, 0), base);
  EXPECT_EQ(At(*small, 2, 1), kRed);
  // Other bitmap depths are left alone: every byte of an 8-bit bitmap stays as it was.
  TBitmap grey;
  grey.SetPixelFormat(pf8bit);
  grey.SetSize(6, 4);
  std::vector<uint8_t> before;
  for (int32_t y = 0; y < 4; ++y) {
    auto* row = static_cast<uint8_t*>(grey.ScanLine(y));
    for (int32_t x = 0; x < 6; ++x) row[x] = static_cast<uint8_t>(17 * y + x + 1);
    before.insert(before.end(), row, row + 6);
  }
  mask.DrawOuter(&grey, 0, 0, 6, 4, 0, 0, 6, 4, 255, clRed);
  std::vector<uint8_t> after;
  for (int32_t y = 0; y < 4; ++y) {
    const auto* row = static_cast<const uint8_t*>(grey.ScanLine(y));
    after.insert(after.end(), row, row + 6);
  }
  EXPECT_EQ(after, before);
}
