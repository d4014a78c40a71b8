#include <gtest/gtest.h>

#include <functional>

#include "imaging/core/ie_bitmap.h"
#include "imaging/io/exif_blocks.h"

namespace {

constexpr int W = 3, H = 2;

// The label of upright pixel (x, y): distinct in every channel format used here.
uint8_t Label(int x, int y) { return uint8_t(10 + 40 * y + 10 * x); }

// The stored picture of an upright W x H picture under each orientation's published meaning: where
// the stored first row and first column lie in the upright view. S(x, y) = U(map(x, y)).
struct Stored {
  int width, height;
  std::function<void(int x, int y, int& ux, int& uy)> map;
};

Stored StoredFor(int orientation) {
  switch (orientation) {
    case 2: return {W, H, [](int x, int y, int& ux, int& uy) { ux = W - 1 - x; uy = y; }};
    case 3: return {W, H, [](int x, int y, int& ux, int& uy) { ux = W - 1 - x; uy = H - 1 - y; }};
    case 4: return {W, H, [](int x, int y, int& ux, int& uy) { ux = x; uy = H - 1 - y; }};
    case 5: return {H, W, [](int x, int y, int& ux, int& uy) { ux = y; uy = x; }};              // left, top
    case 6: return {H, W, [](int x, int y, int& ux, int& uy) { ux = W - 1 - y; uy = x; }};      // right, top
    case 7: return {H, W, [](int x, int y, int& ux, int& uy) { ux = W - 1 - y; uy = H - 1 - x; }};  // right, bottom
    case 8: return {H, W, [](int x, int y, int& ux, int& uy) { ux = y; uy = H - 1 - x; }};      // left, bottom
    default: return {W, H, [](int x, int y, int& ux, int& uy) { ux = x; uy = y; }};
  }
}

uint8_t* Pixel(TIEBitmap& b, int x, int y) { return b.Row<uint8_t>(y) + x * (b.BitCount() / 8); }

}  // namespace

TEST(ApplyOrientation, EveryOrientationTurnsTheStoredPictureUpright) {
  for (TIEPixelFormat format : {ie24RGB, ie8g}) {
    for (bool alpha : {false, true}) {
      for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE(::testing::Message() << "format " << format << " alpha " << alpha << " orientation "
                                          << orientation);
        const Stored s = StoredFor(orientation);
        TIEBitmap b(s.width, s.height, format);
        for (int y = 0; y < s.height; ++y)
          for (int x = 0; x < s.width; ++x) {
            int ux, uy;
            s.map(x, y, ux, uy);
            uint8_t* p = Pixel(b, x, y);
            for (int c = 0; c < b.BitCount() / 8; ++c) p[c] = uint8_t(Label(ux, uy) + c);
            if (alpha) {
              b.GetAlphaChannel()->Row<uint8_t>(y)[x] = uint8_t(200 + Label(ux, uy) / 4);
            }
          }
        ApplyOrientation(b, orientation);
        ASSERT_EQ(b.Width(), W);
        ASSERT_EQ(b.Height(), H);
        ASSERT_EQ(b.PixelFormat(), format);
        if (alpha) {
          ASSERT_TRUE(b.HasAlphaChannel());
          ASSERT_EQ(b.GetAlphaChannel()->Width(), W);
          ASSERT_EQ(b.GetAlphaChannel()->Height(), H);
        }
        for (int y = 0; y < H; ++y)
          for (int x = 0; x < W; ++x) {
            for (int c = 0; c < b.BitCount() / 8; ++c) EXPECT_EQ(Pixel(b, x, y)[c], uint8_t(Label(x, y) + c));
            if (alpha) {
              EXPECT_EQ(b.GetAlphaChannel()->Row<uint8_t>(y)[x], uint8_t(200 + Label(x, y) / 4));
            }
          }
      }
    }
  }
}

TEST(ApplyOrientation, UnknownValuesLeaveThePictureAlone) {
  for (int orientation : {0, 9, -6, 1000}) {
    TIEBitmap b(100, 50, ie24RGB);
    b.Row<uint8_t>(0)[0] = 77;
    ApplyOrientation(b, orientation);
    EXPECT_EQ(b.Width(), 100);
    EXPECT_EQ(b.Row<uint8_t>(0)[0], 77);
  }
  TIEBitmap b(100, 50, ie24RGB);
  ApplyOrientation(b, 6);
  EXPECT_EQ(b.Width(), 50);
  EXPECT_EQ(b.Height(), 100);
}
