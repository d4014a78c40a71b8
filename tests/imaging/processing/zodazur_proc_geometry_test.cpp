// The processing component's geometry operations and rotation: sizes, placement, backgrounds in
// every format, alpha channels, undo captions, and images left alone when nothing is to be done or
// no memory can be had.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_mask.h"
#include "imaging/processing/ie_flip_turn.h"
#include "imaging/processing/zodazur_proc.h"
#include "tests/imaging/core/fake_view.h"
#include "tests/imaging/processing/geometry_test_support.h"

namespace {

using geomtest::Patterned;
using geomtest::PixelOf;
using ietest::FakeView;

using ProcGeometryTest = BitmapTest;

std::unique_ptr<TZodazUrProc> UndoingProc(TIEBitmap& Bitmap) {
  auto proc = TZodazUrProc::CreateFromIEBitmap(&Bitmap);
  proc->SetAutoUndo(true);
  return proc;
}

TEST_F(ProcGeometryTest, FlipIsUndoneAndMirrors) {
  auto b = Patterned(7, 3, ie8p, ieMemory, true);
  auto original = Patterned(7, 3, ie8p, ieMemory, true);
  auto proc = UndoingProc(*b);
  int finished = 0;
  proc->OnFinishWork = [&](TObject*) { ++finished; };
  proc->Flip(iefdHorizontal);
  EXPECT_EQ(proc->GetUndoCaption(0), "Flip");
  EXPECT_EQ(PixelOf(*b, 0, 1), PixelOf(*original, 6, 1));
  EXPECT_EQ(finished, 1);
  proc->Undo();
  EXPECT_EQ(bmptest::Pixels(*b), bmptest::Pixels(*original));
}

TEST_F(ProcGeometryTest, ImageResizePlacesTheImageOnTheBackground) {
  // 4 x 2 centred in 8 x 6: at (2, 2); the border takes the background and alpha FillAlpha.
  auto b = Patterned(4, 2, ie24RGB, ieMemory, false);
  auto original = Patterned(4, 2, ie24RGB, ieMemory, false);
  auto proc = UndoingProc(*b);
  proc->SetBackground(RGBToTColor(CreateRGB(255, 0, 0)));
  proc->ImageResize(8, 6, 1, 1, 0);
  EXPECT_EQ(proc->GetUndoCaption(0), "ImageResize 8,6");
  ASSERT_EQ(b->Width(), 8);
  ASSERT_EQ(b->Height(), 6);
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 8; ++x) {
      const bool inside = x >= 2 && x < 6 && y >= 2 && y < 4;
      if (inside)
        ASSERT_TRUE(b->GetPixel24(x, y) == original->GetPixel24(x - 2, y - 2)) << x << "," << y;
      else
        ASSERT_TRUE(b->GetPixel24(x, y) == CreateRGB(255, 0, 0)) << x << "," << y;
      ASSERT_EQ(b->GetAlpha(x, y), inside ? 255 : 0) << x << "," << y;
    }
  // Shrinking to the old size, centred, cuts the border away again; right and bottom alignment keep
  // the bottom-right corner.
  proc->ImageResize(4, 2, 1, 1, 255);
  EXPECT_EQ(bmptest::Pixels(*b), bmptest::Pixels(*original));
  EXPECT_EQ(b->GetAlpha(3, 1), 255);
  proc->ImageResize(3, 1, 2, 2, 255);
  EXPECT_TRUE(b->GetPixel24(0, 0) == original->GetPixel24(1, 1));
  // Nothing for 0, negative, or the same size.
  const int32_t steps = proc->UndoCount();
  proc->ImageResize(0, 5, 0, 0, 255);
  proc->ImageResize(3, 1, 0, 0, 255);
  proc->ImageResize(-3, 2, 0, 0, 255);
  EXPECT_EQ(b->Width(), 3);
  EXPECT_EQ(proc->UndoCount(), steps);
}

TEST_F(ProcGeometryTest, BackgroundsComeInTheImagesOwnFormat) {
  // A grey image's new area and Clear take the background's grey level, not its TColor value.
  TIEBitmap g(2, 2, ie8g);
  g.Fill(9);
  auto proc = UndoingProc(g);
  proc->SetBackground(RGBToTColor(CreateRGB(100, 100, 100)));
  proc->ImageResize(4, 2, 0, 0, 255);
  EXPECT_EQ(g.GetPixel8(3, 0), 100);
  EXPECT_EQ(g.GetPixel8(0, 0), 9);
  proc->Clear();
  EXPECT_EQ(proc->GetUndoCaption(0), "Clear");
  EXPECT_EQ(g.GetPixel8(0, 1), 100);
  TIEBitmap w(3, 3, ie16g);
  auto wp = UndoingProc(w);
  wp->SetBackground(RGBToTColor(CreateRGB(255, 255, 255)));
  wp->Clear();
  EXPECT_EQ(w.GetPixel16(1, 1), 65535);
}

