// The processing component: attachment, the operation frame, undo and redo, with a stand-in view.
#include "imaging/processing/zodazur_proc.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_mask.h"
#include "platform/gdi/bitmap.h"
#include "platform/gdi/picture.h"
#include "platform/ui/ext_ctrls.h"
#include "tests/imaging/core/bitmap_test_support.h"
#include "tests/imaging/core/fake_view.h"

namespace {

using bmptest::Pattern;
using bmptest::Pixels;
using ietest::FakeView;

using ProcTest = BitmapTest;

// An ie24RGB bitmap whose pixel (x, y) is (x, y, 7) as red, green, blue.
void Ramp(TIEBitmap& b) {
  for (int32_t y = 0; y < b.Height(); ++y)
    for (int32_t x = 0; x < b.Width(); ++x) b.SetPixel24(x, y, CreateRGB(static_cast<uint8_t>(x), static_cast<uint8_t>(y), 7));
}

// A component with undo on (as one with an owner), working on Bitmap.
std::unique_ptr<TZodazUrProc> UndoingProc(TIEBitmap& Bitmap) {
  auto proc = TZodazUrProc::CreateFromIEBitmap(&Bitmap);
  proc->SetAutoUndo(true);
  return proc;
}

TEST_F(ProcTest, DefaultsFollowTheOwner) {
  TComponent owner(nullptr);
  auto* owned = new TZodazUrProc(&owner);
  EXPECT_TRUE(owned->AutoUndo());
  EXPECT_TRUE(owned->OwnsBitmap());
  EXPECT_EQ(owned->UndoLimit(), 1);
  EXPECT_EQ(owned->UndoLocation(), ieFile);
  EXPECT_TRUE(owned->AutoConvertFormat());
  EXPECT_EQ(owned->Background(), TColor{0});
  EXPECT_EQ(owned->PreviewsParams(), prppShowResetButton | prppHardReset);
  TIEBitmap b(4, 4, ie24RGB);
  EXPECT_FALSE(TZodazUrProc::CreateFromIEBitmap(&b)->AutoUndo());
  EXPECT_EQ(TZodazUrProc::CreateFromIEBitmap(&b)->IEBitmap(), &b);
}

TEST_F(ProcTest, UndoLimitBoundsTheStack) {
  // Limit -1 and 0 record nothing (and fire nothing), but the operation runs; 1 keeps the newest.
  struct Case {
    int32_t limit;
    int32_t expectedCount;
    int32_t expectedEvents;
  };
  for (const Case& c : {Case{-1, 0, 0}, Case{0, 0, 0}, Case{1, 1, 4}, Case{3, 3, 4}}) {
    SCOPED_TRACE(c.limit);
    TIEBitmap b(5, 4, ie24RGB);
    Ramp(b);
    auto proc = UndoingProc(b);
    proc->SetUndoLimit(c.limit);
    int events = 0;
    proc->OnSaveUndo = [&](TObject*, TIEUndoSource s) {
      EXPECT_EQ(s, ieuImage);
      ++events;
    };
    proc->IntensityRGBall(1, 0, 0);
    proc->IntensityRGBall(2, 0, 0);
    proc->IntensityRGBall(3, 0, 0);
    proc->IntensityRGBall(4, 0, 0);
    EXPECT_EQ(b.GetPixel24(1, 0).r, 1 + 10);  // every operation ran
    EXPECT_EQ(proc->UndoCount(), c.expectedCount);
    EXPECT_EQ(events, c.expectedEvents);
    if (c.expectedCount > 0) {
      EXPECT_EQ(proc->GetUndoCaption(0), "IntensityRGBall 4, 0, 0");
      EXPECT_EQ(proc->GetUndoCaption(c.expectedCount - 1), "IntensityRGBall " + std::to_string(5 - c.expectedCount) + ", 0, 0");
      EXPECT_EQ(proc->GetUndoCaption(c.expectedCount), "");
      EXPECT_EQ(proc->GetUndoCaption(-1), "");
    }
  }
}

TEST_F(ProcTest, LoweringTheLimitTrimsAtTheNextPush) {
  TIEBitmap b(3, 3, ie24RGB);
  auto proc = UndoingProc(b);
  proc->SetUndoLimit(5);
  for (int i = 0; i < 4; ++i) proc->SaveUndoCaptioned("step " + std::to_string(i));
  proc->SetUndoLimit(2);
  EXPECT_EQ(proc->UndoCount(), 4);
  proc->SaveUndoCaptioned("last");
  EXPECT_EQ(proc->UndoCount(), 2);
  EXPECT_EQ(proc->GetUndoCaption(0), "last");
  EXPECT_EQ(proc->GetUndoCaption(1), "step 3");
}

TEST_F(ProcTest, UndoWithRedoThenRedoRoundTrips) {
  TIEBitmap b(6, 5, ie24RGB);
  Ramp(b);
  const auto original = Pixels(b);
  auto proc = UndoingProc(b);
  proc->Negative();
  const auto negated = Pixels(b);
  ASSERT_NE(negated, original);
  proc->Undo(true);
  EXPECT_EQ(Pixels(b), original);
  EXPECT_EQ(proc->UndoCount(), 1);  // restored entries stay
  EXPECT_EQ(proc->RedoCount(), 1);
  proc->Redo();
  EXPECT_EQ(Pixels(b), negated);
  EXPECT_EQ(proc->RedoCount(), 1);
  // Positions out of range do nothing.
  proc->UndoAt(1);
  proc->RedoAt(-1);
  EXPECT_EQ(Pixels(b), negated);
  proc->ClearRedo();
  proc->ClearUndoAt(3);
  EXPECT_FALSE(proc->CanRedo());
  EXPECT_TRUE(proc->CanUndo());
  proc->ClearAllUndo();
  EXPECT_FALSE(proc->CanUndo());
}

TEST_F(ProcTest, PaletteImageIsConvertedAndUndoBringsItBack) {
  TIEBitmap b(4, 3, ie8p);
  for (int32_t i = 0; i < 256; ++i) b.SetPaletteColor(i, CreateRGB(static_cast<uint8_t>(i), 0, static_cast<uint8_t>(255 - i)));
  Pattern(b, 3);
  const auto original = Pixels(b);
  auto proc = UndoingProc(b);
  proc->HSLvar(120, 0, 0);
  EXPECT_EQ(b.PixelFormat(), ie24RGB);
  proc->Undo();
  EXPECT_EQ(b.PixelFormat(), ie8p);
  EXPECT_EQ(Pixels(b), original);
  EXPECT_EQ(b.GetPaletteColor(200).r, 200);
}

TEST_F(ProcTest, PreferenceTableChoosesTheConversion) {
  struct Case {
    TIEPixelFormat from;
    TIEPixelFormatSet allowed;
    TIEPixelFormat to;
  };
  const Case cases[] = {
      {ie8g, PixelFormatSet(ie24RGB), ie24RGB},                          // after ie16g and ie32f
      {ie1g, PixelFormatSet(ie16g) | PixelFormatSet(ie24RGB), ie16g},    // the row's order
      {ie8p, PixelFormatSet(ieRGB48) | PixelFormatSet(ieCMYK), ieCMYK},  // ie24RGB first, then ieCMYK
      {ie24RGB, PixelFormatSet(ie32RGB), ie32RGB},                       // not in the row: the highest
      {ie32f, PixelFormatSet(ie1g) | PixelFormatSet(ie8p), ie8p},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.from));
    TIEBitmap b(3, 2, c.from);
    auto proc = TZodazUrProc::CreateFromIEBitmap(&b);
    EXPECT_TRUE(proc->CheckPixelFormat(c.allowed));
    EXPECT_EQ(b.PixelFormat(), c.to);
    proc->SetAutoConvertFormat(false);
    EXPECT_FALSE(proc->CheckPixelFormat(PixelFormatSet(ie8g) | PixelFormatSet(ie1g)) && c.to != ie8g);
    EXPECT_TRUE(proc->CheckPixelFormat(0));
  }
}

