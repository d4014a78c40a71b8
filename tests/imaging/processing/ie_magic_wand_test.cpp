// The magic wand: 4-connected regions, holes, growing, the traced outline, and selections by colour
// anywhere in the image.
#include "imaging/processing/ie_magic_wand.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_mask.h"
#include "tests/imaging/processing/geometry_test_support.h"

namespace {

using WandTest = BitmapTest;

const TIERGB kRed = CreateRGB(255, 0, 0), kWhite = CreateRGB(255, 255, 255);

// A picture drawn in characters: '#' red, anything else white; rows from the top.
std::unique_ptr<TIEBitmap> Drawn(const std::vector<std::string>& Rows, TIEPixelFormat Format = ie24RGB) {
  const int32_t w = static_cast<int32_t>(Rows[0].size()), h = static_cast<int32_t>(Rows.size());
  auto b = std::make_unique<TIEBitmap>(w, h, ie24RGB);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) b->SetPixel24(x, y, Rows[y][x] == '#' ? kRed : kWhite);
  if (Format != ie24RGB) b->SetPixelFormat(Format);
  return b;
}

// The mask as characters: '#' where selected.
std::vector<std::string> Selected(TIEMask& Mask) {
  std::vector<std::string> rows;
  for (int32_t y = 0; y < Mask.Height(); ++y) {
    std::string row;
    for (int32_t x = 0; x < Mask.Width(); ++x) row += Mask.GetPixel(x, y) ? '#' : '.';
    rows.push_back(row);
  }
  return rows;
}

std::vector<std::string> Fill(TIEBitmap& B, int32_t X, int32_t Y, bool Grow, int32_t Tolerance = 0) {
  TIEMask mask;
  mask.Allocate(B.Width(), B.Height(), 1);
  MagicWandFill(B, X, Y, Grow, Tolerance, mask, 255);
  return Selected(mask);
}

std::vector<std::pair<int32_t, int32_t>> Points(const std::vector<TPoint>& P) {
  std::vector<std::pair<int32_t, int32_t>> out;
  for (const TPoint& p : P) out.emplace_back(p.X, p.Y);
  return out;
}

TEST_F(WandTest, FourConnectedAtToleranceZero) {
  auto b = Drawn({"#....",
                  ".#...",
                  ".##..",
                  "...#.",
                  "....."});
  // Diagonal neighbours alone do not connect.
  EXPECT_EQ(Fill(*b, 1, 1, false), (std::vector<std::string>{".....", ".#...", ".##..", ".....", "....."}));
  // The white area is one region around the red pixels.
  const std::vector<std::string> white = Fill(*b, 4, 4, false);
  EXPECT_EQ(white[0], ".####");
  EXPECT_EQ(white[2], "#..##");
  EXPECT_EQ(white[3], "###.#");
}

TEST_F(WandTest, HolesStayUnselected) {
  auto b = Drawn({".....",
                  ".###.",
                  ".#.#.",
                  ".###.",
                  "....."});
  EXPECT_EQ(Fill(*b, 1, 1, false), (std::vector<std::string>{".....", ".###.", ".#.#.", ".###.", "....."}));
  // The outline goes round the outside only: the 3 x 3 square from (1, 1) to (4, 4).
  EXPECT_EQ(Points(MagicWandOutline(*b, 2, 1, false, 0)),
            (std::vector<std::pair<int32_t, int32_t>>{{1, 1}, {4, 1}, {4, 1}, {4, 4}, {4, 4}, {1, 4}, {1, 4}, {1, 1}}));
}

TEST_F(WandTest, GrowSelectsTheNeighbourhood) {
  auto b = Drawn({"#....",
                  ".....",
                  "..#..",
                  ".....",
                  "....."});
  EXPECT_EQ(Fill(*b, 2, 2, true), (std::vector<std::string>{".....", ".###.", ".###.", ".###.", "....."}));
  // Clipped at the image's border.
  EXPECT_EQ(Fill(*b, 0, 0, true), (std::vector<std::string>{"##...", "##...", ".....", ".....", "....."}));
  // The outline grows only inside the region's own box: a plus becomes its 3 x 3 box.
  auto plus = Drawn({".....",
                     "..#..",
                     ".###.",
                     "..#..",
                     "....."});
  EXPECT_EQ(Points(MagicWandOutline(*plus, 2, 2, true, 0)),
            (std::vector<std::pair<int32_t, int32_t>>{{1, 1}, {4, 1}, {4, 1}, {4, 4}, {4, 4}, {1, 4}, {1, 4}, {1, 1}}));
}

TEST_F(WandTest, OutlinesOfSmallShapes) {
  // The boundary is traced at 4 times the resolution; the corners, divided back by 4, come out with
  // the chain's turns (worked through by hand: 3 steps right, one down-right, 3 down, one
  // down-left, 3 left, one up-left, 3 up, and the closing up-right step).
  auto dot = Drawn({".....", ".....", "...#.", "....."});
  EXPECT_EQ(Points(MagicWandOutline(*dot, 3, 2, false, 0)),
            (std::vector<std::pair<int32_t, int32_t>>{{3, 2}, {4, 2}, {4, 2}, {4, 3}, {4, 3}, {3, 3}, {3, 3}, {3, 2}}));
  auto bar = Drawn({"....", ".##.", "...."});
  EXPECT_EQ(Points(MagicWandOutline(*bar, 1, 1, false, 0)),
            (std::vector<std::pair<int32_t, int32_t>>{{1, 1}, {3, 1}, {3, 1}, {3, 2}, {3, 2}, {1, 2}, {1, 2}, {1, 1}}));
}

