// The transition engine's lifecycle with a stand-in view and a clock the test steps: starting,
// ticking, ending, the events, and what handlers may do to a run under way.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/processing/transitions/ie_transition_effects.h"
#include "platform/system/ticks.h"
#include "platform/ui/forms.h"
#include "platform/ui/timers.h"
#include "tests/imaging/processing/transitions/transition_pictures.h"
#include "tests/imaging/processing/transitions/transition_view.h"

using namespace transition_test;

namespace {

// A view, its engine on a stepped clock, and a record of the events.
struct Rig {
  TransitionView view;
  std::unique_ptr<TIETransitionEffects> engine = std::make_unique<TIETransitionEffects>(&view);
  uint32_t now = 5000;
  std::vector<std::string> events;

  explicit Rig(TIETransitionType Effect = iettLeftRight1, int32_t W = 8, int32_t H = 4) {
    engine->SetClock([this] { return now; });
    engine->OnTransitionStep = [this](TObject* sender, int32_t step) {
      EXPECT_EQ(sender, static_cast<TObject*>(&view));
      events.push_back("step " + std::to_string(step));
    };
    engine->SetOnTransitionPaint([this](TObject* sender, TBitmap* bitmap, TIETransitionEffects* t, int32_t step) {
      EXPECT_EQ(sender, static_cast<TObject*>(&view));
      EXPECT_EQ(t, engine.get());
      events.push_back(std::string(bitmap == t->EndBitmap() ? "end " : "paint ") + std::to_string(step));
    });
    engine->OnTransitionStop = [this](TObject* sender) {
      EXPECT_EQ(sender, static_cast<TObject*>(&view));
      events.push_back("stop");
    };
    Prepare(Effect, W, H);
  }
  // As a view does: size the frames, draw both pictures, choose the effect.
  void Prepare(TIETransitionType Effect, int32_t W, int32_t H) {
    engine->SetTransitionSize(W, H);
    Paint(*engine->StartBitmap(), Solid(kRed));
    Paint(*engine->EndBitmap(), Solid(kBlue));
    engine->SetEffect(Effect);
    engine->SetDuration(1000);
  }
  void TickAt(uint32_t Elapsed) {
    now = 5000 + Elapsed;
    engine->TransitionTick();
  }
};

TEST(TransitionEngine, ARunDrawsStepsFromTheElapsedTimeAndEndsWithTheEndPicture) {
  Rig rig;
  rig.engine->StartTransition(true);
  ASSERT_TRUE(rig.engine->Running());
  EXPECT_TRUE(rig.engine->Timer()->Enabled());
  EXPECT_EQ(rig.engine->Timer()->Interval(), 1u);
  EXPECT_EQ(rig.view.paintLocks, 1);
  // Each tick draws the step the tick before worked out: 0 first, then Trunc(elapsed / 1000 x 1024).
  rig.TickAt(0);
  rig.TickAt(250);   // -> 256
  rig.TickAt(600);   // -> 614
  rig.TickAt(999);   // -> 1022
  EXPECT_EQ(rig.engine->Step(), 1022);
  EXPECT_EQ(At(rig.view.Screen(), 7, 0), kRed) << "the frame of step 614 is on the window";
  rig.TickAt(5000);  // late: the run ends, step 1024 is never drawn
  const std::vector<std::string> want = {"step 0",   "paint 0",   "step 0",   "paint 0",    "step 256",
                                         "paint 256", "step 614", "paint 614", "step 1022", "paint 1022",
                                         "end 1024", "stop"};
  EXPECT_EQ(rig.events, want);
  EXPECT_FALSE(rig.engine->Running());
  EXPECT_FALSE(rig.engine->Timer()->Enabled());
  EXPECT_EQ(rig.view.paintLocks, 0);
  EXPECT_EQ(rig.view.updates, 1);
  EXPECT_EQ(At(rig.view.Screen(), 0, 0), kBlue) << "the end picture was painted last";
  EXPECT_EQ(rig.engine->StartBitmap()->Width(), 1);
  EXPECT_EQ(rig.engine->CurrentBitmap()->Height(), 1);
}

TEST(TransitionEngine, WithoutUpdateOnStopTheEndPictureIsNotPaintedNorTheViewRefreshed) {
  Rig rig;
  rig.engine->StartTransition(false);
  rig.TickAt(0);
  rig.TickAt(1000);
  EXPECT_EQ(rig.events, (std::vector<std::string>{"step 0", "paint 0", "step 0", "paint 0", "stop"}));
  EXPECT_EQ(rig.view.updates, 0);
  EXPECT_EQ(rig.view.paintLocks, 0);
}

TEST(TransitionEngine, TheTickCountMayWrapAroundDuringARun) {
  Rig rig;
  rig.now = 0xFFFFFF00u;
  rig.engine->StartTransition(false);
  rig.now = 0xFFFFFF00u + 500;  // wrapped past zero: 500 ms elapsed
  rig.engine->TransitionTick();
  EXPECT_TRUE(rig.engine->Running());
  EXPECT_EQ(rig.engine->Step(), 512);
}

TEST(TransitionEngine, StartsThatDoNotGoAheadLeaveTheEngineIdleWithItsTimerOff) {
  struct Case {
    const char* what;
    std::function<void(Rig&)> spoil;
  };
  const Case cases[] = {
      {"no effect", [](Rig& r) { r.engine->SetEffect(iettNone); }},
      {"a 1 x 1 frame", [](Rig& r) { r.Prepare(iettLeftRight1, 1, 1); }},
      {"a frame without width", [](Rig& r) { r.Prepare(iettLeftRight1, 0, 5); }},
      {"a narrower start picture", [](Rig& r) { r.engine->StartBitmap()->SetWidth(3); }},
      {"a shorter end picture", [](Rig& r) { r.engine->EndBitmap()->SetHeight(2); }},
      {"a start picture of 32 bits", [](Rig& r) { r.engine->StartBitmap()->SetPixelFormat(pf32bit); }},
      {"frames shrunk by the last run", [](Rig& r) {
         r.engine->StartTransition(false);
         r.engine->StopTransition();
         r.events.clear();
       }},
  };
  for (const Case& c : cases) {
    Rig rig;
    c.spoil(rig);
    rig.engine->StartTransition(true);
    EXPECT_FALSE(rig.engine->Running()) << c.what;
    EXPECT_FALSE(rig.engine->Timer()->Enabled()) << c.what;
    EXPECT_EQ(rig.view.paintLocks, 0) << c.what;
    rig.engine->TransitionTick();
    EXPECT_TRUE(rig.events.empty()) << c.what;
  }
  // A frame 2 x 1 is enough.
  Rig rig(iettLeftRight1, 2, 1);
  rig.engine->StartTransition(true);
  EXPECT_TRUE(rig.engine->Running());

  // An engine without a view draws frames but never runs.
  TIETransitionEffects lone(nullptr);
  lone.SetTransitionSize(4, 4);
  lone.SetEffect(iettCrossDissolve);
  lone.StartTransition(true);
  EXPECT_FALSE(lone.Running());
  EXPECT_FALSE(lone.Timer()->Enabled());
}

TEST(TransitionEngine, ARestartThatDoesNotGoAheadStopsTheTimerAndTheLock) {
  Rig rig;
  rig.engine->StartTransition(true);
  ASSERT_TRUE(rig.engine->Timer()->Enabled());
  // Starting again releases the running run's lock first and takes one for the new run.
  rig.engine->StartTransition(true);
  EXPECT_EQ(rig.view.paintLocks, 1);
  EXPECT_TRUE(rig.engine->Running());
  // A restart the frames do not allow leaves nothing running, not even the timer.
  rig.engine->StartBitmap()->SetHeight(1);
  rig.engine->StartTransition(true);
  EXPECT_FALSE(rig.engine->Running());
  EXPECT_FALSE(rig.engine->Timer()->Enabled());
  EXPECT_EQ(rig.view.paintLocks, 0);
}

TEST(TransitionEngine, StopWhenIdleDoesNothingAndSizingStopsARun) {
  Rig rig;
  rig.engine->StopTransition();
  EXPECT_TRUE(rig.events.empty());
  EXPECT_EQ(rig.view.paintUnlocks, 0);
  rig.engine->StartTransition(true);
  rig.TickAt(0);
  rig.engine->SetTransitionSize(20, 10);
  EXPECT_FALSE(rig.engine->Running());
  EXPECT_EQ(rig.events.back(), "stop");
  EXPECT_EQ(rig.view.updates, 1);
  EXPECT_EQ(rig.engine->CurrentBitmap()->Width(), 20);
  EXPECT_EQ(rig.engine->EndBitmap()->Height(), 10);
  EXPECT_EQ(rig.engine->Width(), 20);
}

TEST(TransitionEngine, SizesThatCannotBeHadLeaveTheEngineIdleAtOneByOne) {
  Rig rig;
  for (const auto& [w, h] : {std::pair{-1, 5}, std::pair{5, -1}, std::pair{1 << 30, 1 << 30}, std::pair{100000, 100000}}) {
    rig.engine->SetTransitionSize(16, 16);
    EXPECT_NO_THROW(rig.engine->SetTransitionSize(w, h));
    EXPECT_EQ(rig.engine->Width(), 1) << w << "x" << h;
    EXPECT_EQ(rig.engine->Height(), 1);
    for (TBitmap* b : {rig.engine->StartBitmap(), rig.engine->EndBitmap(), rig.engine->CurrentBitmap()}) {
      EXPECT_EQ(b->Width(), 1);
      EXPECT_EQ(b->PixelFormat(), pf24bit);
    }
    rig.engine->StartTransition(true);
    EXPECT_FALSE(rig.engine->Running());
  }
}

TEST(TransitionEngine, TheEffectIsReadWhenTheRunStarts) {
  Rig rig(iettLeftRight1);
  rig.engine->StartTransition(false);
  rig.engine->SetEffect(iettNone);  // changing it now changes nothing about this run
  rig.TickAt(0);
  rig.TickAt(500);
  rig.TickAt(600);
  EXPECT_EQ(At(*rig.engine->CurrentBitmap(), 0, 0), kBlue) << "still wiping";
  rig.engine->StopTransition();
  EXPECT_FALSE(rig.engine->Running());
  EXPECT_EQ(rig.view.paintLocks, 0);
  EXPECT_EQ(rig.events.back(), "stop");

  // Ids past the table draw nothing.
  for (const int id : {215, 230, 255}) {
    Rig other(static_cast<TIETransitionType>(id));
    Paint(*other.engine->CurrentBitmap(), Solid(kBlack));
    other.engine->DrawStep(0);
    other.engine->DrawStep(700);
    EXPECT_EQ(At(*other.engine->CurrentBitmap(), 3, 2), kBlack) << id;
  }
}

TEST(TransitionEngine, HandlersThatStopTheRunEndTheTickThere) {
  {
    // Stopped in OnTransitionStep: no frame is drawn or shown for that tick.
    Rig rig;
    rig.engine->StartTransition(false);
    rig.engine->OnTransitionStep = [&](TObject*, int32_t) { rig.engine->StopTransition(); };
    rig.TickAt(0);
    EXPECT_EQ(rig.events, (std::vector<std::string>{"stop"}));
  }
  {
    // Resized in OnTransitionStep: the run stops before anything is drawn into the new frames.
    Rig rig;
    rig.engine->StartTransition(false);
    rig.engine->OnTransitionStep = [&](TObject*, int32_t) { rig.engine->SetTransitionSize(2, 2); };
    rig.TickAt(0);
    EXPECT_FALSE(rig.engine->Running());
    EXPECT_EQ(rig.events, (std::vector<std::string>{"stop"}));
  }
  {
    // A new run started by OnTransitionStop keeps its first step 0.
    Rig rig;
    rig.engine->StartTransition(false);
    bool restarted = false;
    rig.engine->OnTransitionStop = [&](TObject*) {
      if (restarted) return;
      restarted = true;
      rig.Prepare(iettCrossDissolve, 8, 4);
      rig.engine->StartTransition(false);
    };
    rig.TickAt(0);
    rig.TickAt(2000);
    ASSERT_TRUE(rig.engine->Running());
    EXPECT_EQ(rig.engine->Step(), 0);
    EXPECT_EQ(rig.view.paintLocks, 1);
  }
  {
    // Freed in OnTransitionPaint: the tick touches nothing of it afterwards.
    Rig rig;
    rig.engine->StartTransition(false);
    rig.engine->SetOnTransitionPaint([&](TObject*, TBitmap*, TIETransitionEffects*, int32_t) { rig.engine.reset(); });
    TIETransitionEffects* engine = rig.engine.get();
    rig.now = 7000;
    engine->TransitionTick();
    EXPECT_EQ(rig.engine, nullptr);
    EXPECT_EQ(rig.view.paintUnlocks, 0) << "the destructor calls nothing on the view";
  }
}

TEST(TransitionEngine, ATickInsideATickIsIgnored) {
  Rig rig;
  rig.engine->StartTransition(false);
  int inner = 0;
  rig.engine->OnTransitionStep = [&](TObject*, int32_t step) {
    rig.events.push_back("step " + std::to_string(step));
    if (inner++ == 0) rig.engine->TransitionTick();  // a handler that processes messages
  };
  rig.TickAt(0);
  EXPECT_EQ(rig.events, (std::vector<std::string>{"step 0", "paint 0"}));
  rig.TickAt(100);
  EXPECT_EQ(rig.events.size(), 4u) << "the next tick runs again";
}

TEST(TransitionEngine, DestroyingARunningEngineStopsItsTimerAndLeavesTheViewAlone) {
  TransitionView view;
  auto engine = std::make_unique<TIETransitionEffects>(&view);
  engine->SetTransitionSize(8, 8);
  engine->SetEffect(iettCrossDissolve);
  engine->StartTransition(true);
  ASSERT_TRUE(engine->Running());
  engine.reset();
  EXPECT_EQ(view.paintLocks, 1);
  EXPECT_EQ(view.paintUnlocks, 0);
  EXPECT_EQ(view.updates, 0);
  Application->ProcessMessages();  // no tick of a freed engine arrives
}

TEST(TransitionEngine, AViewCanvasThatFailsEndsOnlyThatFrame) {
  struct FailingView : TransitionView {
    TCanvas* GetCanvas() override { throw Exception("no canvas"); }
  } view;
  TIETransitionEffects engine(&view);
  uint32_t now = 0;
  engine.SetClock([&] { return now; });
  engine.SetTransitionSize(8, 8);
  engine.SetEffect(iettCrossDissolve);
  engine.StartTransition(true);
  EXPECT_NO_THROW(engine.TransitionTick());
  now = 2000;
  EXPECT_NO_THROW(engine.TransitionTick());
  EXPECT_FALSE(engine.Running());
}

TEST(TransitionEngine, TheFirstFrameShowsTheStartPictureOrForFadeInTheBackground) {
  for (const TIETransitionType effect : {iettCrossDissolve, iettFadeIn, iettCenter2, iettExpandFromLeft}) {
    Rig rig(effect);
    rig.view.SetBackground(clLime);
    rig.engine->StartTransition(false);
    rig.TickAt(0);
    EXPECT_EQ(At(rig.view.Screen(), 3, 2), effect == iettFadeIn ? 0x00FF00u : kRed) << effect;
  }
}

TEST(TransitionEngine, ARunOnTheRealTimerEndsByItselfWithTheEndPictureLast) {
  TransitionView view;
  TIETransitionEffects engine(&view);
  engine.SetTransitionSize(32, 16);
  Paint(*engine.StartBitmap(), Solid(kRed));
  Paint(*engine.EndBitmap(), Solid(kBlue));
  engine.SetEffect(iettCrossDissolve);
  engine.SetDuration(80);
  std::vector<int32_t> steps;
  bool stopped = false;
  engine.SetOnTransitionPaint([&](TObject*, TBitmap*, TIETransitionEffects*, int32_t step) { steps.push_back(step); });
  engine.OnTransitionStop = [&](TObject*) { stopped = true; };
  engine.StartTransition(true);
  const uint32_t began = GetTickCount();
  while (!stopped && GetTickCount() - began < 10000) {
    Application->ProcessMessages();
    Sleep(1);
  }
  ASSERT_TRUE(stopped);
  ASSERT_GE(steps.size(), 2u);
  EXPECT_EQ(steps.front(), 0);
  EXPECT_EQ(steps.back(), 1024);
  for (size_t i = 1; i + 1 < steps.size(); ++i) {
    EXPECT_LE(steps[i - 1], steps[i]);
    EXPECT_LT(steps[i], 1024);
  }
  EXPECT_EQ(At(view.Screen(), 10, 10), kBlue);
  EXPECT_EQ(view.paintLocks, 0);
}

TEST(TransitionEngine, AnEngineFreedByItsHandlerInsideARealTimerTickIsLeftAlone) {
  // An owner that drops its engine when the run ends, from inside the timer's own tick: the
  // timer, its handler and the engine all go while the tick is under way.
  TransitionView view;
  auto engine = std::make_unique<TIETransitionEffects>(&view);
  engine->SetTransitionSize(16, 8);
  engine->SetEffect(iettLeftRight1);
  engine->SetDuration(0);
  engine->OnTransitionStop = [&](TObject*) { engine.reset(); };
  engine->StartTransition(true);
  const uint32_t began = GetTickCount();
  while (engine && GetTickCount() - began < 10000) {
    Application->ProcessMessages();
    Sleep(1);
  }
  EXPECT_EQ(engine, nullptr);
  EXPECT_EQ(view.paintLocks, 0);
  Application->ProcessMessages();
}

}  // namespace