TEST_F(ProcTest, RefusedOperationKeepsTheUndoStepBefore) {
  TIEBitmap b(4, 4, ie8g);
  auto proc = UndoingProc(b);
  proc->Negative();  // any format: runs
  ASSERT_EQ(proc->UndoCount(), 1);
  proc->SetAutoConvertFormat(false);
  int events = 0;
  proc->OnSaveUndo = [&](TObject*, TIEUndoSource) { ++events; };
  proc->HSLvar(10, 0, 0);  // ie24RGB only: refused
  EXPECT_EQ(proc->GetUndoCaption(0), "Negative");
  EXPECT_EQ(events, 0);
  EXPECT_EQ(b.PixelFormat(), ie8g);
}

TEST_F(ProcTest, NarrowImagesGetNoUndoStep) {
  for (auto size : {std::pair{1, 5}, std::pair{5, 1}}) {
    TIEBitmap b(size.first, size.second, ie24RGB);
    auto proc = UndoingProc(b);
    int events = 0;
    proc->OnSaveUndo = [&](TObject*, TIEUndoSource) { ++events; };
    proc->Negative();
    proc->SaveUndoCaptioned("captioned");
    EXPECT_EQ(events, 0);  // the captioned save does nothing at all
    proc->SaveUndo();
    EXPECT_EQ(events, 1);  // the plain one still tells
    EXPECT_EQ(proc->UndoCount(), 0);
  }
}

