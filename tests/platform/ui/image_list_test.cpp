#include "platform/ui/image_list.h"

#include <gtest/gtest.h>

namespace {

// A width x height bitmap of one colour with a magenta square at its top-left corner.
std::unique_ptr<TBitmap> Picture(int width, int height, TColor color) {
  auto b = std::make_unique<TBitmap>(width, height);
  b->Canvas()->Brush()->SetColor(color);
  b->Canvas()->FillRect(Rect(0, 0, width, height));
  b->Canvas()->Brush()->SetColor(clFuchsia);
  b->Canvas()->FillRect(Rect(0, 0, 4, 4));
  return b;
}

uint32_t At(TBitmap& b, int x, int y) { return static_cast<uint32_t>(ColorToRGB(b.Canvas()->Pixels(x, y))); }

TEST(ImageList, MaskedPicturesDrawOverTheirBackgroundAndDisabledOnesEmbossed) {
  TImageList list(nullptr, 8, 8);
  int changes = 0;
  TChangeLink link;
  link.OnChange = [&](TObject*) { ++changes; };
  list.RegisterChanges(&link);

  // A strip of two pictures, the magenta corner of each transparent.
  auto strip = Picture(16, 8, clRed);
  strip->Canvas()->Brush()->SetColor(clLime);
  strip->Canvas()->FillRect(Rect(12, 0, 16, 8));
  EXPECT_EQ(list.AddMasked(strip.get(), clFuchsia), 0);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(changes, 1);

  TBitmap target(20, 10);
  target.Canvas()->Brush()->SetColor(clBlue);
  target.Canvas()->FillRect(Rect(0, 0, 20, 10));
  list.Draw(target.Canvas(), 1, 1, 0);
  EXPECT_EQ(At(target, 2, 2), 0xFF0000u);  // the corner lets the blue through
  EXPECT_EQ(At(target, 7, 7), 0x0000FFu);
  list.Draw(target.Canvas(), 10, 1, 1);
  EXPECT_EQ(At(target, 16, 5), 0x00FF00u);

  list.Draw(target.Canvas(), 1, 1, 0, false);
  EXPECT_EQ(At(target, 5, 5), ColorToRGB(clBtnShadow));
  EXPECT_EQ(At(target, 9, 9), ColorToRGB(clBtnHighlight));  // the highlight one pixel further
  list.Draw(target.Canvas(), 0, 0, 7);  // no such picture: nothing

  // A mask bitmap: white is transparent.
  auto picture = Picture(8, 8, clYellow);
  TBitmap mask(8, 8);
  mask.Canvas()->Brush()->SetColor(clBlack);
  mask.Canvas()->FillRect(Rect(0, 0, 8, 8));
  mask.Canvas()->Brush()->SetColor(clWhite);
  mask.Canvas()->FillRect(Rect(4, 4, 8, 8));
  list.SetBkColor(clWhite);
  EXPECT_EQ(list.Add(picture.get(), &mask), 2);
  TBitmap copy;
  list.GetBitmap(2, &copy);
  EXPECT_EQ(At(copy, 6, 6), 0xFFFFFFu);
  EXPECT_EQ(At(copy, 1, 1), ColorToRGB(clFuchsia));  // not transparent with this mask

  int before = changes;
  list.BeginUpdate();
  list.Delete(0);
  list.Move(0, 1);
  EXPECT_EQ(changes, before);
  list.EndUpdate();
  EXPECT_EQ(changes, before + 1);
  EXPECT_THROW(list.Delete(5), EInvalidOperation);
  list.UnRegisterChanges(&link);
  list.Clear();
  EXPECT_EQ(changes, before + 1);
}

}  // namespace