TEST_F(ProcGeometryTest, ResampleKeepsTheAspectAndFinishesTwice) {
  TIEBitmap b(640, 480, ie24RGB);
  b.Fill(RGBToTColor(CreateRGB(10, 20, 30)));
  auto proc = UndoingProc(b);
  int finished = 0;
  proc->OnFinishWork = [&](TObject*) { ++finished; };
  proc->Resample(320, -1, rfTriangle);
  EXPECT_EQ(b.Width(), 320);
  EXPECT_EQ(b.Height(), 240);
  EXPECT_EQ(finished, 2);
  EXPECT_EQ(proc->GetUndoCaption(0), "Resample 320, -1");
  EXPECT_TRUE(b.GetPixel24(100, 100) == CreateRGB(10, 20, 30));
  // Into a caller's bitmap: 0 keeps a side, -1 follows the other; both negative do nothing.
  TIEBitmap dest(1, 1, ie8g);
  proc->ResampleTo(dest, -1, 60, rfTriangle);
  EXPECT_EQ(dest.Width(), 80);
  EXPECT_EQ(dest.Height(), 60);
  EXPECT_EQ(dest.PixelFormat(), ie24RGB);
  proc->ResampleTo(dest, 0, -7, rfNone);
  EXPECT_EQ(dest.Width(), 320);
  EXPECT_EQ(dest.Height(), 7);
  proc->ResampleTo(dest, -1, -1, rfNone);
  EXPECT_EQ(dest.Height(), 7);
}

TEST_F(ProcGeometryTest, CropClipsItsRectangle) {
  struct Case {
    int32_t x1, y1, x2, y2;
    int32_t width, height, fromX, fromY;  // width 0: nothing happens, no undo step
  };
  for (const Case& c : {Case{1, 1, 3, 2, 3, 2, 1, 1}, Case{-2, -3, 2, 1, 3, 2, 0, 0}, Case{4, 2, 99, 99, 2, 2, 4, 2},
                        Case{5, 5, 2, 2, 0, 0, 0, 0}, Case{6, 0, 9, 3, 0, 0, 0, 0}, Case{0, 0, 5, 3, 0, 0, 0, 0},
                        Case{-1, -1, 7, 9, 0, 0, 0, 0}}) {
    SCOPED_TRACE(testing::Message() << c.x1 << "," << c.y1 << "," << c.x2 << "," << c.y2);
    auto b = Patterned(6, 4, ie24RGB, ieMemory, true);
    auto original = Patterned(6, 4, ie24RGB, ieMemory, true);
    auto proc = UndoingProc(*b);
    proc->Crop(c.x1, c.y1, c.x2, c.y2);
    if (c.width == 0) {
      EXPECT_EQ(proc->UndoCount(), 0);
      EXPECT_EQ(bmptest::Pixels(*b), bmptest::Pixels(*original));
      continue;
    }
    EXPECT_EQ(proc->GetUndoCaption(0), Format("Crop %d, %d, %d, %d", c.x1, c.y1, c.x2, c.y2));
    ASSERT_EQ(b->Width(), c.width);
    ASSERT_EQ(b->Height(), c.height);
    ASSERT_EQ(b->GetAlphaChannel()->Width(), c.width);
    for (int32_t y = 0; y < c.height; ++y)
      for (int32_t x = 0; x < c.width; ++x) {
        ASSERT_EQ(PixelOf(*b, x, y), PixelOf(*original, c.fromX + x, c.fromY + y));
        ASSERT_EQ(b->GetAlpha(x, y), original->GetAlpha(c.fromX + x, c.fromY + y));
      }
  }
  // CropToRect counts Right and Bottom in.
  auto b = Patterned(6, 4, ie1g, ieMemory, false);
  auto proc = UndoingProc(*b);
  proc->CropToRect(TRect{1, 1, 4, 2});
  EXPECT_EQ(b->Width(), 4);
  EXPECT_EQ(b->Height(), 2);
}

TEST_F(ProcGeometryTest, CropSelToAlphaAndToTheBox) {
  for (int32_t bits : {1, 8}) {
    SCOPED_TRACE(bits);
    FakeView view(nullptr);
    view.ReplaceBitmap(Patterned(6, 5, ie24RGB, ieMemory, false));
    auto original = Patterned(6, 5, ie24RGB, ieMemory, false);
    view.SetBackground(RGBToTColor(CreateRGB(0, 0, 255)));
    view.Select(1, 1, 3, 2, bits, 255);
    view.SelectionMask()->SetPixel(2, 1, 0);  // a hole in the box
    TZodazUrProc proc(nullptr);
    proc.SetAttachedZodazUr(&view);
    proc.CropSel(true);
    TIEBitmap& b = *view.GetIEBitmap();
    // The alpha channel is an 8-bit copy of the mask: 255 selected, 0 not.
    ASSERT_TRUE(b.HasAlphaChannel());
    EXPECT_EQ(b.GetAlphaChannel()->PixelFormat(), ie8g);
    EXPECT_EQ(b.Width(), 6);
    EXPECT_EQ(b.GetAlpha(1, 1), 255);
    EXPECT_EQ(b.GetAlpha(2, 1), 0);
    EXPECT_EQ(b.GetAlpha(0, 0), 0);

    b.RemoveAlphaChannel(false);
    proc.CropSel(false);
    ASSERT_EQ(b.Width(), 3);
    ASSERT_EQ(b.Height(), 2);
    EXPECT_TRUE(b.GetPixel24(0, 0) == original->GetPixel24(1, 1));
    EXPECT_EQ(b.GetAlpha(0, 0), 255);
    EXPECT_TRUE(b.GetPixel24(1, 0) == CreateRGB(0, 0, 255));
    EXPECT_EQ(b.GetAlpha(1, 0), 0);
  }
  // A full selection of the box leaves no alpha channel behind.
  FakeView view(nullptr);
  view.ReplaceBitmap(Patterned(6, 5, ie8g, ieMemory, false));
  view.Select(2, 2, 4, 3);
  TZodazUrProc proc(nullptr);
  proc.SetAttachedZodazUr(&view);
  proc.CropSel(false);
  EXPECT_EQ(view.GetIEBitmap()->Width(), 3);
  EXPECT_FALSE(view.GetIEBitmap()->HasAlphaChannel());
}

