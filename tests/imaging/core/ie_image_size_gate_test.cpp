#include "imaging/core/ie_image_size_gate.h"

#include <gtest/gtest.h>

namespace {

// Sets the allowance for one test and puts the default back afterwards.
class ImageSizeGate : public testing::Test {
 protected:
  void SetUp() override { saved_ = IEImageSizeAllowanceForTesting(); }
  void TearDown() override { IEImageSizeAllowanceForTesting() = saved_; }

 private:
  int64_t saved_ = 0;
};

TEST_F(ImageSizeGate, HoldsEachCodingToWhatItsBytesCanCarry) {
  IEImageSizeAllowanceForTesting() = 1000;  // pixels
  struct Case {
    const char* name;
    int64_t width, height;
    TIEImageData data;
    bool pass;
  };
  const Case cases[] = {
      // Uncompressed 24 bits, rows of 300 bytes: 100 rows need 30000 bytes.
      {"rows all there", 100, 100, {.Bytes = 30000, .BitsPerPixel = 24, .RowBytes = 300}, true},
      // 1000 pixels of allowance are 3000 bytes at 24 bits.
      {"cut within the allowance", 100, 100, {.Bytes = 27000, .BitsPerPixel = 24, .RowBytes = 300}, true},
      {"cut beyond it", 100, 100, {.Bytes = 26999, .BitsPerPixel = 24, .RowBytes = 300}, false},
      {"whole data required", 100, 100, {.Bytes = 29999, .BitsPerPixel = 24, .RowBytes = 300, .Whole = true}, false},
      // Packed rows when no row size is given: 1-bit rows of 10 pixels take 2 bytes. 1000 pixels
      // of allowance at 1 bit are 125 bytes.
      {"packed 1 bit", 10, 200, {.Bytes = 400, .BitsPerPixel = 1}, true},
      {"packed 1 bit short", 10, 2000, {.Bytes = 3874, .BitsPerPixel = 1}, false},
      {"packed 1 bit short by the allowance", 10, 2000, {.Bytes = 3875, .BitsPerPixel = 1}, true},
      // Real bytes per pixel: 8 pixels per byte no longer for deep pixels.
      {"no 8 pixels per byte at 32 bits", 800, 100, {.Bytes = 10000, .BitsPerPixel = 32}, false},
      // Compressed: 10 bytes at 100 pixels per byte code 1000 pixels, plus 1000 of allowance.
      {"compressed at its best case", 40, 50, {.Bytes = 10, .BitsPerPixel = 8, .MaxPixelsPerByte = 100}, true},
      {"compressed past it", 40, 51, {.Bytes = 10, .BitsPerPixel = 8, .MaxPixelsPerByte = 100}, false},
      {"compressed, no data", 1000, 1, {.Bytes = 0, .BitsPerPixel = 8, .MaxPixelsPerByte = 100}, true},
      {"negative bytes count as none", 1001, 1, {.Bytes = -5, .BitsPerPixel = 8, .MaxPixelsPerByte = 100}, false},
      {"huge byte count", 60000, 60000, {.Bytes = INT64_MAX, .BitsPerPixel = 8, .MaxPixelsPerByte = 3000}, true},
      // Sizes no bitmap can have.
      {"zero width", 0, 10, {.Bytes = 1000, .BitsPerPixel = 8}, false},
      {"zero height", 10, 0, {.Bytes = 1000, .BitsPerPixel = 8}, false},
      {"width past int32", int64_t{1} << 31, 1, {.Bytes = INT64_MAX, .BitsPerPixel = 1}, false},
      {"row of 2 GB", int64_t{1} << 29, 1, {.Bytes = INT64_MAX, .BitsPerPixel = 32}, false},
      {"no bits", 10, 10, {.Bytes = 1000, .BitsPerPixel = 0}, false},
      {"row size below the pixels", 10, 10, {.Bytes = 1000, .BitsPerPixel = 24, .RowBytes = 29}, false},
      {"largest plausible", INT32_MAX, 1, {.Bytes = INT32_MAX, .BitsPerPixel = 1, .MaxPixelsPerByte = 8}, true},
  };
  for (const Case& c : cases) EXPECT_EQ(IEImageSizePlausible(c.width, c.height, c.data), c.pass) << c.name;
}

TEST_F(ImageSizeGate, TheLogCountsWhatWasAskedAndGranted) {
  IEImageSizeGateLogForTesting(true);
  EXPECT_TRUE(IEImageSizePlausible(30, 20, {.Bytes = 600, .BitsPerPixel = 8}));
  EXPECT_TRUE(IEImageSizePlausible(10, 10, {.Bytes = 100, .BitsPerPixel = 8}));
  EXPECT_FALSE(IEImageSizePlausible(60000, 60000, {.Bytes = 100, .BitsPerPixel = 8}));
  const TIEImageSizeGateLog log = IEImageSizeGateLogForTesting(true);
  EXPECT_EQ(log.Asked, 3);
  EXPECT_EQ(log.Refused, 1);
  EXPECT_EQ(log.LargestGrantedPixels, 600);
  EXPECT_EQ(IEImageSizeGateLogForTesting().Asked, 0);
}

}  // namespace
