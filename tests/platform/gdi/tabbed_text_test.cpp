#include <gtest/gtest.h>

#include "platform/gdi/bitmap.h"

namespace {

TEST(GetTabbedTextExtent, TabsStandAtMultiplesOfTheOneStopAndTheWidthIsInTheLowWord) {
  TBitmap b(10, 10);
  TCanvas* c = b.Canvas();
  c->Font()->SetName("DejaVu Sans");
  c->Font()->SetHeight(-12);
  const int32_t a = c->TextWidth("a"), bb = c->TextWidth("b"), ab = c->TextWidth("ab");
  HDC dc = c->Handle();
  auto width = [dc](const char* s, int32_t stops, const int32_t* tabs) {
    return static_cast<int32_t>(GetTabbedTextExtent(dc, s, -1, stops, tabs) & 0xFFFF);
  };
  auto height = [dc](const char* s) { return static_cast<int32_t>(GetTabbedTextExtent(dc, s, -1, 0, nullptr) >> 16); };
  const int32_t stop = 40;
  EXPECT_EQ(width("ab", 1, &stop), ab);
  EXPECT_EQ(width("a\tb", 1, &stop), 40 + bb);   // "a" is narrower than the stop
  EXPECT_EQ(width("a\t\tb", 1, &stop), 80 + bb);
  EXPECT_EQ(width("\t", 1, &stop), 40);
  const int32_t narrow = a;  // a stop at the width of "a" sends the tab after it one stop further
  EXPECT_EQ(width("a\tb", 1, &narrow), 2 * a + bb);
  EXPECT_EQ(height("ab"), c->TextHeight("ab"));
  // Several stops: each tab to the next one to its right.
  const int32_t stops[2] = {10 + a, 100};
  EXPECT_EQ(width("a\tb\tb", 2, stops), 100 + bb);
  EXPECT_EQ(GetTabbedTextExtent(nullptr, "a", -1, 0, nullptr), 0u);
}

}  // namespace
