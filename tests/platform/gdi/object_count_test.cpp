// The count of live GDI objects by kind, which tests use to see that drawing code deletes what it
// makes.
#include <gtest/gtest.h>

#include "platform/gdi/bitmap.h"

TEST(GdiObjectCount, CountsLiveObjectsByKindAndLeavesStockObjectsOut) {
  const int32_t pens = GdiObjectCount(OBJ_PEN), regions = GdiObjectCount(OBJ_REGION);
  const int32_t dcs = GdiObjectCount(OBJ_DC), all = GdiObjectCount();
  GetStockObject(BLACK_PEN);  // stock objects exist once and never count
  EXPECT_EQ(GdiObjectCount(OBJ_PEN), pens);

  HPEN pen = CreatePen(PS_SOLID, 1, 0);
  HRGN a = CreateRectRgn(0, 0, 4, 4), b = CreateEllipticRgn(0, 0, 4, 4);
  HDC dc = CreateCompatibleDC(nullptr);
  EXPECT_EQ(GdiObjectCount(OBJ_PEN), pens + 1);
  EXPECT_EQ(GdiObjectCount(OBJ_REGION), regions + 2);
  EXPECT_EQ(GdiObjectCount(OBJ_DC), dcs + 1);
  EXPECT_EQ(GdiObjectCount(OBJ_MEMDC), dcs + 1);
  EXPECT_EQ(GdiObjectCount(), all + 4);

  // An object still selected is not freed, so it still counts.
  SelectObject(dc, pen);
  EXPECT_FALSE(DeleteObject(pen));
  EXPECT_EQ(GdiObjectCount(OBJ_PEN), pens + 1);
  DeleteDC(dc);
  DeleteObject(pen);
  DeleteObject(a);
  DeleteObject(b);
  EXPECT_EQ(GdiObjectCount(), all);

  // A framework bitmap with a canvas holds a bitmap and a DC while it lives, and gives both back.
  {
    TBitmap bmp(8, 8);
    bmp.Canvas()->FillRect(Rect(0, 0, 8, 8));
    EXPECT_GT(GdiObjectCount(), all);
  }
  EXPECT_EQ(GdiObjectCount(), all);
}
