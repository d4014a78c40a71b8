// Capture devices: V4L2 nodes through a scripted fake device (which nodes count, names, formats by
// meaning, sizes, rates, bit rates, standards, inputs, bounded enumerations), and virtual devices
// played live by the media player: frames against ffmpeg's own rendering of the graph, format and
// input changes while streaming, and devices that go away.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>

#include "platform/media/avi_types.h"
#include "platform/media/capture_devices.h"
#include "platform/media/media_type.h"
#include "platform/media/media_player.h"
#include "platform/media/media_settings.h"
#include "platform/media/video_sample.h"
#include "tests/support/fake_v4l2.h"
#include "tests/support/png_fixture.h"
#include "tests/support/test_support.h"
#include "tests/support/video_fixture.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

using testsupport::FakeV4L2;
using testsupport::FakeV4L2Format;
using testsupport::FakeV4L2Node;

namespace {

FakeV4L2Node Camera(const std::string& path, const std::string& card) {
  FakeV4L2Node n;
  n.Path = path;
  n.Card = card;
  FakeV4L2Format yuyv;
  yuyv.Sizes = {{160, 120}, {640, 480}};
  yuyv.Intervals = {{1, 15}, {1, 30}};
  FakeV4L2Format mjpg;
  mjpg.PixelFormat = V4L2_PIX_FMT_MJPEG;
  mjpg.Flags = V4L2_FMT_FLAG_COMPRESSED;
  mjpg.Stepwise = true;
  mjpg.Steps = {160, 1280, 16, 120, 720, 8};
  FakeV4L2Format bgr;
  bgr.PixelFormat = V4L2_PIX_FMT_BGR24;
  bgr.Sizes = {{320, 240}};
  n.Formats = {yuyv, mjpg, bgr};
  n.Inputs = {FakeV4L2::Input("Camera 1", V4L2_INPUT_TYPE_CAMERA, V4L2_STD_NTSC_M | V4L2_STD_PAL_B)};
  return n;
}

}  // namespace

