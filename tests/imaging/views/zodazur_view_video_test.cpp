// The single-image view as the window of its I/O component's media graph: new-frame and graph-event
// messages become the view's events (only for a live, connected graph, the new-frame flag cleared
// while the event runs), the video paints itself into the current layer's rectangle of the window
// with the part of the frame that the layer shows, and a recreated window becomes the graph's
// notify window.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/io/ie_direct_show.h"
#include "imaging/io/zodazur_io.h"
#include "imaging/views/zodazur_view.h"
#include "platform/media/media_player.h"
#include "platform/ui/forms.h"
#include "platform/ui/window_dc.h"
#include "tests/support/media_fixtures.h"
#include "tests/support/ui_fixture.h"
#include "tests/support/ui_input.h"

namespace {

template <typename Pred>
bool PumpUntil(Pred pred, int timeoutMs = 5000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < end) {
    Application->ProcessMessages();
    if (pred()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return false;
}

testsupport::VideoSpec Clip(const char* Container, const char* Codec, int Frames) {
  testsupport::VideoSpec s;
  s.Container = Container;
  s.Codec = Codec;
  s.Frames = Frames;
  return s;
}

class ViewVideoTest : public testsupport::FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    form->SetBounds(10, 10, 400, 400);
    v = new TZodazUrView(form);
    v->SetParent(form);
    v->SetBorderStyle(bsNone);
    v->SetScrollBars(ssNone);
    v->SetBounds(0, 0, 100, 100);
    v->SetBackground(clWhite);
  }
  void TearDown() override {
    delete v;
    FormTest::TearDown();
  }
  TZodazUrView* v = nullptr;
};

// A played clip: every frame message reaches OnDShowNewFrame with the graph's flag clear meanwhile,
// the graph's events reach OnDShowEvent, which reads them from the graph.
TEST_F(ViewVideoTest, MessagesOfThePlayingGraphBecomeEvents) {
  TIEDirectShow* ds = v->GetIO()->GetDirectShow();
  EXPECT_EQ(ds->NotifyWindow(), v->Handle());
  ds->InputFileName = mediatest::Video(Clip("avi", "ffv1", 10));
  ds->UseSampleGrabber = true;
  ds->ClockSource = 1;
  int frames = 0;
  bool flagClear = true;
  v->OnDShowNewFrame = [&](TObject* Sender) {
    EXPECT_EQ(Sender, v);
    ++frames;
    flagClear = flagClear && !ds->NewFrameNotify();
  };
  std::vector<int32_t> codes;
  v->OnDShowEvent = [&](TObject* Sender) {
    EXPECT_EQ(Sender, v);
    int32_t code = 0;
    while (ds->GetEvent(code)) codes.push_back(code);
  };
  ds->Connect();
  ds->Run();
  ASSERT_TRUE(PumpUntil([&] { return std::find(codes.begin(), codes.end(), EC_COMPLETE) != codes.end(); }));
  // The last frame's message may trail the end-of-stream event.
  EXPECT_TRUE(PumpUntil([&] { return frames >= 1; }));
  EXPECT_TRUE(flagClear);
  EXPECT_TRUE(ds->NewFrameNotify());
  ds->Disconnect();
}

