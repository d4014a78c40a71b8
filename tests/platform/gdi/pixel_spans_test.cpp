// Fills, copies and 24-bit spreads of 32-bit pixel spans: every length around the vector widths,
// at every alignment, write exactly their span.
#include "platform/gdi/pixel_spans.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

constexpr uint32_t kGuard = 0xDEADBEEF;

TEST(PixelSpans, FillWritesExactlyItsSpanAtAnyLengthAndAlignment) {
  for (size_t offset = 0; offset < 9; ++offset)
    for (size_t n = 0; n <= 70; ++n) {
      std::vector<uint32_t> buf(offset + n + 9, kGuard);
      FillPixels32(buf.data() + offset, n, 0x00123456u);
      for (size_t i = 0; i < buf.size(); ++i) {
        const bool inside = i >= offset && i < offset + n;
        ASSERT_EQ(buf[i], inside ? 0x00123456u : kGuard) << "offset " << offset << " n " << n << " at " << i;
      }
    }
}

TEST(PixelSpans, CopyOrsTheBitsIntoEveryPixelFromAnyByteAlignment) {
  for (size_t offset = 0; offset < 5; ++offset)
    for (size_t n = 0; n <= 70; ++n) {
      // The source starts at any byte, as the rows of a picture of 24-bit stride can.
      std::vector<uint8_t> src(offset + 4 * n + 4);
      for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint8_t>(i * 37 + 11);
      std::vector<uint32_t> dst(n + 2, kGuard);
      CopyPixels32Or(dst.data() + 1, src.data() + offset, n, 0xFF000000u);
      ASSERT_EQ(dst.front(), kGuard);
      ASSERT_EQ(dst.back(), kGuard);
      for (size_t i = 0; i < n; ++i) {
        uint32_t v;
        std::memcpy(&v, src.data() + offset + 4 * i, 4);
        ASSERT_EQ(dst[i + 1], v | 0xFF000000u) << "offset " << offset << " n " << n << " at " << i;
      }
    }
}

TEST(PixelSpans, SpreadPutsThreeBytesAndTheFourthIntoEveryPixelReadingOnlyItsSpan) {
  for (size_t offset = 0; offset < 5; ++offset)
    for (size_t n = 0; n <= 70; ++n) {
      // The source ends exactly at its last pixel, so a read past it shows under the sanitizers.
      std::vector<uint8_t> src(offset + 3 * n);
      for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint8_t>(i * 37 + 11);
      std::vector<uint32_t> dst(n + 2, kGuard);
      SpreadPixels24(dst.data() + 1, src.data() + offset, n, 0xA5);
      ASSERT_EQ(dst.front(), kGuard);
      ASSERT_EQ(dst.back(), kGuard);
      for (size_t i = 0; i < n; ++i) {
        const uint8_t* p = src.data() + offset + 3 * i;
        const uint32_t want = p[0] | p[1] << 8 | p[2] << 16 | 0xA5u << 24;
        ASSERT_EQ(dst[i + 1], want) << "offset " << offset << " n " << n << " at " << i;
      }
    }
}

}  // namespace
