// The single-image view as a control: construction, the coordinate model on a shown window (origin,
// zoom about the centre and about a point, fit, the automatic zoom, the refresh with its nested pass
// and the zoom clamp), the bitmap and its companions, and the view's life.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_mask.h"
#include "imaging/core/ie_settings.h"
#include "imaging/io/zodazur_io.h"
#include "imaging/processing/zodazur_proc.h"
#include "imaging/views/ie_view_cursors.h"
#include "imaging/views/ie_view_geometry.h"
#include "imaging/views/ie_view_globals.h"
#include "imaging/views/zodazur_view.h"
#include "platform/gdi/bitmap.h"
#include "platform/ui/forms.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/scroll_bars.h"
#include "platform/ui/timers.h"
#include "tests/support/test_support.h"
#include "tests/support/ui_fixture.h"
#include "tests/support/ui_input.h"

namespace {

class ViewTest : public testsupport::FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    form->SetBounds(10, 10, 600, 500);
  }
  // A view on the form with its client area exactly W x H: no frame, the given scroll bars.
  TZodazUrView* MakeView(int W, int H, TScrollStyle Bars = ssNone) {
    auto* v = new TZodazUrView(form);
    v->SetParent(form);
    v->SetBorderStyle(bsNone);
    v->SetScrollBars(Bars);
    v->SetBounds(0, 0, W, H);
    return v;
  }
  static void Load(TZodazUrView* v, int W, int H) {
    v->IEBitmap()->Allocate(W, H, ie24RGB);
    v->IEBitmap()->Fill(static_cast<double>(clWhite));
    v->Update();
  }
};

TEST(ZodazUrViewDefaults, ConstructionLeavesTheDocumentedState) {
  TZodazUrView v(nullptr);
  EXPECT_EQ(v.ZodazUrVersion(), "3.1.2");
  v.SetZodazUrVersion("9.9");
  EXPECT_EQ(v.ZodazUrVersion(), "3.1.2");
  EXPECT_EQ(v.Width(), 105);
  EXPECT_EQ(v.Height(), 105);
  EXPECT_EQ(v.Cursor(), 1785);
  EXPECT_EQ(v.GetViewWidth(), 50);
  EXPECT_EQ(v.GetViewHeight(), 50);
  EXPECT_EQ(v.ZoomX(), 100);
  EXPECT_EQ(v.ZoomY(), 100);
  EXPECT_TRUE(v.Center());
  EXPECT_TRUE(v.LegacyBitmap());
  ASSERT_NE(v.GetBitmap(), nullptr);
  EXPECT_EQ(v.IEBitmap()->Width(), 0);  // views made at run time start empty
  EXPECT_EQ(v.ZoomFilter(), rfNone);
  EXPECT_EQ(v.BackgroundStyle(), iebsSolid);
  EXPECT_EQ(v.ScrollBars(), ssBoth);
  EXPECT_EQ(v.Background(), clBtnFace);
  EXPECT_EQ(v.DpiX(), DefaultDPIX);
  EXPECT_EQ(v.DpiY(), DefaultDPIY);
  EXPECT_TRUE(v.DoubleBuffer());
  EXPECT_TRUE(v.EnableAlphaChannel());
  EXPECT_FALSE(v.AutoFit());
  EXPECT_FALSE(v.DrawVersion());
  EXPECT_EQ(v.HScrollParams().LineStep, -1);
  EXPECT_EQ(v.VScrollParams().PageStep, -1);
  EXPECT_TRUE(v.HScrollParams().Tracking);
  EXPECT_EQ(v.WheelParams().Action, iemwZoom);
  EXPECT_EQ(v.WheelParams().Variation, iemwPercentage);
  EXPECT_EQ(v.WheelParams().Value, 8);
  EXPECT_EQ(v.LayersCount(), 1);
  EXPECT_EQ(v.LayersCurrent(), 0);
  EXPECT_FALSE(v.GetLayer(0)->VisibleBox);
  EXPECT_TRUE(v.GetLayer(0)->Locked);
  EXPECT_EQ(v.GetLayer(0)->Bitmap(), v.IEBitmap());
  ASSERT_NE(v.SelectionMask(), nullptr);
  EXPECT_EQ(v.MaskBitsPerPixel(), 1u);
  EXPECT_FALSE(v.Selected());
  EXPECT_EQ(v.IO(), nullptr);
  EXPECT_EQ(v.Proc(), nullptr);
  EXPECT_FALSE(v.HasOwner());
  EXPECT_EQ(v.SelectionTimer(), nullptr);  // no owner, no parent: no timer
  ASSERT_NE(v.BackBuffer(), nullptr);
  EXPECT_EQ(v.BackBuffer()->Location(), ieTBitmap);
  EXPECT_EQ(v.UpdateLockCount(), 0);
}