TEST_F(ProcTest, UndoCopiesStayInTheUndoLocationAndAFailedCopyIsNoStep) {
  // The size rule would keep these copies in memory; memory is then refused, with no fall-back.
  MinFileSizeOverride = int64_t{1} << 40;
  TIEBitmap b(40, 40, ie24RGB);
  Ramp(b);
  ASSERT_EQ(b.Location(), ieMemory);
  SegmentedAllocation = false;
  FileFallbackOnLowMemory = false;
  TIEBitmap::MaxMemoryBlockForTesting() = 0;

  auto proc = UndoingProc(b);
  proc->SetUndoLimit(5);
  proc->Negative();  // the copy lives in a file: it can be had
  EXPECT_EQ(proc->UndoCount(), 1);
  proc->SetUndoLocation(ieMemory);
  int events = 0;
  proc->OnSaveUndo = [&](TObject*, TIEUndoSource) { ++events; };
  proc->IntensityRGBall(1, 0, 0);  // a copy in memory cannot be had: no step, the operation still runs
  EXPECT_EQ(proc->UndoCount(), 1);
  EXPECT_EQ(events, 1);
  EXPECT_EQ(b.GetPixel24(30, 20).r, 255 - 30 + 1);
  TIEBitmap::MaxMemoryBlockForTesting() = -1;
  proc->Undo();  // back before the negative
  EXPECT_EQ(b.GetPixel24(30, 20).r, 30);
}

TEST_F(ProcTest, ProgressPerRowNeverPassesAHundred) {
  TIEBitmap b(3, 10, ie24RGB);
  auto proc = TZodazUrProc::CreateFromIEBitmap(&b);
  std::vector<int32_t> seen;
  int finished = 0;
  proc->OnProgress = [&](TObject* sender, int32_t p) {
    EXPECT_EQ(sender, proc.get());
    seen.push_back(p);
  };
  proc->OnFinishWork = [&](TObject*) { ++finished; };
  proc->Negative();
  // Trunc(k * 100 / 9.5) for rows k = 1..10, the last held at 100; then the finish reports 100.
  EXPECT_EQ(seen, (std::vector<int32_t>{10, 21, 31, 42, 52, 63, 73, 84, 94, 100, 100}));
  EXPECT_EQ(finished, 1);
}

TEST_F(ProcTest, AnExceptionFromTheProgressHandlerLeavesNothingBehind) {
  FakeView view(nullptr);
  view.ReplaceBitmap(std::make_unique<TIEBitmap>(20, 20, ie24RGB));
  view.Select(2, 2, 10, 10);
  TZodazUrProc proc(nullptr);
  proc.SetAttachedZodazUr(&view);
  proc.OnProgress = [](TObject*, int32_t) { throw std::runtime_error("stop"); };
  EXPECT_THROW(proc.Negative(), std::runtime_error);  // the box copy is freed on the way out
}

// ---------------------------------------------------------------------------------- selections