TEST(CaptureDevicesTest, V4L2NodesThroughAFakeDevice) {
  FakeV4L2 fake;
  FakeV4L2Node meta;
  meta.Path = "/dev/video1";
  meta.Caps = V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING;
  FakeV4L2Node mplane;
  mplane.Path = "/dev/video2";
  mplane.Caps = V4L2_CAP_VIDEO_CAPTURE_MPLANE | V4L2_CAP_STREAMING;
  FakeV4L2Node locked;
  locked.Path = "/dev/video3";
  locked.OpenError = EACCES;
  FakeV4L2Node tv = Camera("/dev/video4", std::string(32, 'T'));  // a card name filling its field
  tv.Inputs = {FakeV4L2::Input("Composite", V4L2_INPUT_TYPE_CAMERA, V4L2_STD_PAL_B | V4L2_STD_PAL_G),
               FakeV4L2::Input("S-Video", V4L2_INPUT_TYPE_CAMERA, V4L2_STD_PAL),
               FakeV4L2::Input("Television", V4L2_INPUT_TYPE_TUNER, V4L2_STD_PAL, 0x2)};
  tv.AudioNames = {"Line", "Tuner audio"};
  tv.CurrentInput = 1;
  tv.Busy = true;
  FakeV4L2Node endless = Camera("/dev/video5", "Endless");
  endless.Endless = true;
  fake.Nodes = {Camera("/dev/video0", "Cam A"), meta, mplane, locked, tv, endless};
  fake.Install();
  SetVirtualCaptureDevices({});

  const std::vector<TCaptureDeviceInfo> devices = EnumerateCaptureDevices();
  ASSERT_EQ(devices.size(), 3u);
  const TCaptureDeviceInfo& cam = devices[0];
  EXPECT_EQ(cam.Name, "Cam A");
  EXPECT_EQ(cam.Version, "5.10.3");
  EXPECT_EQ(cam.Id, "/dev/video0");
  EXPECT_FALSE(cam.Virtual);
  EXPECT_EQ(cam.Inputs.size(), 1u);  // one input, no tuner: no crossbar
  ASSERT_EQ(cam.Capabilities.size(), 4u);
  // YUYV 160x120 and 640x480 (discrete), MJPG 160x120 .. 1280x720 by 16 x 8, BGR3 320x240.
  EXPECT_TRUE(SameGuid(cam.Capabilities[0].Subtype, FourCCSubtype(mmioFOURCC('Y', 'U', 'Y', '2'))));
  EXPECT_EQ(cam.Capabilities[1].MaxWidth, 640);
  EXPECT_EQ(cam.Capabilities[1].MinWidth, 640);
  EXPECT_EQ(cam.Capabilities[1].MinFrameInterval, 333333);  // 1/30 s is the fastest
  EXPECT_EQ(cam.Capabilities[1].BitRate, 16u * 640 * 480 * 30);
  EXPECT_EQ(cam.Capabilities[1].AnalogStandards, 0x1u | 0x10u);  // NTSC_M, PAL_B
  const TCaptureCapability& mjpg = cam.Capabilities[2];
  EXPECT_TRUE(mjpg.Compressed);
  EXPECT_EQ(mjpg.BitRate, 0u);
  EXPECT_EQ(mjpg.MinWidth, 160);
  EXPECT_EQ(mjpg.MaxHeight, 720);
  EXPECT_EQ(mjpg.StepWidth, 16);
  EXPECT_EQ(mjpg.StepHeight, 8);
  EXPECT_TRUE(SameGuid(cam.Capabilities[3].Subtype, MEDIASUBTYPE_RGB24));

  const TCaptureDeviceInfo& card = devices[1];
  EXPECT_EQ(card.Name, std::string(32, 'T'));
  ASSERT_EQ(card.Inputs.size(), 5u);  // three video inputs, then two audio inputs
  EXPECT_EQ(card.Inputs[2].Name, "Television");
  EXPECT_TRUE(card.Inputs[2].Tuner);
  EXPECT_TRUE(card.Inputs[4].Audio);
  EXPECT_EQ(card.CurrentInput, 1);
  // PAL_G has no flag of its own: PAL_B and PAL_D ... of the current input.
  EXPECT_EQ(AnalogStandardsOfV4L2(V4L2_STD_PAL_G), 0u);
  // The endless node's enumeration stopped.
  EXPECT_EQ(devices[2].Name, "Endless");
  EXPECT_LT(fake.Calls, 2000);

  // The control side: inputs, audio routing, controls, and a device refusing a change.
  TCaptureControl control("/dev/video4");
  EXPECT_EQ(control.CurrentInput(), 1);
  EXPECT_FALSE(control.SelectInput(0));  // EBUSY
  EXPECT_TRUE(control.SelectAudio(1));
  EXPECT_EQ(fake.Nodes[4].CurrentAudio, 1);
  EXPECT_TRUE(control.SetControl(V4L2_CID_BRIGHTNESS, 42));
  int32_t v = 0;
  EXPECT_TRUE(control.GetControl(V4L2_CID_BRIGHTNESS, v));
  EXPECT_EQ(v, 42);
}