TEST_F(ViewTest, AViewWithAnOwnerHasItsSelectionTimerAndCursors) {
  auto* v = new TZodazUrView(form);
  EXPECT_TRUE(v->HasOwner());
  ASSERT_NE(v->SelectionTimer(), nullptr);
  EXPECT_EQ(v->SelectionTimer()->Interval(), 210u);
  for (int id = IEFirstCursorId; id <= IELastCursorId; ++id) EXPECT_NE(Screen->Cursors(id), nullptr) << id;
  EXPECT_EQ(IECursorName(1796), "CROCE2-");
  EXPECT_EQ(IECursorName(1811), "ROT1");
  EXPECT_EQ(IECursorName(1777), "");
}

TEST_F(ViewTest, CursorsFollowTheOwnerAndTheCursorEvent) {
  struct Case {
    bool owner;
    TCursor afterTemp;
  } cases[] = {{true, 1782}, {false, 1790}};
  for (const Case& c : cases) {
    std::unique_ptr<TZodazUrView> own;
    TZodazUrView* v = c.owner ? new TZodazUrView(form) : (own = std::make_unique<TZodazUrView>(nullptr)).get();
    v->SetCursor(1790);
    EXPECT_EQ(v->Cursor(), 1790);
    EXPECT_EQ(v->RestoreCursorValue(), 1790);
    v->SetTempCursor(1782);
    EXPECT_EQ(v->Cursor(), c.afterTemp) << c.owner;
    EXPECT_EQ(v->RestoreCursorValue(), 1790);
    v->RestoreTempCursor();
    EXPECT_EQ(v->Cursor(), 1790);
    v->OnSetCursor = [](TObject*, TCursor& cur) {
      if (cur == 1787) cur = 1788;
    };
    v->SetCursor(1787);
    EXPECT_EQ(v->Cursor(), 1788);
    EXPECT_EQ(v->RestoreCursorValue(), 1788);
  }
}

TEST_F(ViewTest, OriginIsClampedToTheMaximumWithItsEvents) {
  TZodazUrView* v = MakeView(100, 80);
  Load(v, 300, 200);
  std::vector<std::string> events;
  v->OnViewChanging = [&](TObject*, int32_t change, double value) {
    events.push_back("changing " + std::to_string(change) + " " + std::to_string(static_cast<int>(value)));
  };
  v->OnViewChange = [&](TObject*, int32_t change) { events.push_back("change " + std::to_string(change)); };
  int32_t mx, my;
  v->GetMaxViewXY(mx, my);
  // Larger than the view by more than the slack: one bitmap column and row further.
  // Without scroll bars the view scrolls no further than the image's last column and row.
  EXPECT_EQ(mx, 300 - 100);
  EXPECT_EQ(my, 200 - 80);
  struct Case {
    int32_t x, y, wantX, wantY;
  } cases[] = {{-5, -5, 0, 0}, {50, 40, 50, 40}, {10000, 10000, mx, my}, {mx, 0, mx, 0}};
  for (const Case& c : cases) {
    v->SetViewXY(c.x, c.y);
    EXPECT_EQ(v->ViewX(), c.wantX) << c.x;
    EXPECT_EQ(v->ViewY(), c.wantY) << c.y;
  }
  events.clear();
  v->SetViewXY(mx, 0);  // no change: the changing events only
  EXPECT_EQ(events, (std::vector<std::string>{"changing 0 " + std::to_string(mx), "changing 1 0"}));
  events.clear();
  v->SetViewX(3);
  EXPECT_EQ(events, (std::vector<std::string>{"changing 0 3", "change 0"}));
}