// Messages carrying a graph that is not connected fire nothing (the new-frame flag is still
// restored); one carrying a destroyed graph, or no graph at all, is ignored.
TEST_F(ViewVideoTest, MessagesOfIdleOrDeadGraphsFireNothing) {
  int frames = 0, events = 0;
  v->OnDShowNewFrame = [&](TObject*) { ++frames; };
  v->OnDShowEvent = [&](TObject*) { ++events; };
  auto idle = std::make_unique<TIEDirectShow>();
  idle->SetNewFrameNotify(false);
  v->Perform(IEM_NEWFRAME, 0, reinterpret_cast<LPARAM>(idle.get()));
  EXPECT_TRUE(idle->NewFrameNotify());
  v->Perform(IEM_DSHOWEVENT, 0, reinterpret_cast<LPARAM>(idle.get()));
  const LPARAM dead = reinterpret_cast<LPARAM>(idle.get());
  idle.reset();
  v->Perform(IEM_NEWFRAME, 0, dead);
  v->Perform(IEM_DSHOWEVENT, 0, dead);
  v->Perform(IEM_NEWFRAME, 0, 0);
  EXPECT_EQ(frames, 0);
  EXPECT_EQ(events, 0);
  // A connected one fires.
  auto live = std::make_unique<TIEDirectShow>();
  live->InputFileName = mediatest::Video(Clip("avi", "ffv1", 10));
  live->UseSampleGrabber = true;
  live->Connect();
  v->Perform(IEM_NEWFRAME, 0, reinterpret_cast<LPARAM>(live.get()));
  v->Perform(IEM_DSHOWEVENT, 0, reinterpret_cast<LPARAM>(live.get()));
  EXPECT_EQ(frames, 1);
  EXPECT_EQ(events, 1);
}

// A 64 x 48 red video over a 128 x 96 blue bitmap at 100 %: the view shows the bitmap's left
// 100 x 96 at (0, 2), so the video's left 50 x 48 goes there, and the window shows red where the
// back buffer would show blue. Stopped, the back buffer shows again.
TEST_F(ViewVideoTest, VideoPaintsIntoTheLayersRectangle) {
  TIEBitmap* b = v->IEBitmap();
  b->Allocate(128, 96, ie24RGB);
  b->Fill(static_cast<double>(clBlue));
  v->Update();
  testsupport::VideoSpec spec = Clip("avi", "ffv1", 5);
  spec.FlatColour = true;
  spec.R = 255;
  TIEDirectShow* ds = v->GetIO()->GetDirectShow();
  ds->InputFileName = mediatest::Video(spec);
  ds->UseWindowlessRenderer = true;
  ds->Connect();
  ds->Pause();
  // The first paint positions the video, the next shows it.
  for (int i = 0; i < 2; ++i) {
    v->Invalidate();
    UpdateWindow(v->Handle());
  }
  TRect source, dest;
  ds->Player()->Presenter().GetVideoPosition(source, dest);
  EXPECT_EQ(source, (TRect{0, 0, 50, 48}));
  EXPECT_EQ(dest, (TRect{0, 2, 100, 98}));
  auto isRed = [](uint32_t c) { return (c & 0xFF) >= 240 && ((c >> 8) & 0xFF) <= 15 && ((c >> 16) & 0xFF) <= 15; };
  for (const TPoint p : {TPoint{50, 50}, TPoint{1, 3}, TPoint{98, 96}}) EXPECT_TRUE(isRed(testsupport::WindowPixel(v, p.X, p.Y))) << p.X << "," << p.Y << ": " << std::hex << testsupport::WindowPixel(v, p.X, p.Y);
  EXPECT_EQ(testsupport::WindowPixel(v, 50, 0), 0xFFFFFFu);  // the background above the image
  ds->StopWhenReady();
  v->Invalidate();
  UpdateWindow(v->Handle());
  EXPECT_EQ(testsupport::WindowPixel(v, 50, 50), 0xFF0000u);  // blue, the bitmap
}

// A window made again becomes the graph's notify window at the next paint.
TEST_F(ViewVideoTest, ARecreatedWindowBecomesTheNotifyWindow) {
  TIEDirectShow* ds = v->GetIO()->GetDirectShow();
  v->IEBitmap()->Allocate(10, 10, ie24RGB);
  v->Update();
  v->Invalidate();
  UpdateWindow(v->Handle());
  const HWND first = v->Handle();
  EXPECT_EQ(ds->NotifyWindow(), first);
  v->RecreateWnd();
  const HWND second = v->Handle();
  ASSERT_NE(second, first);
  v->Invalidate();
  UpdateWindow(second);
  EXPECT_EQ(ds->NotifyWindow(), second);
}

}  // namespace
