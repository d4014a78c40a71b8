#include "imaging/processing/ie_hsl_rows.h"

#include <gtest/gtest.h>

#include <vector>

#include "imaging/core/ie_color_models.h"
#include "tests/support/test_support.h"

namespace {

// Every 24-bit colour as rows of 4093 pixels (an odd length, so the four-pixel loop leaves tails).
std::vector<TIERGB> EveryColour() {
  std::vector<TIERGB> all(1u << 24);
  for (uint32_t v = 0; v < all.size(); ++v)
    all[v] = TIERGB{static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16)};
  return all;
}

TEST(HSLShiftRow, FourAtATimeGivesThePlainLoopsBytesForEveryColour) {
  if (!HSLShiftSimdAvailable()) GTEST_SKIP() << "no AVX2 on this processor";
  const std::vector<TIERGB> all = EveryColour();
  struct Shift {
    double h, s, l;
  };
  for (const Shift& sh : {Shift{30 / 360.0, 0, 0}, Shift{-0.75, 0.2, -0.1}, Shift{0.5, -1, 1}, Shift{0, 0, 0}}) {
    std::vector<TIERGB> plain = all, fast = all;
    const int32_t row = 4093;
    // Every row; under the sanitizers every seventh and the last (short) one.
    const size_t rows = (all.size() + row - 1) / row;
    std::vector<size_t> picked;
    for (size_t r = 0; r < rows; r += testsupport::kSanitizedBuild ? 7 : 1) picked.push_back(r);
    if (picked.back() != rows - 1) picked.push_back(rows - 1);
    for (size_t r : picked) {
      const size_t at = r * row;
      const int32_t n = static_cast<int32_t>(std::min<size_t>(row, all.size() - at));
      HSLShiftRowScalar(plain.data() + at, n, sh.h, sh.s, sh.l);
      HSLShiftRowAvx2(fast.data() + at, n, sh.h, sh.s, sh.l);
      for (size_t i = at; i < at + n; ++i)
        ASSERT_TRUE(plain[i] == fast[i]) << i << " shift " << sh.h << " " << sh.s << " " << sh.l;
    }
  }
}

TEST(HSLShiftRow, PlainLoopIsThePixelConversions) {
  std::vector<TIERGB> row = {CreateRGB(10, 200, 30), CreateRGB(10, 200, 30), CreateRGB(0, 0, 0), CreateRGB(255, 1, 2)};
  const std::vector<TIERGB> before = row;
  HSLShiftRowScalar(row.data(), 4, 0.1, -0.2, 0.05);
  for (size_t i = 0; i < row.size(); ++i) {
    double h, s, l;
    RGBToHSL(h, s, l, before[i]);
    TIERGB expected{};
    HSLToRGB(expected, h + 0.1, s - 0.2, l + 0.05);
    EXPECT_TRUE(row[i] == expected) << i;
  }
}

}  // namespace