TEST_F(ProcTest, SelectionLimitsTheWorkAndAnEmptyMaskMeansAll) {
  FakeView view(nullptr);
  view.ReplaceBitmap(std::make_unique<TIEBitmap>(8, 6, ie24RGB));
  TIEBitmap& b = *view.GetIEBitmap();
  Ramp(b);
  TZodazUrProc proc(nullptr);
  proc.SetAttachedZodazUr(&view);
  view.Select(2, 1, 4, 3);
  proc.Negative();
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 8; ++x) {
      const bool inside = x >= 2 && x <= 4 && y >= 1 && y <= 3;
      EXPECT_EQ(b.GetPixel24(x, y).r, inside ? 255 - x : x) << x << "," << y;
    }
  const TPoint* poly = nullptr;
  int32_t polyCount = 0, x1, y1, x2, y2;
  TIEMask* mask = nullptr;
  EXPECT_TRUE(proc.GetSelectedArea(x1, y1, x2, y2, poly, polyCount, mask));
  EXPECT_EQ((std::vector<int32_t>{x1, y1, x2, y2}), (std::vector<int32_t>{2, 1, 5, 4}));
  EXPECT_EQ(polyCount, 4);
  EXPECT_EQ(mask, view.SelectionMask());

  // An empty mask with the selection flag on: the whole image.
  view.Select(0, 0, -1, -1);
  proc.Negative();
  EXPECT_EQ(b.GetPixel24(0, 0).r, 255);
  EXPECT_EQ(b.GetPixel24(3, 2).r, 3);  // twice inverted

  // A deselected view's old mask is not used.
  view.Select(0, 0, 0, 0);
  view.Deselect();
  proc.Negative();
  EXPECT_EQ(b.GetPixel24(7, 5).r, 7);
}

TEST_F(ProcTest, EightBitSelectionBlendsTheResult) {
  FakeView view(nullptr);
  view.ReplaceBitmap(std::make_unique<TIEBitmap>(4, 1, ie24RGB));
  TIEBitmap& b = *view.GetIEBitmap();
  b.Fill(0);  // black
  view.Select(0, 0, 3, 0, 8, 255);
  view.SelectionMask()->SetPixel(1, 0, 128);
  view.SelectionMask()->SetPixel(2, 0, 0);
  TZodazUrProc proc(nullptr);
  proc.SetAttachedZodazUr(&view);
  proc.Fill(CreateRGB(200, 100, 0));
  EXPECT_EQ(b.GetPixel24(0, 0), CreateRGB(200, 100, 0));
  EXPECT_EQ(b.GetPixel24(1, 0), CreateRGB(100, 50, 0));
  EXPECT_EQ(b.GetPixel24(2, 0), CreateRGB(0, 0, 0));
}

TEST_F(ProcTest, NegativeTwiceAndFillUnderSelectionsInEveryFormat) {
  const TIEPixelFormat formats[] = {ie1g, ie8p, ie8g, ie16g, ie24RGB, ie32f, ieRGB48, ie32RGB};
  for (int32_t bpp : {0, 1, 8}) {
    for (TIEPixelFormat f : formats) {
      SCOPED_TRACE(testing::Message() << "mask " << bpp << " format " << int(f));
      FakeView view(nullptr);
      view.ReplaceBitmap(std::make_unique<TIEBitmap>(9, 5, f));
      TIEBitmap& b = *view.GetIEBitmap();
      Pattern(b, 1);
      for (int32_t i = 0; i < b.GetPaletteLength(); ++i)
        b.SetPaletteColor(i, CreateRGB(static_cast<uint8_t>(i), static_cast<uint8_t>(i / 2), 9));
      b.SetPaletteColor(255, CreateRGB(255, 255, 255));
      if (f == ie32f)
        for (int32_t y = 0; y < 5; ++y)
          for (int32_t x = 0; x < 9; ++x) b.SetPixel32f(x, y, (x + y) / 16.0f);
      if (bpp) view.Select(1, 1, 5, 3, bpp, 255);
      TZodazUrProc proc(nullptr);
      proc.SetAttachedZodazUr(&view);
      const auto original = Pixels(b);
      const TIERGB corner = b.GetPixelRGB(0, 0), middle = b.GetPixelRGB(2, 2);
      proc.Negative();
      EXPECT_NE(b.GetPixelRGB(2, 2), middle);
      EXPECT_EQ(b.GetPixelRGB(0, 0) == corner, bpp != 0) << "outside the selection";
      proc.Negative();
      // A palette image under a selection has become ie24RGB (its colours kept); all others are
      // back exactly.
      if (f == ie8p && bpp) {
        EXPECT_EQ(b.PixelFormat(), ie24RGB);
        EXPECT_EQ(b.GetPixelRGB(2, 2), middle);
      } else {
        EXPECT_EQ(Pixels(b), original);
      }
      // Fill with white: inside the selection every pixel is the format's white.
      proc.Fill(CreateRGB(255, 255, 255));
      EXPECT_EQ(b.GetPixelRGB(2, 2), CreateRGB(255, 255, 255));
      if (bpp) {
        EXPECT_EQ(b.GetPixelRGB(0, 0), corner) << "outside the selection";
      }
    }
  }
}

