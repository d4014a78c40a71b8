// Animation painters: timing under a virtual clock, loops, disposal, stopping, and the painters'
// life beside the image (run once more under ThreadSanitizer).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>

#include "pictures/gif_painter.h"
#include "pictures/gif_painter_clock.h"
#include "platform/system/ticks.h"
#include "platform/ui/forms.h"
#include "platform/ui/message_queue.h"
#include "tests/pictures/gif_test_support.h"

using namespace giftest;

namespace {

// Time that moves only by the waits and sleeps asked for; a wait for an event that is set returns
// at once, a wait without limit waits (really) for the event.
class VirtualClock : public TGIFPainterClock {
 public:
  uint32_t Now() override { return now_; }
  bool Wait(TEvent& event, uint32_t ms) override {
    Record(ms);
    if (ms == INFINITE) {
      event.WaitFor(INFINITE);
      return true;
    }
    if (event.WaitFor(0) == wrSignaled) return true;
    now_ += ms;
    return false;
  }
  void Sleep(uint32_t ms) override {
    if (ms > 0) Record(ms);
    now_ += ms;
  }
  void Advance(uint32_t ms) { now_ += ms; }
  std::vector<uint32_t> Waits() {
    std::lock_guard<std::mutex> g(lock_);
    return waits_;
  }

 private:
  void Record(uint32_t ms) {
    std::lock_guard<std::mutex> g(lock_);
    waits_.push_back(ms);
  }
  std::atomic<uint32_t> now_{100000};
  std::mutex lock_;
  std::vector<uint32_t> waits_;
};

struct VirtualTime {
  VirtualClock clock;
  VirtualTime() { SetGIFPainterClock(&clock); }
  ~VirtualTime() { SetGIFPainterClock(nullptr); }
};

// Serves the painters' calls until Done, for at most a few seconds.
bool ServeUntil(const std::function<bool()>& done, int ms = 5000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    CheckSynchronize(2);
  }
  return true;
}

// Frames of one colour each (colour i: Colors(8)[i]), with the given delays and disposals.
std::unique_ptr<TGIFImage> Animation(const std::vector<std::pair<int, int>>& frames, int loops = -1,
                                     bool withDelay = true) {
  GifFile f(4, 4, Colors(8));
  if (loops >= 0) f.Loop(loops);
  for (size_t i = 0; i < frames.size(); ++i) {
    if (withDelay) f.Gce(frames[i].second, frames[i].first);
    f.Frame(0, 0, 4, 4, Bytes(16, static_cast<uint8_t>(i % 8)));
  }
  Loaded r = Load(f.Done());
  EXPECT_EQ(r.error, "");
  return std::move(r.image);
}

// Painter threads wake the user-interface thread through its message queue; what they posted runs
// before the next test (and never after the queue is gone at exit).
class GIFPainter : public testing::Test {
 protected:
  void TearDown() override { Application->ProcessMessages(); }
};

struct Recorder {
  std::vector<int> shown;
  int repeats = 0;
  int begins = 0;
  int ends = 0;
  void Attach(TGIFImage& image) {
    image.OnFrameShown = [this](TObject* s) { shown.push_back(static_cast<TGIFPainter*>(s)->ActiveImage()); };
    image.OnRepeat = [this](TObject*) { ++repeats; };
    image.OnPaintBegin = [this](TObject*) { ++begins; };
    image.OnPaintEnd = [this](TObject*) { ++ends; };
  }
};

TEST_F(GIFPainter, WaitsFollowTheDelaysTheRateAndTheTimeDrawingTook) {
  struct Case {
    const char* name;
    int delay;
    int rate;
    bool withDelay;
    uint32_t drawing;  // virtual milliseconds each frame's drawing takes
    uint32_t wait;
  };
  const Case cases[] = {
      {"5 units at rate 100", 5, 100, true, 0, 60},
      {"less half the time drawing took", 5, 100, true, 20, 50},
      {"rate 200", 5, 200, true, 0, 30},
      {"1 unit is raised to 3", 1, 100, true, 0, 36},
      {"no delay counts as 10 units", 0, 100, false, 0, 120},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    VirtualTime time;
    auto image = Animation({{c.delay, 1}, {c.delay, 1}, {c.delay, 1}}, 1, c.withDelay);
    image->SetAnimationRate(c.rate);
    Recorder rec;
    rec.Attach(*image);
    image->OnFrameShown = [&](TObject* s) {
      rec.shown.push_back(static_cast<TGIFPainter*>(s)->ActiveImage());
      time.clock.Advance(c.drawing);
    };
    TBitmap canvas;
    canvas.SetSize(4, 4);
    TGIFPainter* slot = nullptr;
    TGIFPainter* painter = image->CreatePainter(canvas.Canvas(), TRect{0, 0, 4, 4},
                                                gpfThreaded | gpfAnimated | gpfRepeat, &slot);
    ASSERT_NE(painter, nullptr);
    EXPECT_EQ(slot, painter);
    painter->StartPainting();
    ASSERT_TRUE(ServeUntil([&] { return slot == nullptr; }));
    EXPECT_EQ(rec.shown, (std::vector<int>{0, 1, 2}));
    // Frame 0 comes at once; before frames 1 and 2 the previous frame's delay.
    EXPECT_EQ(time.clock.Waits(), (std::vector<uint32_t>{c.wait, c.wait}));
    EXPECT_EQ(rec.ends, 1);
  }
}