TEST_F(ViewTest, ConversionsAgreeWithWhatIsDrawnAtSeveralZoomsAndOrigins) {
  struct Case {
    double zoom;
    int32_t vx, vy;
  } cases[] = {{100, 7, 3}, {200, 11, 5}, {400, 37, 23}, {50, 0, 0}, {25, 0, 0}, {800, 101, 99}, {300, 5, 7}};
  for (const Case& c : cases) {
    TZodazUrView* v = MakeView(120, 90);
    Load(v, 160, 140);
    v->SetZoom(c.zoom);
    v->SetViewXY(c.vx, c.vy);
    v->ComputeVisibleBitmapRect();
    v->BuildCoordinateTables();
    // The first drawn column is the first visible bitmap column and starts at a pixel boundary.
    EXPECT_EQ(v->ClientToBitmapX(v->OffsetX()), v->VisibleBitmapX()) << c.zoom;
    EXPECT_EQ(v->ClientToBitmapY(v->OffsetY()), v->VisibleBitmapY()) << c.zoom;
    // Every drawn column maps to a column whose client position comes back to the column's start.
    for (int32_t x = v->OffsetX(); x < v->OffsetX() + v->DrawWidth(); ++x) {
      const int32_t b = v->ClientToBitmapX(x);
      ASSERT_GE(b, 0);
      ASSERT_LT(b, 160);
      const int32_t start = v->BitmapToClientX(b);
      EXPECT_LE(start, x) << c.zoom << " x " << x;
      EXPECT_EQ(v->ClientToBitmapX(std::max(start, v->OffsetX())), b) << c.zoom << " x " << x;
    }
    // Zoomed in, neighbouring client columns within one bitmap pixel map alike.
    if (c.zoom >= 200) { EXPECT_EQ(v->ClientToBitmapX(v->OffsetX()), v->ClientToBitmapX(v->OffsetX() + 1)); }
    delete v;
  }
}

TEST_F(ViewTest, ZoomKeepsTheCentreAndZoomAtKeepsThePixel) {
  struct Case {
    double from, to;
    int32_t x, y;
    bool centre;
  } cases[] = {{100, 200, 30, 40, false}, {200, 400, 80, 20, false}, {100, 300, 10, 70, false},
               {400, 200, 50, 50, false}, {100, 200, 30, 40, true},  {200, 800, 90, 10, true}};
  for (const Case& c : cases) {
    TZodazUrView* v = MakeView(120, 100);
    Load(v, 400, 300);
    v->SetZoom(c.from);
    v->SetViewXY(100, 80);
    const int32_t bx = v->ClientToBitmapX(c.x), by = v->ClientToBitmapY(c.y);
    v->ZoomAt(c.x, c.y, c.to, c.centre);
    EXPECT_EQ(v->ZoomX(), c.to);
    if (c.centre) {
      EXPECT_NEAR(v->ClientToBitmapX(v->GetViewWidth() / 2), bx, 1) << c.from << "->" << c.to;
      EXPECT_NEAR(v->ClientToBitmapY(v->GetViewHeight() / 2), by, 1) << c.from << "->" << c.to;
    } else {
      EXPECT_NEAR(v->ClientToBitmapX(c.x), bx, 1) << c.from << "->" << c.to;
      EXPECT_NEAR(v->ClientToBitmapY(c.y), by, 1) << c.from << "->" << c.to;
    }
    delete v;
  }
  // SetZoom keeps the bitmap point at the centre.
  TZodazUrView* v = MakeView(120, 100);
  Load(v, 400, 300);
  v->SetViewXY(140, 100);
  v->ComputeVisibleBitmapRect();
  v->BuildCoordinateTables();
  const int32_t cx = v->ClientToBitmapX(60), cy = v->ClientToBitmapY(50);
  v->SetZoom(200);
  EXPECT_NEAR(v->ClientToBitmapX(60), cx, 1);
  EXPECT_NEAR(v->ClientToBitmapY(50), cy, 1);
}

