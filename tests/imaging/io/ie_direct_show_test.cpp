// The media graph over the player, and the I/O component's media-file frames, on videos made at
// test time.
#include "imaging/io/ie_direct_show.h"
#include "imaging/io/media_frames.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "imaging/core/ie_bitmap.h"
#include "imaging/io/format_detect.h"
#include "imaging/io/zodazur_io.h"
#include "platform/media/media_player.h"
#include "platform/ui/forms.h"
#include "platform/ui/message_queue.h"
#include "tests/imaging/io/io_test_support.h"
#include "tests/support/media_fixtures.h"

using testsupport::VideoSpec;

namespace {

VideoSpec Clip(const std::string& container, const std::string& codec, int frames) {
  VideoSpec s;
  s.Container = container;
  s.Codec = codec;
  s.Frames = frames;
  s.Gop = 25;
  return s;
}

// The frame number a 64 x 48 bitmap shows (its blocks read from the rows, top first).
int BitmapNumber(TIEBitmap& b) {
  int n = 0;
  for (int by = 0; by < b.Height() / 16; ++by) {
    const auto* row = static_cast<const uint8_t*>(b.GetRow(by * 16 + 8));
    for (int bx = 0; bx < b.Width() / 16; ++bx) {
      const uint8_t* p = row + (bx * 16 + 8) * 3;
      if ((p[0] + p[1] + p[2]) / 3 > 160) n |= 1 << (by * (b.Width() / 16) + bx);
    }
  }
  return n;
}

// Waits for Pred without processing events (posted messages stay queued).
template <class Pred>
bool WaitUntil(Pred pred, int timeoutMs = 5000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

std::unique_ptr<TIEDirectShow> Grabbing(const std::string& file) {
  auto ds = std::make_unique<TIEDirectShow>();
  ds->InputFileName = file;
  ds->UseSampleGrabber = true;
  ds->ClockSource = 1;
  return ds;
}

}  // namespace

// An object never connected answers 0 everywhere and leaves a bitmap alone.
TEST(IEDirectShowTest, NeverConnected) {
  TIEDirectShow ds;
  EXPECT_FALSE(ds.Connected());
  EXPECT_EQ(ds.GetState(), 0);
  EXPECT_EQ(ds.GetDuration(), 0);
  EXPECT_EQ(ds.GetPosition(), 0);
  EXPECT_EQ(ds.GetAvgTimePerFrame(), 0);
  int32_t code;
  EXPECT_FALSE(ds.GetEvent(code));
  TIEBitmap b(5, 4, ie8g);
  ds.GetCurrentFrame(&b);
  EXPECT_EQ(b.Width(), 5);
  EXPECT_EQ(b.PixelFormat(), ie8g);
  EXPECT_TRUE(ds.VideoInputNames.empty());
  EXPECT_TRUE(ds.VideoFormats.empty());
  EXPECT_TRUE(ds.CrossbarInputNames.empty());
  EXPECT_TRUE(ds.NewFrameNotify());
}

// A file that cannot be played leaves a connected graph whose duration and position read 0.
TEST(IEDirectShowTest, UnplayableFileConnectsEmpty) {
  auto ds = Grabbing("/nonexistent/clip.mp4");
  ds->Connect();
  EXPECT_TRUE(ds->Connected());
  ds->Pause();
  EXPECT_EQ(ds->GetDuration(), 0);
  EXPECT_EQ(ds->GetPosition(), 0);
  ds->Disconnect();
  EXPECT_FALSE(ds->Connected());
}

// Frames by number through the grabber: the bitmap becomes ie24RGB at the video's size (its
// storage reused when it already is), and shows the frame at the position.
TEST(IEDirectShowTest, GrabsTheFrameAtThePosition) {
  auto ds = Grabbing(mediatest::Video(Clip("avi", "ffv1", 30)));
  ds->Connect();
  TIEBitmap b(7, 3, ie8g);
  // No sample yet: the bitmap stays as it was.
  ds->CopySampleToBitmap(&b);
  EXPECT_EQ(b.Width(), 7);
  EXPECT_EQ(b.PixelFormat(), ie8g);
  ds->Pause();
  ds->SetTimeFormat(tuFrame);
  EXPECT_EQ(ds->GetTimeFormat(), tuFrame);
  EXPECT_EQ(ds->GetDuration(), 30);
  EXPECT_EQ(ds->GetAvgTimePerFrame(), 400000);
  ds->SetPosition(17);
  ds->GetCurrentFrame(&b);
  ASSERT_EQ(b.PixelFormat(), ie24RGB);
  ASSERT_EQ(b.Width(), 64);
  ASSERT_EQ(b.Height(), 48);
  EXPECT_EQ(BitmapNumber(b), 17);
  void* storage = b.GetRow(0);
  ds->SetPosition(3);
  ds->GetCurrentFrame(&b);
  EXPECT_EQ(BitmapNumber(b), 3);
  EXPECT_EQ(b.GetRow(0), storage);
  int32_t w = 0, h = 0;
  std::string name = "kept";
  EXPECT_TRUE(ds->GetCurrentVideoFormat(w, h, name));
  EXPECT_EQ(w, 64);
  EXPECT_EQ(h, 48);
  EXPECT_EQ(name, "kept");
  // Storage that is not one bottom-up block takes the rows one by one.
  TIEBitmap file(64, 48, ie24RGB);
  file.SetLocation(ieTBitmap);
  ds->SetPosition(21);
  ds->GetCurrentFrame(&file);
  EXPECT_EQ(BitmapNumber(file), 21);
}

// A set video compressor keeps the grabber out of the graph: nothing to copy.
TEST(IEDirectShowTest, CompressorSuppressesTheGrabber) {
  auto ds = Grabbing(mediatest::Video(Clip("avi", "ffv1", 5)));
  ds->VideoCompressor = std::make_shared<TIEDSFilter>();
  ds->Connect();
  ds->Pause();
  TIEBitmap b(7, 3, ie8g);
  ds->GetCurrentFrame(&b);
  EXPECT_EQ(b.PixelFormat(), ie8g);
  EXPECT_EQ(ds->GetAvgTimePerFrame(), 0);
}

// The windowless renderer: the native size, the current image, and a resample back to the
// bitmap's earlier size (only when it had one).
TEST(IEDirectShowTest, WindowlessRenderer) {
  auto ds = std::make_unique<TIEDirectShow>();
  ds->InputFileName = mediatest::Video(Clip("mp4", "libx264", 10));
  ds->UseWindowlessRenderer = true;
  ds->Connect();
  ds->Pause();
  int32_t w = 0, h = 0;
  ds->GetNativeVideoSize(w, h);
  EXPECT_EQ(w, 64);
  EXPECT_EQ(h, 48);
  TIEBitmap empty;
  ds->GetCurrentFrame(&empty, true);
  EXPECT_EQ(empty.Width(), 64);
  EXPECT_EQ(BitmapNumber(empty), 0);
  TIEBitmap small(32, 24, ie24RGB);
  ds->GetCurrentFrame(&small, true);
  EXPECT_EQ(small.Width(), 32);
  EXPECT_EQ(small.Height(), 24);
}

// Graph events and new frames post to the notify window with LParam = the object; after
// Disconnect none is left pending, and a destroyed object is no longer live.
TEST(IEDirectShowTest, NoMessageOutlivesItsObject) {
  auto* form = new TForm(nullptr);
  const HWND window = form->Handle();
  auto ds = Grabbing(mediatest::Video(Clip("mp4", "libx264", 30)));
  ds->SetNotifyWindow(window, IEM_NEWFRAME, IEM_DSHOWEVENT);
  const void* object = ds.get();
  EXPECT_TRUE(TIEDirectShow::IsLive(object));
  ds->Connect();
  ds->Run();
  int32_t code = 0;
  ASSERT_TRUE(WaitUntil([&] { return ds->GetEvent(code) && code == EC_COMPLETE; }));
  MSG msg;
  ASSERT_TRUE(PeekMessage(&msg, window, IEM_NEWFRAME, IEM_NEWFRAME, PM_NOREMOVE));
  EXPECT_EQ(msg.lParam, reinterpret_cast<LPARAM>(object));
  ASSERT_TRUE(WaitUntil([&] { return PeekMessage(&msg, window, IEM_DSHOWEVENT, IEM_DSHOWEVENT, PM_NOREMOVE); }));
  EXPECT_EQ(msg.lParam, reinterpret_cast<LPARAM>(object));
  // Someone else's message on the same number stays.
  PostMessage(window, IEM_NEWFRAME, 0, 12345);
  ds.reset();
  EXPECT_FALSE(TIEDirectShow::IsLive(object));
  ASSERT_TRUE(PeekMessage(&msg, window, IEM_NEWFRAME, IEM_NEWFRAME, PM_REMOVE));
  EXPECT_EQ(msg.lParam, 12345);
  EXPECT_FALSE(PeekMessage(&msg, window, IEM_NEWFRAME, IEM_DSHOWEVENT, PM_NOREMOVE));
  delete form;
}

// While NewFrameNotify is clear no new-frame message is posted; a second Connect stops the first
// graph and removes what it posted.
TEST(IEDirectShowTest, NotifyFlagAndReconnect) {
  auto* form = new TForm(nullptr);
  const HWND window = form->Handle();
  auto ds = Grabbing(mediatest::Video(Clip("avi", "mjpeg", 20)));
  ds->SetNotifyWindow(window, IEM_NEWFRAME, IEM_DSHOWEVENT);
  ds->Connect();
  ds->SetNewFrameNotify(false);
  ds->Run();
  int32_t code = 0;
  ASSERT_TRUE(WaitUntil([&] { return ds->GetEvent(code) && code == EC_COMPLETE; }));
  MSG msg;
  // The graph queues an event before it posts the message: the message may trail a little.
  EXPECT_TRUE(WaitUntil([&] { return PeekMessage(&msg, window, IEM_DSHOWEVENT, IEM_DSHOWEVENT, PM_NOREMOVE); }));
  EXPECT_FALSE(PeekMessage(&msg, window, IEM_NEWFRAME, IEM_NEWFRAME, PM_NOREMOVE));
  ds->Connect();
  EXPECT_TRUE(ds->NewFrameNotify());
  EXPECT_EQ(ds->GetState(), 0);
  EXPECT_FALSE(PeekMessage(&msg, window, IEM_NEWFRAME, IEM_DSHOWEVENT, PM_NOREMOVE));
  ds.reset();
  delete form;
}

namespace {

// A window whose IEM_NEWFRAME and IEM_DSHOWEVENT go through the view's handling.
class MediaWindow : public TForm {
 public:
  using TForm::TForm;
  void WndProc(TMessage& m) override {
    if (m.Msg == IEM_NEWFRAME) {
      TIEDirectShow::HandleNewFrameMessage(m.LParam, [&] {
        ++newFrames;
        std::this_thread::sleep_for(std::chrono::milliseconds(handlerMs));
      });
      return;
    }
    if (m.Msg == IEM_DSHOWEVENT) {
      TIEDirectShow::HandleEventMessage(m.LParam, [&] { ++events; });
      return;
    }
    TForm::WndProc(m);
  }
  int newFrames = 0, events = 0, handlerMs = 0;
};

}  // namespace

// A slow new-frame handler: frames that arrive while it runs post nothing, so the handler runs far
// fewer times than there are frames and no backlog builds up. A message about a destroyed object
// fires nothing.
TEST(IEDirectShowTest, NewFrameThrottleWithASlowHandler) {
  auto* window = new MediaWindow(nullptr);
  window->handlerMs = 120;
  auto ds = Grabbing(mediatest::Video(Clip("avi", "mjpeg", 25)));
  ds->ClockSource = 2;  // real time: 25 frames in a second
  ds->SetNotifyWindow(window->Handle(), IEM_NEWFRAME, IEM_DSHOWEVENT);
  ds->Connect();
  ds->Run();
  int32_t code = 0;
  bool complete = false;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!complete && std::chrono::steady_clock::now() < end) {
    Application->ProcessMessages();
    while (ds->GetEvent(code)) complete = complete || code == EC_COMPLETE;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_TRUE(complete);
  Application->ProcessMessages();
  EXPECT_EQ(ds->Player()->FramesShown() + ds->Player()->FramesDropped(), 25);
  EXPECT_GE(window->newFrames, 4);
  EXPECT_LE(window->newFrames, 14);
  EXPECT_GE(window->events, 1);
  EXPECT_TRUE(ds->NewFrameNotify());
  // A message about a dead object fires nothing.
  const LPARAM dead = reinterpret_cast<LPARAM>(ds.get());
  ds.reset();
  const int before = window->newFrames;
  PostMessage(window->Handle(), IEM_NEWFRAME, 0, dead);
  Application->ProcessMessages();
  EXPECT_EQ(window->newFrames, before);
  delete window;
}

// ------------------------------------------------------------------------------ media-file frames

// A 10-second clip at 25 frames a second: 250 frames of 40 ms. An AVI is addressed by frames
// (step 1); an MP4 stays in media time with step 400000, so frame 10 is read at 4 000 000.
TEST(IOMediaFileTest, CountsAndLoadsFrames) {
  for (const char* container : {"avi", "mp4"}) {
    VideoSpec s = Clip(container, std::string(container) == "avi" ? "mjpeg" : "libx264", 250);
    TZodazUrIO io(nullptr);
    EXPECT_EQ(io.OpenMediaFile(mediatest::Video(s)), 250) << container;
    EXPECT_TRUE(io.IsOpenMediaFile());
    EXPECT_FALSE(io.Aborting());
    EXPECT_EQ(io.Params().MediaFileFrameCount, 250);
    EXPECT_EQ(io.Params().Width, 64);
    EXPECT_EQ(io.Params().OriginalHeight, 48);
    for (int k : {10, 249, 0, 123}) {
      io.LoadFromMediaFile(k);
      EXPECT_EQ(BitmapNumber(*io.IEBitmap()), k) << container;
    }
    EXPECT_EQ(io.Params().MediaFileFrameDelayTime, 40);
    io.CloseMediaFile();
    EXPECT_FALSE(io.IsOpenMediaFile());
  }
}

// Matroska keeps times in milliseconds: at 30000/1001 a clip of 30 frames reads 1.001 s, short of
// 30 frame durations, and frame k starts up to half a millisecond off k x 333666. Every frame
// still counts and each loads as itself.
TEST(IOMediaFileTest, MillisecondTimesLoseNoFrame) {
  VideoSpec s = Clip("matroska", "ffv1", 30);
  s.RateNum = 30000;
  s.RateDen = 1001;
  s.Gop = 1;
  TZodazUrIO io(nullptr);
  ASSERT_EQ(io.OpenMediaFile(mediatest::Video(s)), 30);
  for (int k = 0; k < 30; ++k) {
    io.LoadFromMediaFile(k);
    EXPECT_EQ(BitmapNumber(*io.IEBitmap()), k);
  }
  EXPECT_EQ(io.Params().MediaFileFrameDelayTime, 33);
  EXPECT_EQ(MediaTimeFrameCount(10, 4), 3);  // 2.5 frames
  EXPECT_EQ(MediaTimeFrameCount(9, 4), 2);
  EXPECT_EQ(MediaTimeFrameCount(1, 400000), 1);
  EXPECT_EQ(MediaTimeFrameCount(0, 400000), 0);
  EXPECT_EQ(MediaTimeFrameCount(400000, 0), 0);
}

// Before OpenMediaFile nothing changes; an unplayable file gives 0 and stays open with Aborting.
TEST(IOMediaFileTest, NothingOpenAndUnplayable) {
  TZodazUrIO io(nullptr);
  io.IEBitmap()->Allocate(3, 2, ie8g);
  io.LoadFromMediaFile(4);
  EXPECT_EQ(io.IEBitmap()->Width(), 3);
  EXPECT_EQ(io.OpenMediaFile("/nonexistent/clip.avi"), 0);
  EXPECT_TRUE(io.IsOpenMediaFile());
  EXPECT_TRUE(io.Aborting());
}

// The format registry counts the frames of media files through a bare component.
TEST(IOMediaFileTest, FileImageCount) {
  MediaFileFrameCounter = CountMediaFileFrames;
  EXPECT_EQ(GetFileImageCount(mediatest::Video(Clip("mp4", "libx264", 12))), 12);
  EXPECT_EQ(GetFileImageCount(mediatest::Video(Clip("avi", "ffv1", 9))), 9);
}