TEST_F(GIFPainter, RateZeroShowsTheFirstFrameAndWaitsUntilStoppedAndANegativeRateNeverWaits) {
  VirtualTime time;
  auto image = Animation({{5, 1}, {5, 1}, {5, 1}}, 1);
  image->SetAnimationRate(0);
  Recorder rec;
  rec.Attach(*image);
  TBitmap canvas;
  canvas.SetSize(4, 4);
  TGIFPainter* slot = nullptr;
  image->CreatePainter(canvas.Canvas(), TRect{0, 0, 4, 4}, gpfThreaded | gpfAnimated, &slot)->StartPainting();
  ASSERT_TRUE(ServeUntil([&] { return !time.clock.Waits().empty(); }));
  EXPECT_EQ(time.clock.Waits(), std::vector<uint32_t>{INFINITE});
  EXPECT_EQ(rec.shown, std::vector<int>{0});
  image->StopPainting();
  EXPECT_EQ(slot, nullptr);
  EXPECT_TRUE(image->Painters().empty());

  VirtualTime fast;
  auto quick = Animation({{5, 1}, {5, 1}, {5, 1}}, 1);
  quick->SetAnimationRate(-1);
  Recorder all;
  all.Attach(*quick);
  TGIFPainter* other = nullptr;
  quick->CreatePainter(canvas.Canvas(), TRect{0, 0, 4, 4}, gpfThreaded | gpfAnimated, &other)->StartPainting();
  ASSERT_TRUE(ServeUntil([&] { return other == nullptr; }));
  EXPECT_EQ(all.shown, (std::vector<int>{0, 1, 2}));
  EXPECT_TRUE(fast.clock.Waits().empty());
}