TEST_F(ViewTest, FitZoomFollowsBackgroundStyleAndFrame) {
  struct Case {
    TIEBackgroundStyle style;
    TBorderStyle border;
    bool ctl3d;
    double want;  // (204 - 2 m) / 4 for a 400 x 100 image in a control of 204 x 204
  } cases[] = {
      {iebsSolid, bsSingle, true, 50},       {iebsSolid, bsSingle, false, 50.5},  {iebsSolid, bsNone, true, 51},
      {iebsCropped, bsNone, true, 50},       {iebsCropShadow, bsNone, true, 48.5}, {iebsSoftShadow, bsSingle, true, 46.5},
      {iebsChessboard, bsSingle, true, 50},
  };
  for (const Case& c : cases) {
    auto* v = new TZodazUrView(form);
    v->SetParent(form);
    v->SetScrollBars(ssNone);
    v->SetBorderStyle(c.border);
    v->SetCtl3D(c.ctl3d);
    v->SetBackgroundStyle(c.style);
    v->SetBounds(0, 0, 204, 204);
    Load(v, 400, 100);
    EXPECT_DOUBLE_EQ(v->GetFitZoom(), c.want) << c.style << " " << c.border << c.ctl3d;
    v->Fit();
    EXPECT_DOUBLE_EQ(v->ZoomX(), c.want);
    EXPECT_DOUBLE_EQ(v->ZoomY(), c.want);
    delete v;
  }
}

TEST_F(ViewTest, AutomaticZoomOfTheRefresh) {
  struct Case {
    const char* name;
    bool fit, stretch, shrink;
    int32_t w, h;
    double want;
  } cases[] = {
      {"1 x 1 stays 100", true, false, false, 1, 1, 100},
      {"small, fit", true, false, false, 50, 25, 400},
      {"small, shrink only", false, false, true, 50, 25, 100},
      {"small, stretch", false, true, false, 50, 25, 400},
      {"large, shrink", false, false, true, 800, 400, 25},
      {"large, stretch only", false, true, false, 800, 400, 100},
      {"tall, fit", true, false, false, 100, 1000, 20},
  };
  for (const Case& c : cases) {
    TZodazUrView* v = MakeView(200, 200);
    v->SetAutoFit(c.fit);
    v->SetAutoStretch(c.stretch);
    v->SetAutoShrink(c.shrink);
    EXPECT_EQ(v->ZoomX(), 100) << "setting the flags refreshes nothing";
    Load(v, c.w, c.h);
    EXPECT_DOUBLE_EQ(v->ZoomX(), c.want) << c.name;
    EXPECT_DOUBLE_EQ(v->ZoomY(), c.want) << c.name;
    delete v;
  }
}