namespace {

// BGR24 rows (top first) of ffmpeg's rendering of the first frame of a graph.
std::vector<uint8_t> FfmpegFrame(const std::string& graph, int w, int h) {
  const std::string ffmpeg = testsupport::FindProgram({"ffmpeg"});
  EXPECT_FALSE(ffmpeg.empty()) << "ffmpeg is missing (scripts/install-deps.sh installs it)";
  testsupport::ScratchDir dir;
  const std::string out = dir.File("f.raw");
  std::string log;
  testsupport::RunProgram("'" + ffmpeg + "' -v error -f lavfi -i '" + graph + "' -frames:v 1 -pix_fmt bgr24 -f rawvideo -y '" + out + "'", &log);
  std::vector<uint8_t> b = testsupport::ReadFileBytes(out);
  EXPECT_EQ(b.size(), static_cast<size_t>(w) * h * 3) << log;
  return b;
}

double Psnr(const TVideoSample& s, const std::vector<uint8_t>& topDown) {
  double se = 0;
  const int w = s.Width(), h = s.Height();
  if (topDown.size() != static_cast<size_t>(w) * h * 3) return 0;
  for (int y = 0; y < h; ++y) {
    const uint8_t* a = s.Bits() + static_cast<size_t>(h - 1 - y) * s.RowLength();
    const uint8_t* b = topDown.data() + static_cast<size_t>(y) * w * 3;
    for (int x = 0; x < w * 3; ++x) se += (a[x] - b[x]) * (a[x] - b[x]);
  }
  const double mse = se / (double(w) * h * 3);
  return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

bool WaitFor(const std::function<bool()>& pred, int ms = 5000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

size_t ThreadCount() {
  size_t n = 0;
  if (DIR* d = opendir("/proc/self/task")) {
    while (dirent* e = readdir(d)) n += e->d_name[0] != '.';
    closedir(d);
  }
  return n;
}

const char* const kBars = "smptebars=size=640x480:rate=30,format=yuyv422";

}  // namespace

// A virtual device plays live: frames shown as read match ffmpeg's rendering of the graph, the
// position is the running time, a paused device answers at once, and inputs and sizes change while
// it streams (the new size announced).
TEST(CaptureLiveTest, VirtualDeviceFormatsAndInputs) {
  FakeV4L2 none;
  none.Install();
  TVirtualCaptureDevice d;
  d.Name = "Cam V";
  d.Sizes = {{320, 240}, {640, 480}};
  d.Inputs = {{"Bars", std::string(kBars) + ",realtime", V4L2_STD_NTSC_M},
              {"Colours", "color=c=0x3060C0:size=640x480:rate=30,format=yuyv422,realtime", 0}};
  SetVirtualCaptureDevices({d});
  const std::vector<TCaptureDeviceInfo> devices = EnumerateCaptureDevices();
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_EQ(devices[0].Id, "virtual:Cam V#0");
  ASSERT_EQ(devices[0].Capabilities.size(), 1u);
  EXPECT_EQ(devices[0].Capabilities[0].MinWidth, 320);
  EXPECT_EQ(devices[0].Capabilities[0].MaxWidth, 640);
  EXPECT_EQ(devices[0].Capabilities[0].MinFrameInterval, 333333);

  TMediaPlayer player;
  TMediaPlayerOptions o;
  ASSERT_TRUE(player.OpenCapture(devices[0].Id, o)) << player.LastError();
  EXPECT_TRUE(player.IsLive());
  EXPECT_EQ(player.Duration(), 0);
  player.SetCaptureFormat(TCaptureRequest{600, 460, {}, 0});  // the nearest declared size: 640 x 480
  player.Run();
  EXPECT_EQ(player.State(), 2);
  ASSERT_TRUE(WaitFor([&] { return player.FramesShown() >= 5; }));
  TVideoSamplePtr s = player.SampleBuffer().CurrentSample();
  ASSERT_TRUE(s);
  EXPECT_EQ(s->Width(), 640);
  EXPECT_GT(Psnr(*s, FfmpegFrame(kBars, 640, 480)), 35);
  EXPECT_GT(player.Position(), 0);
  player.Pause();
  EXPECT_EQ(player.State(), 1);
  const int64_t before = player.FramesShown();
  const int64_t pausedAt = player.Position();
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_EQ(player.FramesShown(), before);  // read on, dropped
  EXPECT_EQ(player.Position(), pausedAt);
  player.Run();

  // The other input while streaming: a flat colour.
  EXPECT_TRUE(player.SelectCaptureInput(1));
  EXPECT_FALSE(player.SelectCaptureInput(2));
  const int64_t shown = player.FramesShown();
  ASSERT_TRUE(WaitFor([&] { return player.FramesShown() >= shown + 3; }));
  s = player.SampleBuffer().CurrentSample();
  const uint8_t* p = s->Bits() + s->RowLength() * 100 + 300;
  EXPECT_NEAR(p[0], 0xC0, 6);
  EXPECT_NEAR(p[1], 0x60, 6);
  EXPECT_NEAR(p[2], 0x30, 6);
  EXPECT_EQ(player.CaptureDevice().CurrentInput, 1);

  // A smaller size while streaming: announced, and the frames follow.
  int32_t code = 0;
  while (player.Events().GetEvent(code)) {
  }
  player.SetCaptureFormat(TCaptureRequest{320, 240, {}, 0});
  ASSERT_TRUE(WaitFor([&] {
    TVideoSamplePtr x = player.SampleBuffer().CurrentSample();
    return x && x->Width() == 320;
  }));
  intptr_t p1 = 0, p2 = 0;
  bool sized = false;
  while (player.Events().GetEvent(code, p1, p2)) sized = sized || (code == EC_VIDEO_SIZE_CHANGED && p1 == ((240 << 16) | 320));
  EXPECT_TRUE(sized);
  player.Stop();
  EXPECT_EQ(player.State(), 0);
  player.Close();
  SetVirtualCaptureDevices({});
}

// Raw frames come out as ffmpeg renders the same graph to BGR24, at a small and a high-definition
// size (BT.601 both: the size guess of untagged files would take BT.709 at 720 lines) and in two
// layouts: within one level, the last two rows within two (libswscale converts those through
// other code that rounds differently).
TEST(CaptureLiveTest, RawFramesAsFfmpegRendersThem) {
  FakeV4L2 none;
  none.Install();
  struct Case {
    const char* graph;
    int w, h;
  };
  for (const Case c : {Case{"yuvtestsrc=size=640x480:rate=30,format=yuyv422", 640, 480},
                       Case{"yuvtestsrc=size=1280x720:rate=30,format=uyvy422", 1280, 720}}) {
    TVirtualCaptureDevice d;
    d.Name = "Still";
    d.Graph = std::string(c.graph) + ",realtime";
    d.Sizes = {{c.w, c.h}};
    SetVirtualCaptureDevices({d});
    TMediaPlayer player;
    ASSERT_TRUE(player.OpenCapture("virtual:Still#0")) << player.LastError();
    player.Run();
    ASSERT_TRUE(WaitFor([&] { return player.SampleBuffer().CurrentSample() != nullptr; })) << c.graph;
    const TVideoSamplePtr s = player.SampleBuffer().CurrentSample();
    ASSERT_EQ(s->Width(), c.w);
    const std::vector<uint8_t> ffmpeg = FfmpegFrame(c.graph, c.w, c.h);
    ASSERT_EQ(ffmpeg.size(), static_cast<size_t>(c.w) * c.h * 3);
    int most = 0, mostLastRows = 0;
    for (int y = 0; y < c.h; ++y) {
      const uint8_t* a = s->Bits() + static_cast<size_t>(c.h - 1 - y) * s->RowLength();
      const uint8_t* b = ffmpeg.data() + static_cast<size_t>(y) * c.w * 3;
      int& m = y < c.h - 2 ? most : mostLastRows;
      for (int x = 0; x < c.w * 3; ++x) m = std::max(m, std::abs(a[x] - b[x]));
    }
    EXPECT_LE(most, 1) << c.graph;
    EXPECT_LE(mostLastRows, 2) << c.graph;
    player.Close();
  }
  SetVirtualCaptureDevices({});
}

// Pause is a barrier: taken while the decode thread is inside a slow read, it returns only once the
// thread has taken it. The frame that read brings is the last one shown, and the position stands.
TEST(CaptureLiveTest, PauseTakesEffectBeforeItReturns) {
  FakeV4L2 none;
  none.Install();
  auto slow = std::make_shared<std::atomic<bool>>(false);
  auto inRead = std::make_shared<std::atomic<bool>>(false);
  TVirtualCaptureDevice d;
  d.Name = "Slow";
  d.Graph = "testsrc2=size=160x120:rate=30,format=yuyv422,realtime";
  d.Sizes = {{160, 120}};
  d.ReadHook = [slow, inRead](AVPacket*) {
    if (*slow) {
      *inRead = true;
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return 0;
  };
  SetVirtualCaptureDevices({d});
  {
    TMediaPlayer player;
    ASSERT_TRUE(player.OpenCapture("virtual:Slow#0"));
    player.Run();
    ASSERT_TRUE(WaitFor([&] { return player.FramesShown() >= 2; }));
    *slow = true;
    ASSERT_TRUE(WaitFor([&] { return inRead->load(); }));
    player.Pause();
    const int64_t shown = player.FramesShown();
    const int64_t at = player.Position();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(player.State(), 1);
    EXPECT_EQ(player.FramesShown(), shown);
    EXPECT_EQ(player.Position(), at);
    *slow = false;
  }
  SetVirtualCaptureDevices({});
}

// Devices that go away: the end of a finite graph, an injected ENODEV, a stall past the bound.
// EC_DEVICE_LOST comes once, the last frame stays, Run does nothing more, and closing leaves no
// thread behind. Short frames are dropped.
TEST(CaptureLiveTest, DevicesThatGoAway) {
  FakeV4L2 none;
  none.Install();
  struct Case {
    const char* name;
    std::string graph;
    int mode;  // 0 finite, 1 ENODEV after 5 packets, 2 stall after 5 packets, 3 short packets
  };
  for (const Case& c : {Case{"finite", "testsrc2=size=160x120:rate=30:duration=0.3,format=yuyv422", 0},
                        Case{"enodev", "testsrc2=size=160x120:rate=30,format=yuyv422,realtime", 1},
                        Case{"stall", "testsrc2=size=160x120:rate=30,format=yuyv422,realtime", 2},
                        Case{"short", "testsrc2=size=160x120:rate=30,format=yuyv422,realtime", 3}}) {
    SCOPED_TRACE(c.name);
    const size_t threads = ThreadCount();
    auto packets = std::make_shared<std::atomic<int>>(0);
    TVirtualCaptureDevice d;
    d.Name = c.name;
    d.Graph = c.graph;
    d.Sizes = {{160, 120}};
    const int mode = c.mode;
    d.ReadHook = [packets, mode](AVPacket* p) {
      const int n = ++*packets;
      if (mode == 1 && n > 5) return AVERROR(ENODEV);
      if (mode == 2 && n > 5) return AVERROR(EAGAIN);
      if (mode == 3) p->size /= 2;
      return 0;
    };
    SetVirtualCaptureDevices({d});
    SetMediaCaptureStallMs(300);
    {
      TMediaPlayer player;
      ASSERT_TRUE(player.OpenCapture(std::string("virtual:") + c.name + "#0"));
      player.Run();
      if (mode == 3) {
        ASSERT_TRUE(WaitFor([&] { return player.FramesDropped() >= 5; }));
        EXPECT_EQ(player.FramesShown(), 0);
        EXPECT_EQ(player.SampleBuffer().CurrentSample(), nullptr);
        continue;
      }
      int32_t code = 0;
      ASSERT_TRUE(WaitFor([&] { return player.Events().GetEvent(code) && code == EC_DEVICE_LOST; }));
      EXPECT_TRUE(player.DeviceLost());
      EXPECT_EQ(player.State(), 0);
      EXPECT_NE(player.SampleBuffer().CurrentSample(), nullptr);  // the last frame stays
      player.Run();
      EXPECT_EQ(player.State(), 0);
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      EXPECT_FALSE(player.Events().GetEvent(code) && code == EC_DEVICE_LOST);  // once
      // Nothing is left to wait for: a close that waited for a read or the stall bound (10 s again
      // from here) would take seconds. The limit leaves room for a loaded machine's scheduling.
      SetMediaCaptureStallMs(10000);
      const auto start = std::chrono::steady_clock::now();
      player.Close();
      EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 2.0);
    }
    EXPECT_EQ(ThreadCount(), threads);
  }
  SetMediaCaptureStallMs(10000);
  SetVirtualCaptureDevices({});
}