TEST_F(GIFPainter, LoopCountsRepeatAsTheLoopingExtensionAndTheFlagsSay) {
  struct Case {
    const char* name;
    int loops;
    TGIFPaintFlags flags;
    int passes;  // 0: without end (stopped after 4)
  };
  const Case cases[] = {
      {"count 0, threaded: without end", 0, gpfThreaded | gpfAnimated | gpfRepeat, 0},
      {"count 0, unthreaded: once", 0, gpfAnimated | gpfRepeat, 1},
      {"count 0, unthreaded, forever", 0, gpfAnimated | gpfRepeat | gpfRepeatForever, 0},
      {"count 3, threaded", 3, gpfThreaded | gpfAnimated | gpfRepeat, 3},
      {"count 3 without gpfRepeat", 3, gpfThreaded | gpfAnimated, 1},
      {"no looping extension, threaded", -1, gpfThreaded | gpfAnimated | gpfRepeat, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    VirtualTime time;
    auto image = Animation({{2, 1}, {2, 1}}, c.loops);
    Recorder rec;
    rec.Attach(*image);
    image->OnRepeat = [&](TObject* s) {
      if (++rec.repeats >= 3) static_cast<TGIFPainter*>(s)->Stop();  // an endless one, stopped
    };
    TBitmap canvas;
    canvas.SetSize(4, 4);
    TGIFPainter* slot = nullptr;
    TGIFPainter* painter = image->CreatePainter(canvas.Canvas(), TRect{0, 0, 4, 4}, c.flags, &slot);
    if (painter) painter->StartPainting();
    ASSERT_TRUE(ServeUntil([&] { return slot == nullptr; }));
    if (c.passes == 0) {
      EXPECT_EQ(rec.repeats, 3);
    } else {
      EXPECT_EQ(static_cast<int>(rec.shown.size()), 2 * c.passes);
      EXPECT_EQ(rec.repeats, c.passes - 1);
    }
  }
}

TEST_F(GIFPainter, DisposalThreeAfterOneRestoresThePictureFromBeforeTheFrame) {
  VirtualTime time;
  // Frame 0 fills the screen (colour 0, kept); frame 1 covers the left half (colour 1) and is taken
  // away again; frame 2 is a transparent pixel in the corner.
  GifFile f(4, 4, Colors(8));
  f.Gce(1, 2).Frame(0, 0, 4, 4, Bytes(16, 0));
  f.Gce(3, 2).Frame(0, 0, 2, 4, Bytes(8, 1));
  f.Gce(1, 2, true, 7).Frame(3, 3, 1, 1, {7});
  Loaded r = Load(f.Done());
  TGIFImage& image = *r.image;
  TBitmap canvas;
  canvas.SetPixelFormat(pf24bit);
  canvas.SetSize(4, 4);
  std::vector<TColor> left;
  image.OnFrameShown = [&](TObject*) { left.push_back(canvas.Canvas()->Pixels(0, 0)); };
  TGIFPainter* slot = nullptr;
  image.CreatePainter(canvas.Canvas(), TRect{0, 0, 4, 4}, gpfAnimated | gpfTransparent, &slot);
  EXPECT_EQ(slot, nullptr);  // unthreaded: done inside the call
  const TColor c0 = static_cast<TColor>(RGB(0, 5, 9)), c1 = static_cast<TColor>(RGB(17, 36, 16));
  EXPECT_EQ(left, (std::vector<TColor>{c0, c1, c0}));
}

TEST_F(GIFPainter, StoppingDuringALongDelayEndsAtOnce) {
  // Real time: a delay of 65535 hundredths is nearly 13 minutes.
  auto image = Animation({{65535, 1}, {65535, 1}}, 0);
  Recorder rec;
  rec.Attach(*image);
  TBitmap canvas;
  canvas.SetSize(4, 4);
  TGIFPainter* slot = nullptr;
  image->CreatePainter(canvas.Canvas(), TRect{0, 0, 4, 4}, gpfThreaded | gpfAnimated | gpfRepeat, &slot)->StartPainting();
  ASSERT_TRUE(ServeUntil([&] { return rec.shown.size() == 1; }));
  const auto start = std::chrono::steady_clock::now();
  image->StopPainting();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(slot, nullptr);
}

TEST_F(GIFPainter, DestroyingAnImageStopsItsThreePaintersFirst) {
  VirtualTime time;
  auto image = Animation({{3, 1}, {3, 2}, {3, 3}}, 0);
  std::atomic<int> shown{0};
  image->OnFrameShown = [&](TObject*) { ++shown; };
  TBitmap canvases[3];
  TGIFPainter* slots[3] = {};
  for (int i = 0; i < 3; ++i) {
    canvases[i].SetSize(8, 8);
    image->CreatePainter(canvases[i].Canvas(), TRect{0, 0, 8, 8}, gpfThreaded | gpfAnimated | gpfRepeat, &slots[i])
        ->StartPainting();
  }
  ASSERT_TRUE(ServeUntil([&] { return shown > 20; }));
  EXPECT_EQ(image->Painters().size(), 3u);
  image.reset();
  for (TGIFPainter* slot : slots) EXPECT_EQ(slot, nullptr);
}

TEST_F(GIFPainter, AnAnimatedDrawPlaysIntoTheCachedPictureAndKeepsItsPainter) {
  VirtualTime time;
  auto image = Animation({{2, 1}, {2, 1}}, 0);
  image->SetPaintFlags(gpfThreaded | gpfAnimated | gpfRepeat);
  TBitmap canvas;
  canvas.SetPixelFormat(pf24bit);
  canvas.SetSize(8, 8);
  canvas.Canvas()->StretchDraw(TRect{0, 0, 8, 8}, image.get());
  TGIFPainter* painter = image->DrawPainter();
  ASSERT_NE(painter, nullptr);
  EXPECT_TRUE(painter->Started());
  // The first frame is on the canvas, stretched from the cached picture.
  const TColor first = canvas.Canvas()->Pixels(7, 7);
  EXPECT_TRUE(first == static_cast<TColor>(RGB(0, 5, 9)) || first == static_cast<TColor>(RGB(17, 36, 16)));
  canvas.Canvas()->StretchDraw(TRect{0, 0, 8, 8}, image.get());
  EXPECT_EQ(image->DrawPainter(), painter);
  // Frames appended meanwhile stop the painter before the picture it plays into goes.
  TBitmap extra;
  extra.SetPixelFormat(pf8bit);
  extra.SetSize(4, 4);
  image->AppendFrame(&extra);
  EXPECT_EQ(image->DrawPainter(), nullptr);
  EXPECT_TRUE(image->Painters().empty());
  // Painting directly: a second draw on the same canvas and rectangle keeps the painter.
  image->SetPaintFlags(gpfThreaded | gpfAnimated | gpfRepeat | gpfPaintDirect);
  image->Draw(canvas.Canvas(), TRect{0, 0, 8, 8});
  painter = image->DrawPainter();
  ASSERT_NE(painter, nullptr);
  image->Draw(canvas.Canvas(), TRect{0, 0, 8, 8});
  EXPECT_EQ(image->DrawPainter(), painter);
  // Another rectangle replaces the painter. The old one is freed, so its address may come back:
  // look at what the painter in the slot plays into instead.
  image->Draw(canvas.Canvas(), TRect{0, 0, 4, 4});
  ASSERT_NE(image->DrawPainter(), nullptr);
  EXPECT_EQ(image->DrawPainter()->Rect(), (TRect{0, 0, 4, 4}));
  image->StopDrawPainter();
  EXPECT_EQ(image->DrawPainter(), nullptr);
}

TEST_F(GIFPainter, APaintArrivingWhileAnUnthreadedPainterWaitsDoesNothing) {
  VirtualTime time;
  auto image = Animation({{2, 1}, {2, 1}, {2, 1}}, 1);
  image->SetPaintFlags(gpfAnimated);
  TBitmap canvas;
  canvas.SetSize(4, 4);
  int nested = 0;
  int shown = 0;
  size_t paintersDuring = 0;
  image->OnFrameShown = [&](TObject*) {
    // Runs when the painter lets its messages run, during the waits before frames 1 and 2.
    if (++shown > 2) return;
    QueueOnMainThread([&] {
      ++nested;
      image->Draw(canvas.Canvas(), TRect{0, 0, 4, 4});
      paintersDuring = std::max(paintersDuring, image->Painters().size());
    });
  };
  image->Draw(canvas.Canvas(), TRect{0, 0, 4, 4});
  Application->ProcessMessages();
  EXPECT_EQ(nested, 2);
  EXPECT_EQ(paintersDuring, 1u);
  EXPECT_TRUE(image->Painters().empty());
}

TEST_F(GIFPainter, CallbacksThatChangeTheImageWhileAPainterWaitsDoNotDeadlock) {
  VirtualTime time;
  auto image = Animation({{2, 1}, {2, 1}}, 0);
  TBitmap canvas;
  canvas.SetSize(4, 4);
  TGIFPainter* slot = nullptr;
  int shown = 0;
  image->OnFrameShown = [&](TObject*) {
    // From inside the painter's own call: the image cannot wait for the painter, it lets it go.
    if (++shown == 3) image->StopPainting();
  };
  image->CreatePainter(canvas.Canvas(), TRect{0, 0, 4, 4}, gpfThreaded | gpfAnimated | gpfRepeat, &slot)->StartPainting();
  ASSERT_TRUE(ServeUntil([&] { return slot == nullptr; }));
  EXPECT_EQ(shown, 3);
  EXPECT_TRUE(image->Painters().empty());
}

TEST_F(GIFPainter, RealTimeAnimationKeepsItsPaceWithinGenerousBounds) {
  // Three frames of 5 hundredths (60 ms each at 12 ms a unit), twice.
  auto image = Animation({{5, 1}, {5, 1}, {5, 1}}, 2);
  Recorder rec;
  rec.Attach(*image);
  TBitmap canvas;
  canvas.SetSize(4, 4);
  TGIFPainter* slot = nullptr;
  const uint32_t start = GetTickCount();
  image->CreatePainter(canvas.Canvas(), TRect{0, 0, 4, 4}, gpfThreaded | gpfAnimated | gpfRepeat, &slot)->StartPainting();
  ASSERT_TRUE(ServeUntil([&] { return slot == nullptr; }, 10000));
  const uint32_t took = GetTickCount() - start;
  EXPECT_EQ(rec.shown.size(), 6u);
  // Five waits of about 60 ms.
  EXPECT_GE(took, 200u);
  EXPECT_LE(took, 3000u);
}

}  // namespace

namespace {

TEST_F(GIFPainter, APainterThatChecksItsCanvasStopsWhenTheDeviceContextIsGone) {
  VirtualTime time;
  auto image = Animation({{2, 1}, {2, 1}}, 0);
  int shown = 0;
  image->OnFrameShown = [&](TObject*) { ++shown; };
  auto canvas = std::make_unique<TBitmap>();
  canvas->SetSize(4, 4);
  HDC dc = canvas->Canvas()->Handle();
  ASSERT_NE(GetObjectType(dc), 0u);
  TGIFPainter* slot = nullptr;
  image->CreatePainter(canvas->Canvas(), TRect{0, 0, 4, 4}, gpfThreaded | gpfAnimated | gpfRepeat | gpfCheckCanvas, &slot)
      ->StartPainting();
  ASSERT_TRUE(ServeUntil([&] { return shown == 2; }));
  canvas.reset();  // the canvas and its device context go while the painter waits
  EXPECT_EQ(GetObjectType(dc), 0u);
  ASSERT_TRUE(ServeUntil([&] { return slot == nullptr; }));
  EXPECT_LE(shown, 3);
}

}  // namespace