TEST_F(ProcTest, FillMapsTheColourIntoEachFormat) {
  // Grey formats take the grey level ((200 * 21 + 100 * 71 + 50 * 8) div 100 = 117), a palette
  // image the nearest entry, ie1g the red rule (pure blue clears).
  TIEBitmap g8(3, 2, ie8g), g16(3, 2, ie16g), f32(3, 2, ie32f), one(3, 2, ie1g), pal(3, 2, ie8p);
  pal.SetPaletteColor(5, CreateRGB(190, 110, 40));
  one.Fill(1);
  TZodazUrProc::CreateFromIEBitmap(&g8)->Fill(CreateRGB(200, 100, 50));
  TZodazUrProc::CreateFromIEBitmap(&g16)->Fill(CreateRGB(200, 100, 50));
  TZodazUrProc::CreateFromIEBitmap(&f32)->Fill(CreateRGB(200, 100, 50));
  TZodazUrProc::CreateFromIEBitmap(&pal)->Fill(CreateRGB(200, 100, 50));
  TZodazUrProc::CreateFromIEBitmap(&one)->Fill(CreateRGB(0, 0, 255));
  EXPECT_EQ(g8.GetPixel8(2, 1), 117);
  EXPECT_EQ(g16.GetPixel16(2, 1), 117 * 257);
  EXPECT_FLOAT_EQ(f32.GetPixel32f(2, 1), 117 / 255.0f);
  EXPECT_EQ(pal.GetPixel8(2, 1), 5);
  EXPECT_EQ(Pixels(one), (std::vector<std::vector<uint8_t>>{{0, 0, 0}, {0, 0, 0}}));
  EXPECT_EQ(TZodazUrProc::CreateFromIEBitmap(&g8)->IEBitmap()->PixelFormat(), ie8g);
}

// ------------------------------------------------------------------------- views and attachment

TEST_F(ProcTest, UndoRestoresIntoTheLayerThatWasCurrent) {
  FakeView view(nullptr);
  view.ReplaceBitmap(std::make_unique<TIEBitmap>(5, 5, ie24RGB));
  Ramp(*view.GetIEBitmap());
  view.AddLayer(5, 5, ie24RGB);
  TIEBitmap& top = *view.GetIEBitmap();
  Ramp(top);
  TComponent owner(nullptr);
  auto* proc = new TZodazUrProc(&owner);
  proc->SetAttachedZodazUr(&view);
  proc->Negative();
  EXPECT_EQ(proc->IEBitmap(), &top);
  EXPECT_EQ(top.GetPixel24(1, 1).r, 254);
  view.SetLayersCurrent(0);  // the component follows through the bitmap-change callback
  EXPECT_EQ(proc->IEBitmap(), view.LayerBitmap(0));
  const int updates = view.updates, changes = view.imageChanges;
  proc->Undo();
  EXPECT_EQ(top.GetPixel24(1, 1).r, 1);
  EXPECT_EQ(view.LayerBitmap(0)->GetPixel24(1, 1).r, 1);  // untouched
  EXPECT_EQ(view.updates, updates + 1);
  EXPECT_EQ(view.imageChanges, changes + 1);
}