TEST_F(WandTest, GlobalSelectsEveryMatchingPixel) {
  auto b = Drawn({"#...#",
                  ".....",
                  "..#.."});
  TIEMask mask;
  mask.Allocate(5, 3, 8);
  MagicWandGlobal(*b, 0, 0, 0, mask, 200);
  EXPECT_EQ(Selected(mask), (std::vector<std::string>{"#...#", ".....", "..#.."}));
  EXPECT_EQ(mask.GetPixel(4, 0), 200);
  EXPECT_EQ((std::vector<int32_t>{mask.X1(), mask.Y1(), mask.X2(), mask.Y2()}), (std::vector<int32_t>{0, 0, 4, 2}));
  // The connected fill takes only the seed's part.
  EXPECT_EQ(Fill(*b, 0, 0, false), (std::vector<std::string>{"#....", ".....", "....."}));
}

TEST_F(WandTest, ToleranceAndFormats) {
  auto b = Drawn({"##", ".."});
  b->SetPixel24(1, 0, CreateRGB(250, 0, 0));
  EXPECT_EQ(Fill(*b, 0, 0, false, 5), (std::vector<std::string>{"##", ".."}));
  EXPECT_EQ(Fill(*b, 0, 0, false, 4), (std::vector<std::string>{"#.", ".."}));
  // Every format is compared as RGB: the same regions from a palette, a grey and a 1-bit picture.
  const std::vector<std::string> rows = {"#..#", "##.#", "...."};
  for (TIEPixelFormat format : {ie8p, ie8g, ie1g, ieRGB48, ieCMYK}) {
    auto p = Drawn(rows, format);
    EXPECT_EQ(Fill(*p, 0, 0, false), (std::vector<std::string>{"#...", "##..", "...."})) << int(format);
  }
}

TEST_F(WandTest, NothingForASeedOutsideOrANegativeTolerance) {
  auto b = Drawn({"#.", ".#"});
  for (auto [x, y, tolerance] : {std::tuple{-1, 0, 0}, std::tuple{0, 2, 0}, std::tuple{5, 5, 0}, std::tuple{0, 0, -1}}) {
    TIEMask mask;
    mask.Allocate(2, 2, 1);
    MagicWandFill(*b, x, y, true, tolerance, mask, 1);
    MagicWandGlobal(*b, x, y, tolerance, mask, 1);
    EXPECT_TRUE(mask.IsEmpty());
    EXPECT_EQ(Selected(mask), (std::vector<std::string>{"..", ".."}));
    EXPECT_TRUE(MagicWandOutline(*b, x, y, true, tolerance).empty());
  }
  TIEBitmap empty;
  TIEMask mask;
  MagicWandFill(empty, 0, 0, false, 0, mask, 1);
  EXPECT_TRUE(MagicWandOutline(empty, 0, 0, false, 0).empty());
}

TEST_F(WandTest, ValueZeroDeselects) {
  auto b = Drawn({"##", ".."});
  TIEMask mask;
  mask.Allocate(2, 2, 1);
  mask.Fill(255);
  MagicWandFill(*b, 0, 0, false, 0, mask, 0);
  EXPECT_EQ(Selected(mask), (std::vector<std::string>{"..", "##"}));
  EXPECT_FALSE(mask.Full());
}

TEST_F(WandTest, LargeRegionsAcrossWordsOfBits) {
  // A region wider than a 64-pixel word with a notch, on a picture held in a temporary file.
  auto b = geomtest::MakeIn(150, 40, ie24RGB, ieFile);
  b->Fill(RGBToTColor(kWhite));
  for (int32_t y = 10; y < 30; ++y)
    for (int32_t x = 5; x < 140; ++x) b->SetPixel24(x, y, kRed);
  b->SetPixel24(64, 10, kWhite);
  TIEMask mask;
  mask.Allocate(150, 40, 1);
  MagicWandFill(*b, 70, 20, false, 0, mask, 1);
  int32_t count = 0;
  for (int32_t y = 0; y < 40; ++y)
    for (int32_t x = 0; x < 150; ++x) count += mask.GetPixel(x, y) ? 1 : 0;
  EXPECT_EQ(count, 135 * 20 - 1);
  EXPECT_EQ((std::vector<int32_t>{mask.X1(), mask.Y1(), mask.X2(), mask.Y2()}), (std::vector<int32_t>{5, 10, 139, 29}));
  const std::vector<TPoint> outline = MagicWandOutline(*b, 70, 20, false, 0);
  ASSERT_FALSE(outline.empty());
  EXPECT_EQ(outline.front().X, 5);
  EXPECT_EQ(outline.front().Y, 10);
}

}  // namespace
