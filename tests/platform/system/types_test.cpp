#include "platform/system/types.h"

#include <gtest/gtest.h>

TEST(RectTest, ExtentsAndMovesSaturateAtTheEndsOfTheRange) {
  struct Case {
    TRect r;
    int32_t width, height;
  };
  const Case cases[] = {
      {{-5, 2, 10, 9}, 15, 7},
      {{10, 9, -5, 2}, -15, -7},                                            // turned round: negative
      {{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, INT32_MAX, INT32_MAX},  // 2^32 - 1 wide
      {{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN}, INT32_MIN, INT32_MIN},
      {{-1, 0, INT32_MAX, INT32_MAX}, INT32_MAX, INT32_MAX},  // exactly 2^31: one past the range
      {{0, 0, INT32_MAX, INT32_MAX}, INT32_MAX, INT32_MAX},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.r.Width(), c.width) << c.r.Left << " " << c.r.Right;
    EXPECT_EQ(c.r.Height(), c.height) << c.r.Top << " " << c.r.Bottom;
  }

  EXPECT_EQ(Bounds(INT32_MAX - 1, INT32_MIN, 10, 3), (TRect{INT32_MAX - 1, INT32_MIN, INT32_MAX, INT32_MIN + 3}));
  EXPECT_EQ(Bounds(-4, 1, INT32_MIN, 2), (TRect{-4, 1, INT32_MIN, 3}));

  TRect r{INT32_MAX - 2, INT32_MIN + 1, INT32_MAX, 0};
  OffsetRect(r, 5, -5);
  EXPECT_EQ(r, (TRect{INT32_MAX, INT32_MIN, INT32_MAX, -5}));
  TRect g{-3, -3, 3, 3};
  InflateRect(g, INT32_MAX, 1);
  EXPECT_EQ(g, (TRect{INT32_MIN, -4, INT32_MAX, 4}));
  InflateRect(g, -2, -2);  // shrinking still works from the saturated ends
  EXPECT_EQ(g, (TRect{INT32_MIN + 2, -2, INT32_MAX - 2, 2}));
}