TEST_F(ProcTest, StreamEntriesGoThroughTheView) {
  FakeView view(nullptr, ievkVectorView);
  view.objects = {1, 2, 3};
  view.Select(1, 1, 2, 2);
  TZodazUrProc proc(nullptr);
  proc.SetUndoLimit(10);
  proc.SetAttachedZodazUr(&view);
  proc.SaveUndo(ieuObject);
  proc.SaveUndo(ieuSelection);
  proc.SaveUndo(ieuObjectsAndLayers);
  EXPECT_EQ(view.lastCompression, -1);
  EXPECT_EQ(proc.UndoSourceAt(0), ieuObject);
  EXPECT_EQ(proc.UndoSourceAt(2), ieuObjectsAndLayers);
  EXPECT_EQ(proc.UndoSourceAt(3), ieuUnknown);
  view.objects = {9};
  view.Deselect();
  proc.UndoAt(1);  // the selection
  EXPECT_TRUE(view.Selected());
  EXPECT_EQ(view.lastSelectionMode, 1);
  proc.UndoAt(2);  // the objects
  EXPECT_EQ(view.objects, (std::vector<int32_t>{1, 2, 3}));
  view.objects = {9};
  proc.UndoAt(0);  // objects and layers
  EXPECT_EQ(view.objects, (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(view.layersLoads, 1);

  // Without the view a kind needs, no entry, but the event still tells.
  FakeView plain(nullptr, ievkImageView), thumbs(nullptr, ievkMultiView);
  TZodazUrProc other(nullptr);
  int events = 0;
  other.OnSaveUndo = [&](TObject*, TIEUndoSource) { ++events; };
  other.SetAttachedZodazUr(&plain);
  other.SaveUndo(ieuObject);
  other.SaveUndo(ieuObjectsAndLayers);  // a single-image view: its layers stream
  EXPECT_EQ(plain.lastCompression, -2);
  other.SetAttachedZodazUr(&thumbs);
  other.SaveUndo(ieuSelection);
  other.SaveUndo(ieuLayer);
  EXPECT_EQ(events, 4);
  EXPECT_EQ(other.UndoCount(), 1);
}

TEST_F(ProcTest, LayerRecordsFindTheirLayerByGuidAndDamagedOnesEndTheWalk) {
  FakeView view(nullptr);
  view.AddLayer(4, 4, ie24RGB);
  view.SetLayerPosX(0, 10);
  view.SetLayerPosX(1, 20);
  TZodazUrProc proc(nullptr);
  proc.SetUndoLimit(5);
  proc.SetAttachedZodazUr(&view);
  proc.SaveUndo(ieuFullLayer);
  view.SetLayerPosX(0, 0);
  view.SetLayerPosX(1, 0);
  proc.Undo();
  EXPECT_EQ(view.LayerPosX(0), 10);
  EXPECT_EQ(view.LayerPosX(1), 20);
  EXPECT_EQ(view.layerLoads, 2);

  // Records of length 0 (or longer than the stream) end the walk instead of looping on it.
  for (int32_t length : {0, 5, 1 << 20}) {
    view.forcedRecordLength = length;
    proc.SaveUndo(ieuLayer);
    const int loads = view.layerLoads;
    proc.Undo();
    EXPECT_EQ(view.layerLoads, loads) << length;
  }
}

TEST_F(ProcTest, FollowsTheViewsBitmap) {
  FakeView view(nullptr);
  TZodazUrProc proc(nullptr);
  proc.SetAttachedZodazUr(&view);
  EXPECT_EQ(proc.IEBitmap(), view.GetIEBitmap());
  EXPECT_FALSE(proc.OwnsBitmap());
  EXPECT_EQ(view.CallbackCount(), 1);
  auto replacement = std::make_unique<TIEBitmap>(6, 6, ie24RGB);
  TIEBitmap* raw = replacement.get();
  view.ReplaceBitmap(std::move(replacement));
  EXPECT_EQ(proc.IEBitmap(), raw);
  proc.Fill(CreateRGB(1, 2, 3));
  EXPECT_EQ(raw->GetPixel24(5, 5), CreateRGB(1, 2, 3));
  proc.SetBackground(clRed);
  EXPECT_EQ(view.Background(), clRed);
  proc.SetAttachedZodazUr(nullptr);
  EXPECT_EQ(view.CallbackCount(), 0);
  EXPECT_TRUE(proc.OwnsBitmap());
  EXPECT_TRUE(proc.IEBitmap()->IsEmpty());
  EXPECT_EQ(raw->GetPixel24(5, 5), CreateRGB(1, 2, 3));  // the view's bitmap is the view's
}

TEST_F(ProcTest, AViewThatGoesAwayIsForgottenWithoutBeingCalled) {
  for (bool notifies : {true, false}) {
    SCOPED_TRACE(notifies);
    TZodazUrProc proc(nullptr);
    proc.SetUndoLimit(3);
    {
      FakeView view(nullptr);
      view.notifyOnDestroy = notifies;
      proc.SetAttachedZodazUr(&view);
      proc.SaveUndo();
    }
    // Only the free notification arrives when the view sends no callback: the component must
    // not call the half-destroyed view (the sanitizers watch this).
    EXPECT_EQ(proc.AttachedZodazUr(), nullptr);
    EXPECT_TRUE(proc.OwnsBitmap());
    EXPECT_TRUE(proc.IEBitmap()->IsEmpty());
    EXPECT_EQ(proc.UndoCount(), 1);
    proc.Undo();  // into the own bitmap
    EXPECT_EQ(proc.IEBitmap()->Width(), 4);
  }
  // A component owned by its view goes with it.
  auto* view = new FakeView(nullptr);
  auto* owned = new TZodazUrProc(view);
  owned->SetAttachedZodazUr(view);
  delete view;
}

TEST_F(ProcTest, BorrowedBitmapsAreNeverFreedOrRepointed) {
  TIEBitmap mine(5, 4, ie24RGB);
  Ramp(mine);
  const auto before = Pixels(mine);
  TBitmap framework;
  framework.SetPixelFormat(pf24bit);
  framework.SetSize(3, 2);

  TZodazUrProc proc(nullptr);
  proc.AttachIEBitmap(&mine);
  proc.AttachTBitmap(&framework);  // gets an own wrapper
  EXPECT_TRUE(proc.OwnsBitmap());
  EXPECT_EQ(proc.IEBitmap()->Width(), 3);
  EXPECT_EQ(Pixels(mine), before);
  EXPECT_EQ(mine.Location(), ieMemory);

  TImage image(nullptr);
  image.Picture()->Bitmap()->SetPixelFormat(pf24bit);
  image.Picture()->Bitmap()->SetSize(7, 2);
  proc.AttachIEBitmap(&mine);
  proc.SetAttachedTImage(nullptr);  // nothing attached: the borrowed bitmap keeps its pixels
  EXPECT_EQ(Pixels(mine), before);
  proc.SetAttachedTImage(&image);
  EXPECT_EQ(proc.IEBitmap()->Width(), 7);
  EXPECT_NE(proc.IEBitmap(), &mine);
  EXPECT_EQ(Pixels(mine), before);
  proc.Fill(CreateRGB(9, 9, 9));
  EXPECT_TRUE(image.Picture()->Bitmap()->Modified());
  proc.SetAttachedTImage(nullptr);  // only the wrapper lets go
  EXPECT_EQ(proc.AttachedTImage(), nullptr);
  EXPECT_TRUE(proc.IEBitmap()->IsEmpty());
  EXPECT_EQ(image.Picture()->Bitmap()->Width(), 7);

  // A view's framework bitmap is wrapped, never replaced.
  TBitmap legacy;
  legacy.SetPixelFormat(pf24bit);
  legacy.SetSize(4, 4);
  FakeView view(nullptr, ievkImageView, false, &legacy);
  proc.SetAttachedZodazUr(&view);
  EXPECT_EQ(proc.AttachedBitmap(), &legacy);
  proc.AttachTBitmap(&framework);
  EXPECT_EQ(proc.AttachedZodazUr(), nullptr);
  EXPECT_EQ(legacy.Width(), 4);
  proc.AttachIEBitmap(nullptr);
  EXPECT_EQ(proc.IEBitmap(), nullptr);
  proc.Negative();  // without a working bitmap: nothing
  proc.SaveUndo();
  EXPECT_EQ(proc.UndoCount(), 0);
}

TEST_F(ProcTest, APictureControlThatGoesAwayIsForgotten) {
  TZodazUrProc proc(nullptr);
  {
    TImage image(nullptr);
    image.Picture()->Bitmap()->SetPixelFormat(pf24bit);
    image.Picture()->Bitmap()->SetSize(3, 3);
    proc.SetAttachedTImage(&image);
    EXPECT_EQ(proc.IEBitmap()->Width(), 3);
  }
  EXPECT_EQ(proc.AttachedTImage(), nullptr);
  EXPECT_EQ(proc.AttachedBitmap(), nullptr);
  EXPECT_TRUE(proc.IEBitmap()->IsEmpty());
}

}  // namespace
