// GIF colour maps: capacity, file form, lookup order, additions, palettes and optimising by use.
#include <gtest/gtest.h>

#include "pictures/gif_palettes.h"
#include "tests/pictures/gif_test_support.h"

using namespace giftest;

namespace {

TGIFSubImage* AddFrame(TGIFImage& image, int w, int h, const Bytes& pixels, int localColors) {
  auto frame = std::make_unique<TGIFSubImage>(&image);
  for (int i = 0; i < localColors; ++i) frame->ColorMap()->Add(static_cast<TColor>(RGB(i * 10, i * 20, i * 30)));
  frame->SetBounds(0, 0, w, h);
  std::copy(pixels.begin(), pixels.end(), frame->Data());
  TGIFSubImage* added = frame.get();
  image.AppendFrame(std::move(frame));
  return added;
}

Bytes Saved(const TGIFColorMap& map) {
  TMemoryStream s;
  map.SaveToStream(s);
  const auto* p = static_cast<const uint8_t*>(s.Memory());
  return Bytes(p, p + s.Size());
}

TEST(GIFColorMap, CapacityBitsAndTheFileFormPadToAPowerOfTwo) {
  TGIFImage image;
  TGIFSubImage* frame = AddFrame(image, 1, 1, {0}, 0);
  TGIFColorMap* map = frame->ColorMap();
  struct Case {
    int colors, bits, capacity, saved;
  };
  // 1 colour is saved as 2 entries, 3 as 4 (the last black), 17 as 32.
  for (const Case& c : {Case{1, 1, 16, 2}, Case{2, 1, 16, 2}, Case{3, 2, 16, 4}, Case{17, 5, 32, 32},
                        Case{100, 7, 128, 128}, Case{256, 8, 256, 256}}) {
    map->Clear();
    for (int i = 0; i < c.colors; ++i) map->Add(static_cast<TColor>(RGB(i, 255 - i, 7)));
    EXPECT_EQ(map->BitsPerPixel(), c.bits) << c.colors;
    EXPECT_EQ(map->Capacity(), c.capacity) << c.colors;
    const Bytes bytes = Saved(*map);
    ASSERT_EQ(bytes.size(), 3u * c.saved) << c.colors;
    EXPECT_EQ(bytes[3 * (c.colors - 1) + 1], 255 - (c.colors - 1));
    for (size_t i = 3u * c.colors; i < bytes.size(); ++i) EXPECT_EQ(bytes[i], 0) << c.colors;
  }
  map->Clear();
  EXPECT_EQ(map->BitsPerPixel(), 0);
  EXPECT_TRUE(Saved(*map).empty());
}

TEST(GIFColorMap, The257thColourOverflowsAndLeaves256) {
  TGIFImage image;
  TGIFColorMap* map = AddFrame(image, 1, 1, {0}, 0)->ColorMap();
  for (int i = 0; i < 256; ++i) map->Add(static_cast<TColor>(RGB(i, 0, 0)));
  try {
    map->Add(clWhite);
    FAIL();
  } catch (const GIFException& e) {
    EXPECT_STREQ(e.what(), "Color table overflow");
  }
  EXPECT_EQ(map->Count(), 256);
}

TEST(GIFColorMap, LookupFindsTheLastEqualEntryUnlessOptimisedAndDeleteChecksItsIndex) {
  TGIFImage image;
  TGIFSubImage* frame = AddFrame(image, 4, 1, {0, 1, 1, 2}, 0);
  TGIFColorMap* map = frame->ColorMap();
  const TColor red = static_cast<TColor>(RGB(255, 0, 0));
  map->Add(red);
  map->Add(clWhite);
  map->Add(red);
  EXPECT_EQ(map->IndexOf(red), 2);
  EXPECT_EQ(map->AddUnique(red), 2);
  EXPECT_EQ(map->IndexOf(static_cast<TColor>(RGB(1, 2, 3))), -1);
  // Optimised (entry 1 is used most): white, then the two reds; the first red wins now.
  EXPECT_TRUE(map->Optimize());
  EXPECT_TRUE(map->Optimized());
  EXPECT_EQ(map->Colors(0), clWhite);
  EXPECT_EQ(map->IndexOf(red), 1);
  EXPECT_THROW(map->Delete(3), GIFException);
  map->Delete(0);
  EXPECT_FALSE(map->Optimized());
  EXPECT_EQ(map->Count(), 2);
}

TEST(GIFColorMap, AColourOutsideTheMapWarnsThenFailsForAnEmptyMap) {
  TGIFImage image;
  std::vector<std::string> warnings;
  image.OnGIFWarning = [&](TObject*, int32_t severity, const std::string& m) {
    EXPECT_EQ(severity, 1);
    warnings.push_back(m);
  };
  TGIFColorMap* map = AddFrame(image, 1, 1, {0}, 2)->ColorMap();
  EXPECT_EQ(map->Colors(7), map->Colors(0));
  EXPECT_EQ(warnings, std::vector<std::string>{"Invalid color index"});
  // The background colour of an empty global table.
  warnings.clear();
  try {
    image.BackgroundColor();
    FAIL();
  } catch (const GIFException& e) {
    EXPECT_STREQ(e.what(), "Color table is empty");
  }
  EXPECT_EQ(warnings, std::vector<std::string>{"Invalid color index"});
}

TEST(GIFColorMap, PalettesAndColourTablesGoBothWays) {
  TGIFImage image;
  TGIFColorMap* map = AddFrame(image, 1, 1, {0}, 0)->ColorMap();
  HPALETTE web = WebPalette();
  map->ImportPalette(web);
  DeleteObject(web);
  ASSERT_EQ(map->Count(), 216);
  EXPECT_EQ(map->Colors(215), clWhite);
  EXPECT_EQ(map->Colors(36 + 6 * 2 + 3), static_cast<TColor>(RGB(51, 102, 153)));
  HPALETTE exported = map->ExportPalette();
  ASSERT_EQ(GetPaletteEntries(exported, 0, 0, nullptr), 216u);
  PALETTEENTRY e;
  GetPaletteEntries(exported, 51, 1, &e);
  EXPECT_EQ(RGB(e.peRed, e.peGreen, e.peBlue), RGB(51, 102, 153));
  EXPECT_EQ(e.peFlags, 4);  // not to be collapsed
  DeleteObject(exported);
  const RGBQUAD quads[2] = {{10, 20, 30, 0}, {1, 2, 3, 0}};  // blue, green, red
  map->ImportColorTable(quads, 2);
  EXPECT_EQ(map->Colors(0), static_cast<TColor>(RGB(30, 20, 10)));
  map->Clear();
  EXPECT_EQ(map->ExportPalette(), nullptr);
}

TEST(GIFColorMap, OptimisingSortsByUseRenumbersPixelsAndTheTransparentIndexAndDropsUnusedColours) {
  TGIFImage image;
  // Entry 2 is used 4 times, entry 0 twice, entry 3 once, entry 1 never; 3 is transparent.
  TGIFSubImage* frame = AddFrame(image, 7, 1, {2, 0, 2, 3, 2, 0, 2}, 4);
  auto gce = std::make_unique<TGIFGraphicControlExtension>(frame);
  gce->SetTransparent(true);
  gce->SetTransparentColorIndex(3);
  frame->Extensions()->Add(std::move(gce));
  const TColor old[4] = {frame->ColorMap()->Colors(0), frame->ColorMap()->Colors(1), frame->ColorMap()->Colors(2),
                         frame->ColorMap()->Colors(3)};
  EXPECT_TRUE(frame->ColorMap()->Optimize());
  EXPECT_EQ(FramePixels(frame), (Bytes{0, 1, 0, 2, 0, 1, 0}));
  EXPECT_EQ(frame->GraphicControlExtension()->TransparentColorIndex(), 2);
  ASSERT_EQ(frame->ColorMap()->Count(), 3);
  EXPECT_EQ(frame->ColorMap()->Colors(0), old[2]);
  EXPECT_EQ(frame->ColorMap()->Colors(1), old[0]);
  EXPECT_EQ(frame->ColorMap()->Colors(2), old[3]);
}

TEST(GIFColorMap, OptimisingAnOrderedMapKeepsItsUnusedEntries) {
  TGIFImage image;
  TGIFSubImage* frame = AddFrame(image, 4, 1, {0, 0, 1, 0}, 4);
  EXPECT_TRUE(frame->ColorMap()->Optimize());
  EXPECT_TRUE(frame->ColorMap()->Optimized());
  EXPECT_EQ(frame->ColorMap()->Count(), 4);
  EXPECT_EQ(FramePixels(frame), (Bytes{0, 0, 1, 0}));
  TGIFSubImage* one = AddFrame(image, 1, 1, {0}, 1);
  EXPECT_FALSE(one->ColorMap()->Optimize());
}

TEST(GIFColorMap, PixelsOutsideTheMapAreNeitherCountedNorRenumbered) {
  TGIFImage image;
  // Indices 200 and 255 lie past the two colours; they stay as they are.
  TGIFSubImage* frame = AddFrame(image, 6, 1, {200, 1, 1, 255, 0, 200}, 2);
  EXPECT_TRUE(frame->ColorMap()->Optimize());
  EXPECT_EQ(FramePixels(frame), (Bytes{200, 0, 0, 255, 1, 200}));
  EXPECT_EQ(frame->ColorMap()->Count(), 2);
}

TEST(GIFColorMap, TheGlobalMapServesFramesWithoutTablesAndKeepsTheBackgroundColour) {
  TGIFImage image;
  for (int i = 0; i < 4; ++i) image.GlobalColorMap()->Add(static_cast<TColor>(RGB(i * 60, 0, 0)));
  image.Header()->SetBackgroundColorIndex(1);  // used by no pixel
  const TColor background = image.BackgroundColor();
  TGIFSubImage* a = AddFrame(image, 3, 1, {3, 3, 0}, 0);
  TGIFSubImage* own = AddFrame(image, 2, 1, {0, 1}, 2);
  EXPECT_TRUE(image.GlobalColorMap()->Optimize());
  EXPECT_EQ(FramePixels(a), (Bytes{0, 0, 1}));
  EXPECT_EQ(FramePixels(own), (Bytes{0, 1}));  // its own table: untouched
  EXPECT_EQ(image.GlobalColorMap()->Count(), 3);
  EXPECT_EQ(image.BackgroundColor(), background);
  // Without frames there is nothing to optimise for.
  TGIFImage empty;
  empty.GlobalColorMap()->Add(clRed);
  empty.GlobalColorMap()->Add(clBlue);
  EXPECT_FALSE(empty.GlobalColorMap()->Optimize());
}

}  // namespace