TEST_F(ViewTest, ZoomIsClampedAndBadValuesAreIgnored) {
  TZodazUrView* v = MakeView(100, 100);
  Load(v, 64, 32);
  v->SetZoom(1e15);
  EXPECT_LE(std::llround(64 * v->ZoomX() / 100), IEMaxZoomedSize);
  EXPECT_GT(v->ZoomX(), 1e6);
  EXPECT_LE(v->ZoomedWidth(), IEMaxZoomedSize);
  v->SetZoom(150);
  for (double bad : {0.0, -5.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
    v->SetZoom(bad);
    v->SetZoomX(bad);
    v->ApplyZoom(bad);
    v->ZoomAt(10, 10, bad, false);
    EXPECT_EQ(v->ZoomX(), 150) << bad;
    EXPECT_EQ(v->ZoomY(), 150) << bad;
  }
  // The axes clamp on their own sizes.
  v->SetZoomY(1e15);
  EXPECT_LE(std::llround(32 * v->ZoomY() / 100), IEMaxZoomedSize);
  // Painting at the clamp draws without touching memory beyond the view.
  v->SetZoom(1e15);
  v->Repaint();
  EXPECT_EQ(v->BackBuffer()->Width(), 100);
}

TEST_F(ViewTest, RefreshResizesMaskAndAlphaAndRunsOneNestedPass) {
  TZodazUrView* v = MakeView(100, 100, ssBoth);
  Load(v, 40, 30);
  EXPECT_EQ(v->SelectionMask()->Width(), 40);
  EXPECT_EQ(v->SelectionMask()->Height(), 30);
  // A mis-sized alpha channel is made again at the bitmap's size, fully opaque.
  v->IEBitmap()->GetAlphaChannel()->Allocate(5, 5, ie8g);
  v->IEBitmap()->GetAlphaChannel()->Fill(0);
  v->IEBitmap()->Allocate(60, 50, ie24RGB);
  v->Update();
  EXPECT_EQ(v->SelectionMask()->Width(), 60);
  EXPECT_EQ(v->IEBitmap()->GetAlphaChannel()->Width(), 60);
  EXPECT_EQ(v->IEBitmap()->GetAlphaChannel()->Height(), 50);
  EXPECT_EQ(v->IEBitmap()->GetAlpha(59, 49), 255);
  // An image a little wider than the view: the horizontal bar takes height, so the vertical bar
  // is needed too; the nested pass settles both.
  Load(v, 105, 95);
  int32_t mx, my;
  v->GetMaxViewXY(mx, my);
  EXPECT_EQ(v->HScrollShown(), mx > 0);
  EXPECT_EQ(v->VScrollShown(), my > 0);
  EXPECT_TRUE(v->HScrollShown());
  EXPECT_TRUE(v->VScrollShown());
  EXPECT_EQ(v->GetViewWidth(), 100 - VScrollBarWidth);
  EXPECT_EQ(v->GetViewHeight(), 100 - HScrollBarHeight);
  // A smaller image again: no bars, and the origin back inside.
  v->SetViewXY(1000, 1000);
  Load(v, 20, 20);
  EXPECT_FALSE(v->HScrollShown());
  EXPECT_FALSE(v->VScrollShown());
  EXPECT_EQ(v->ViewX(), 0);
  EXPECT_EQ(v->ViewY(), 0);
  EXPECT_EQ(v->GetViewWidth(), 100);
}

TEST_F(ViewTest, UpdateLockHoldsTheRefresh) {
  TZodazUrView* v = MakeView(100, 100);
  v->SetAutoFit(true);
  v->LockUpdate();
  Load(v, 400, 400);
  EXPECT_EQ(v->ZoomX(), 100);
  v->UnlockUpdate();
  EXPECT_EQ(v->ZoomX(), 25);
  v->UnlockUpdate();  // never below 0
  EXPECT_EQ(v->UpdateLockCount(), 0);
}

TEST_F(ViewTest, EmptyAndOnePixelImages) {
  TZodazUrView* v = MakeView(100, 100, ssBoth);
  v->Fit();  // an empty image: nothing
  EXPECT_EQ(v->ZoomX(), 100);
  v->Repaint();
  EXPECT_TRUE(v->IsEmpty());
  Load(v, 1, 1);
  v->SetAutoFit(true);
  v->Update();
  EXPECT_EQ(v->ZoomX(), 100);
  v->Repaint();
  v->Clear();
  EXPECT_EQ(v->IEBitmap()->Width(), 1);
  EXPECT_TRUE(v->IsEmpty());
}

TEST_F(ViewTest, LegacyBitmapMovesThePixelsBothWays) {
  TZodazUrView* v = MakeView(100, 100);
  Load(v, 8, 6);
  v->IEBitmap()->SetPixel24(3, 2, TIERGB{1, 2, 3});
  int calls = 0;
  v->AddBitmapChangeEvent([&](TObject*, bool d) {
    if (!d) ++calls;
  });
  v->SetLegacyBitmap(false);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(v->GetBitmap(), nullptr);
  EXPECT_NE(v->IEBitmap()->Location(), ieTBitmap);
  EXPECT_EQ(v->IEBitmap()->GetPixel24(3, 2).g, 2);
  v->SetLegacyBitmap(false);
  EXPECT_EQ(calls, 1);
  v->SetLegacyBitmap(true);
  EXPECT_EQ(calls, 2);
  ASSERT_NE(v->GetBitmap(), nullptr);
  EXPECT_EQ(v->IEBitmap()->Location(), ieTBitmap);
  EXPECT_EQ(v->GetBitmap()->Width(), 8);
  EXPECT_EQ(v->IEBitmap()->GetPixel24(3, 2).r, 3);
  // A format a framework bitmap cannot hold: the error, and nothing changes.
  v->SetLegacyBitmap(false);
  v->IEBitmap()->Allocate(4, 4, ie32f);
  EXPECT_EQ(testsupport::ErrorText<Exception>([&] { v->SetLegacyBitmap(true); }),
            "ie32f pixel format not allowed when Location=ieTBitmap Please set TZodazUrView.LegacyBitmap=false.");
  EXPECT_FALSE(v->LegacyBitmap());
  EXPECT_EQ(v->IEBitmap()->PixelFormat(), ie32f);
}

TEST_F(ViewTest, AssignFromViewsBitmapsAndItself) {
  TZodazUrView* a = MakeView(100, 100);
  TZodazUrView* b = MakeView(100, 100);
  Load(a, 12, 9);
  a->IEBitmap()->SetPixel24(1, 1, TIERGB{9, 8, 7});
  a->SetBackground(clRed);
  a->SetDpi(150, 75);
  b->Assign(a);
  EXPECT_EQ(b->IEBitmap()->Width(), 12);
  EXPECT_EQ(b->IEBitmap()->GetPixel24(1, 1).b, 9);
  EXPECT_EQ(b->Background(), clRed);
  EXPECT_EQ(b->DpiX(), 150);
  EXPECT_EQ(b->DpiY(), 75);
  b->Assign(b);  // itself: nothing
  EXPECT_EQ(b->IEBitmap()->Width(), 12);
  b->Assign(b->GetBitmap());  // its own framework bitmap: nothing
  EXPECT_EQ(b->IEBitmap()->GetPixel24(1, 1).b, 9);
  TBitmap eight;
  eight.SetPixelFormat(pf8bit);
  eight.SetSize(5, 4);
  b->Assign(&eight);
  EXPECT_EQ(b->IEBitmap()->PixelFormat(), ie24RGB);
  EXPECT_EQ(b->IEBitmap()->Width(), 5);
  b->SetBackground(clBlue);
  b->Assign(nullptr);  // blank
  EXPECT_EQ(b->IEBitmap()->GetPixel24(0, 0).b, 255);
}

TEST_F(ViewTest, CompanionsGetTheEventsAndGoWithTheView) {
  int progress = 0, finish = 0, destroying = 0;
  auto* v = new TZodazUrView(form);
  v->SetOnProgress([&](TObject*, int32_t) { ++progress; });
  TZodazUrIO* io = v->GetIO();
  TZodazUrProc* proc = v->GetProc();
  EXPECT_EQ(io->Owner(), v);
  EXPECT_EQ(io->AttachedZodazUr(), static_cast<TIEViewLink*>(v));
  EXPECT_EQ(proc->AttachedZodazUr(), static_cast<TIEViewLink*>(v));
  ASSERT_TRUE(io->OnProgress);
  ASSERT_TRUE(proc->OnProgress);
  v->SetOnFinishWork([&](TObject*) { ++finish; });  // forwarded to both after creation
  io->OnFinishWork(io);
  proc->OnFinishWork(proc);
  io->OnProgress(io, 5);
  EXPECT_EQ(progress, 1);
  EXPECT_EQ(finish, 2);
  v->AddBitmapChangeEvent([&](TObject*, bool d) { destroying += d ? 1 : 0; });
  delete v;
  EXPECT_EQ(destroying, 1);
}

TEST_F(ViewTest, MessagesOfTheIOThreadsRunOnTheUserInterfaceThread) {
  testsupport::ScratchDir dir;
  // A small BMP file written by the engine's own writer.
  {
    TZodazUrView* src = MakeView(50, 50);
    Load(src, 33, 21);
    src->GetIO()->SaveToFile(dir.File("a.bmp"));
    ASSERT_FALSE(src->GetIO()->Aborting());
    delete src;
  }
  TZodazUrView* v = MakeView(100, 100);
  const std::thread::id ui = std::this_thread::get_id();
  int progress = 0, finish = 0;
  bool otherThread = false;
  v->SetOnProgress([&](TObject* s, int32_t) {
    EXPECT_EQ(s, static_cast<TObject*>(v));
    otherThread |= std::this_thread::get_id() != ui;
    ++progress;
  });
  v->SetOnFinishWork([&](TObject*) {
    otherThread |= std::this_thread::get_id() != ui;
    ++finish;
  });
  v->GetIO()->SetAsynchronous(true);
  v->GetIO()->LoadFromFile(dir.File("a.bmp"));
  ASSERT_TRUE(testsupport::WaitFor([&] { return finish > 0 && v->BitmapWidth() == 33; }, 5000));
  EXPECT_GT(progress, 0);
  EXPECT_FALSE(otherThread);
  EXPECT_EQ(v->BitmapHeight(), 21);
  // Posted to a view that is gone: dropped.
  HWND h = v->Handle();
  PostMessage(h, IEM_PROGRESS, 50, 0);
  PostMessage(h, IEM_FINISHWORK, 0, 0);
  delete v;
  Application->ProcessMessages();
}

TEST_F(ViewTest, WhileItsIOThreadLoadsTheViewNeitherPaintsNorMeasuresTheBitmap) {
  testsupport::ScratchDir dir;
  {
    TZodazUrView* src = MakeView(50, 50);
    Load(src, 1200, 900);
    src->GetIO()->SaveToFile(dir.File("big.bmp"));
    ASSERT_FALSE(src->GetIO()->Aborting());
    delete src;
  }
  TZodazUrView* v = MakeView(100, 100);
  Load(v, 7, 5);
  int finish = 0;
  v->SetOnFinishWork([&](TObject*) { ++finish; });
  v->GetIO()->SetAsynchronous(true);
  // Each load resizes the bitmap on the worker while this thread refreshes and paints as fast as
  // it can: neither may read a size or row the worker is changing.
  for (int round = 0; round < 3; ++round) {
    v->GetIO()->LoadFromFile(dir.File("big.bmp"));
    EXPECT_TRUE(v->GetIO()->BitmapBusy());
    ASSERT_TRUE(testsupport::WaitFor(
        [&] {
          v->Update();
          v->Paint();
          return finish > round && !v->GetIO()->BitmapBusy();
        },
        10000));
    Application->ProcessMessages();
    EXPECT_EQ(v->BitmapWidth(), 1200);
    EXPECT_EQ(v->BitmapHeight(), 900);
    Load(v, 7, 5);
  }
  v->GetIO()->WaitThreads(false);
  delete v;
}

TEST_F(ViewTest, KeysReachTheVirtualKeyEventOncePerPressAndRelease) {
  TZodazUrView* v = MakeView(100, 100);
  std::vector<std::pair<uint32_t, bool>> keys;
  v->OnVirtualKey = [&](TObject*, uint32_t key, uint32_t, bool down) { keys.push_back({key, down}); };
  for (bool alt : {false, true}) {
    keys.clear();
    testsupport::KeyPress(v, VK_F6, "", alt);
    EXPECT_EQ(keys, (std::vector<std::pair<uint32_t, bool>>{{VK_F6, true}, {VK_F6, false}})) << "alt " << alt;
  }
}

TEST_F(ViewTest, SpecialKeysAreClaimedOnlyWhenHandled) {
  TZodazUrView* v = MakeView(100, 100);
  EXPECT_EQ(v->Perform(CM_WANTSPECIALKEY, VK_LEFT, 0), 0);
  bool handle = false;
  uint16_t seen = 0;
  v->OnSpecialKey = [&](TObject*, uint16_t key, TShiftState, bool& handled) {
    seen = key;
    handled = handle;
  };
  EXPECT_EQ(v->Perform(CM_WANTSPECIALKEY, VK_LEFT, 0), 0);
  EXPECT_EQ(seen, VK_LEFT);
  handle = true;
  EXPECT_EQ(v->Perform(CM_WANTSPECIALKEY, VK_RIGHT, 0), 1);
}

}  // namespace