TEST_F(ProcGeometryTest, CropTransparencyCropsToTheOpaquePartWithoutUndo) {
  auto b = Patterned(8, 6, ie24RGB, ieMemory, false);
  auto proc = UndoingProc(*b);
  proc->CropTransparency();  // no alpha channel: nothing
  EXPECT_EQ(b->Width(), 8);
  EXPECT_EQ(proc->UndoCount(), 0);
  b->GetAlphaChannel()->Fill(0);
  proc->CropTransparency();  // every pixel transparent: nothing
  EXPECT_EQ(b->Width(), 8);
  b->SetAlpha(2, 1, 7);
  b->SetAlpha(5, 3, 255);
  proc->CropTransparency();
  EXPECT_EQ(b->Width(), 4);
  EXPECT_EQ(b->Height(), 3);
  EXPECT_EQ(b->GetAlpha(0, 0), 7);
  EXPECT_EQ(proc->UndoCount(), 0);
  EXPECT_TRUE(proc->AutoUndo());
}

TEST_F(ProcGeometryTest, RotateTurnsTheImageAndItsAlphaChannel) {
  auto b = Patterned(40, 30, ie24RGB, ieMemory, false);
  b->GetAlphaChannel()->Fill(255);
  auto proc = UndoingProc(*b);
  proc->Rotate(30, true, 0, RGBToTColor(CreateRGB(0, 255, 0)));
  EXPECT_EQ(proc->GetUndoCaption(0), "Rotate 30.00");
  EXPECT_EQ(b->GetAlphaChannel()->Width(), b->Width());
  EXPECT_EQ(b->GetAlphaChannel()->Height(), b->Height());
  EXPECT_TRUE(b->GetPixel24(0, 0) == CreateRGB(0, 255, 0));
  EXPECT_EQ(b->GetAlpha(0, 0), 0);
  EXPECT_EQ(b->GetAlpha(b->Width() / 2, b->Height() / 2), 255);
  proc->Undo();
  EXPECT_EQ(b->Width(), 40);

  // An antialias mode: the inverse mapping, alpha alongside.
  proc->Rotate(-20, true, 2, -1);
  EXPECT_EQ(b->GetAlphaChannel()->Width(), b->Width());
  EXPECT_EQ(b->GetAlpha(0, 0), 0);

  // A palette image with antialiasing turns by nearest pixels, palette and format kept.
  auto p = Patterned(10, 10, ie8p, ieMemory, false);
  const auto palette = geomtest::PaletteBytes(*p);
  auto pp = UndoingProc(*p);
  pp->Rotate(45, true, 2, -1);
  EXPECT_EQ(p->PixelFormat(), ie8p);
  EXPECT_EQ(p->Width(), 14);  // Round(10 cos 45 + 10 sin 45) = Round(14.14)
  EXPECT_EQ(geomtest::PaletteBytes(*p), palette);
  // Nothing for 0.
  pp->Rotate(0, true, 0, -1);
  EXPECT_EQ(pp->UndoCount(), 1);
}

TEST_F(ProcGeometryTest, OperationsWithoutMemoryLeaveTheImage) {
  auto b = Patterned(64, 40, ie24RGB, ieMemory, true);
  const auto before = bmptest::Pixels(*b);
  auto proc = UndoingProc(*b);
  proc->SetUndoLimit(0);
  FileFallbackOnLowMemory = false;
  SegmentedAllocation = false;
  TIEBitmap::MaxMemoryBlockForTesting() = 100;
  proc->ImageResize(100, 100, 1, 1, 255);
  proc->Crop(1, 1, 30, 30);
  proc->Rotate(30, true, 0, -1);
  proc->Rotate(90, false, 0, -1);
  proc->Resample(32, 20, rfLanczos3);
  TIEBitmap::MaxMemoryBlockForTesting() = -1;
  EXPECT_EQ(b->Width(), 64);
  EXPECT_EQ(b->Height(), 40);
  EXPECT_EQ(bmptest::Pixels(*b), before);
  EXPECT_EQ(b->GetAlphaChannel()->Width(), 64);
}

}  // namespace