namespace {

// Pan-zoom: a 100 x 80 source whose pixel (x, y) has blue x, green y.
struct PanZoomRig {
  TransitionView view;
  TIETransitionEffects engine{&view};
  TIEBitmap source{100, 80, ie24RGB};
  PanZoomRig(int32_t W, int32_t H, TIEViewKind kind = ievkImageView) : view(kind, W, H) {
    for (int32_t y = 0; y < 80; ++y)
      for (int32_t x = 0; x < 100; ++x)
        source.SetPixel24(x, y, TIERGB{static_cast<uint8_t>(x), static_cast<uint8_t>(y), 200});
    engine.SetTransitionSize(W, H);
    Paint(*engine.CurrentBitmap(), Solid(kBlack));
    engine.SetEffect(iettPanZoom);
    engine.SetSourceImage(&source);
  }
  uint32_t Pixel(int32_t x, int32_t y) { return At(*engine.CurrentBitmap(), x, y); }
  static uint32_t Src(int32_t x, int32_t y) { return static_cast<uint32_t>(200 << 16 | y << 8 | x); }
};

TEST(TransitionPanZoom, ShowsThePartBetweenItsRectanglesStretchedOverTheFrame) {
  PanZoomRig rig(35, 30);
  rig.engine.SetPanZoomStart(Rect(0, 0, 100, 80));
  rig.engine.SetPanZoomEnd(Rect(20, 10, 60, 50));
  // Step 512, half way: left Trunc(0 - 512 x (-20 / 1024)) = 10, top 5, right 80, bottom 65.
  rig.engine.DrawStep(512);
  EXPECT_EQ(rig.Pixel(0, 0), PanZoomRig::Src(10, 5));
  EXPECT_EQ(rig.Pixel(34, 29), PanZoomRig::Src(78, 63));  // 70 x 60 over 35 x 30: every second pixel
  rig.engine.DrawStep(0);
  EXPECT_EQ(rig.Pixel(34, 29), PanZoomRig::Src(97, 77));
  rig.engine.DrawStep(1024);
  EXPECT_EQ(rig.Pixel(0, 0), PanZoomRig::Src(20, 10));
  EXPECT_EQ(rig.view.backgroundPaints, 0);
}

TEST(TransitionPanZoom, APartReachingPastTheImageIsCutOnEverySideAndFittedInItsProportions) {
  {
    // (-20, -10) .. (60, 50): 60 x 50 of the image; fitted to 40 x 40 as 40 x 33 at (0, 3) over the
    // view's own background.
    PanZoomRig rig(40, 40);
    rig.engine.SetPanZoomStart(Rect(-20, -10, 60, 50));
    rig.engine.DrawStep(0);
    EXPECT_EQ(rig.view.backgroundPaints, 1);
    EXPECT_EQ(rig.Pixel(20, 1), 0x00FF00u) << "the view's background";
    EXPECT_EQ(rig.Pixel(20, 38), 0x00FF00u);
    EXPECT_EQ(rig.Pixel(0, 3), PanZoomRig::Src(0, 0));
    EXPECT_EQ(rig.Pixel(39, 35), PanZoomRig::Src(58, 48));
  }
  {
    // (50, 40) .. (130, 100) is cut to (50, 40) .. (100, 80): nothing past the last column or row
    // is read. 50 x 40 fitted to 40 x 40 is 40 x 32 at (0, 4).
    PanZoomRig rig(40, 40);
    rig.engine.SetPanZoomStart(Rect(50, 40, 130, 100));
    rig.engine.DrawStep(0);
    EXPECT_EQ(rig.Pixel(0, 4), PanZoomRig::Src(50, 40));
    EXPECT_EQ(rig.Pixel(39, 35), PanZoomRig::Src(98, 78));
    for (int32_t y = 4; y < 36; ++y)
      for (int32_t x = 0; x < 40; ++x) {
        ASSERT_LT(rig.Pixel(x, y) & 0xFF, 100u);
        ASSERT_LT((rig.Pixel(x, y) >> 8) & 0xFF, 80u);
      }
  }
  {
    // A vector view is a single-image view and paints its own background too.
    PanZoomRig rig(40, 40, ievkVectorView);
    rig.engine.SetPanZoomStart(Rect(-20, -10, 60, 50));
    rig.engine.DrawStep(0);
    EXPECT_EQ(rig.view.backgroundPaints, 1);
  }
  {
    // Another kind of view: the frame is filled with its background colour.
    PanZoomRig rig(40, 40, ievkMultiView);
    rig.view.SetBackground(clSilver);
    rig.engine.SetPanZoomStart(Rect(-20, -10, 60, 50));
    rig.engine.DrawStep(0);
    EXPECT_EQ(rig.view.backgroundPaints, 0);
    EXPECT_EQ(rig.Pixel(20, 1), 0xC0C0C0u);
  }
}

TEST(TransitionPanZoom, EmptyRectanglesOrNoImageLeaveTheFrame) {
  PanZoomRig rig(20, 10);
  rig.engine.DrawStep(300);  // both rectangles empty, as made
  EXPECT_EQ(rig.Pixel(5, 5), kBlack);
  rig.engine.SetPanZoomStart(Rect(0, 0, 50, 50));
  rig.engine.SetPanZoomEnd(Rect(0, 0, 50, 50));
  rig.engine.SetSourceImage(nullptr);
  rig.engine.DrawStep(300);
  EXPECT_EQ(rig.Pixel(5, 5), kBlack);
  // A part wholly beside the image: the background, and nothing read.
  rig.engine.SetSourceImage(&rig.source);
  rig.engine.SetPanZoomStart(Rect(200, 0, 260, 50));
  rig.engine.SetPanZoomEnd(Rect(200, 0, 260, 50));
  rig.engine.DrawStep(300);
  EXPECT_EQ(rig.Pixel(5, 5), 0x00FF00u);
}

TEST(TransitionPanZoom, FitKeepingAspectCentresTheLargestFit) {
  const struct {
    int32_t w, h, fw, fh, width, height, x, y;
  } cases[] = {
      {100, 50, 40, 40, 40, 20, 0, 10}, {50, 100, 40, 40, 20, 40, 10, 0}, {60, 50, 40, 40, 40, 33, 0, 3},
      {10, 10, 40, 20, 20, 20, 10, 0},  {0, 5, 40, 40, 0, 0, 0, 0},       {5, -1, 40, 40, 0, 0, 0, 0},
      {5, 5, 0, 40, 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    int32_t w = -1, h = -1, x = -1, y = -1;
    TIETransitionEffects::FitKeepingAspect(c.w, c.h, c.fw, c.fh, w, h, x, y);
    EXPECT_EQ(w, c.width) << c.w << "x" << c.h << " in " << c.fw << "x" << c.fh;
    EXPECT_EQ(h, c.height) << c.w << "x" << c.h << " in " << c.fw << "x" << c.fh;
    EXPECT_EQ(x, c.x) << c.w << "x" << c.h << " in " << c.fw << "x" << c.fh;
    EXPECT_EQ(y, c.y) << c.w << "x" << c.h << " in " << c.fw << "x" << c.fh;
  }
}

TEST(TransitionPanZoom, ARunDoesNotPaintTheEndPicture) {
  Rig rig(iettPanZoom);
  TIEBitmap source(16, 8, ie24RGB);
  rig.engine->SetSourceImage(&source);
  rig.engine->SetPanZoomStart(Rect(0, 0, 16, 8));
  rig.engine->SetPanZoomEnd(Rect(4, 2, 12, 6));
  rig.engine->StartTransition(true);
  rig.TickAt(0);
  rig.TickAt(1000);
  EXPECT_EQ(rig.events, (std::vector<std::string>{"step 0", "paint 0", "step 0", "paint 0", "stop"}));
  EXPECT_EQ(rig.view.updates, 1);
}

}  // namespace
