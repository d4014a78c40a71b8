#include "platform/ui/system_bitmaps.h"

#include <gtest/gtest.h>

#include "platform/gdi/bitmap.h"

namespace {

TEST(SystemBitmaps, TheComboArrowIsABlackTriangleOnTheButtonFace) {
  TBitmap b;
  b.SetHandle(LoadBitmap(0, OBM_COMBO));
  ASSERT_EQ(b.Width(), 7);
  ASSERT_EQ(b.Height(), 4);
  // Rows of 7, 5, 3 and 1 black pixels, centred.
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 7; ++x) {
      bool ink = x >= y && x < 7 - y;
      EXPECT_EQ(ColorToRGB(b.Canvas()->Pixels(x, y)) & 0xFFFFFF, ink ? 0u : ColorToRGB(clBtnFace) & 0xFFFFFF)
          << x << "," << y;
    }
  EXPECT_EQ(LoadBitmap(1, OBM_COMBO), nullptr);
  EXPECT_EQ(LoadBitmap(0, 32000), nullptr);
}

}  // namespace
