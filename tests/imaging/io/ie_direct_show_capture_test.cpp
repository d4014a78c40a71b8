// TIEDirectShow's capture devices: the subtype and standard tables, the device list and the choice
// by same-name index, the format list as the motion detector shows it, the format request's sample
// size, the crossbar, and frames posted to a window while the device streams.
#include <gtest/gtest.h>

#include <linux/videodev2.h>

#include <chrono>
#include <thread>

#include "imaging/core/ie_bitmap.h"
#include "imaging/io/ie_direct_show.h"
#include "imaging/io/zodazur_io.h"
#include "platform/media/avi_types.h"
#include "platform/media/capture_devices.h"
#include "platform/media/media_player.h"
#include "platform/system/classes.h"
#include "platform/ui/forms.h"
#include "platform/ui/message_queue.h"
#include "tests/support/fake_v4l2.h"
#include "tests/support/test_support.h"

namespace {

struct VirtualDevices {
  explicit VirtualDevices(const std::vector<TVirtualCaptureDevice>& d) {
    fake.Install();  // no V4L2 node
    SetVirtualCaptureDevices(d);
  }
  ~VirtualDevices() { SetVirtualCaptureDevices({}); }
  testsupport::FakeV4L2 fake;
};

TVirtualCaptureDevice Device(const std::string& name, const std::string& graph) {
  TVirtualCaptureDevice d;
  d.Name = name;
  d.Graph = graph;
  d.Sizes = {{160, 120}, {320, 240}, {640, 480}};
  return d;
}

bool WaitFor(const std::function<bool()>& pred, int ms = 5000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return false;
    Application->ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

}  // namespace

TEST(IEDirectShowCaptureTest, SubtypeAndStandardTables) {
  struct Row {
    const char* name;
    int32_t bits;
  };
  for (const Row r : {Row{"CLPL", 12}, Row{"YUY2", 16}, Row{"MJPG", 0}, Row{"RGB24", 24}, Row{"ARGB32", 32},
                      Row{"IA44", 0}, Row{"RGB555", 16}, Row{"YVU9", 9}}) {
    bool known = false;
    const TGUID g = TIEDirectShow::NameToSubtype(r.name, known);
    EXPECT_TRUE(known) << r.name;
    EXPECT_EQ(TIEDirectShow::SubtypeToName(g), r.name);
    EXPECT_EQ(TIEDirectShow::SubtypeBits(g), r.bits) << r.name;
  }
  // Names compare exactly; FOURCC rows are the framework's FOURCC subtypes.
  bool known = true;
  TIEDirectShow::NameToSubtype("yuy2", known);
  EXPECT_FALSE(known);
  EXPECT_EQ(TIEDirectShow::SubtypeToName(FourCCSubtype(mmioFOURCC('Y', 'U', 'Y', '2'))), "YUY2");
  EXPECT_EQ(TIEDirectShow::SubtypeToName(FourCCSubtype(mmioFOURCC('H', '2', '6', '4'))), "");
  EXPECT_EQ(TIEDirectShow::AnalogStandardsText(0x1 | 0x10), "NTSC_M PAL_B");
  EXPECT_EQ(TIEDirectShow::AnalogStandardsText(0x40), "");
  EXPECT_EQ(TIEDirectShow::AnalogStandardsText(0), "");
  EXPECT_EQ(TIEDirectShow::AnalogStandardsText(0x100000 | 0x80000), "SECAM_L1 PAL_N_COMBO");
}

// No device: an empty list, and SetVideoInput(0, 0) does nothing. Two devices of one name are
// told apart by the same-name index; the format list reads as the motion detector lists it; the
// format request carries the sample size.
TEST(IEDirectShowCaptureTest, DevicesFormatsAndRequests) {
  {
    VirtualDevices none({});
    TIEDirectShow ds;
    EXPECT_TRUE(ds.GetVideoInputs().empty());
    ds.SetVideoInput(0, 0);
    EXPECT_EQ(ds.VideoInput, nullptr);
    EXPECT_EQ(testsupport::ErrorText<EListError>([&] { ds.GetVideoFormat(0); }), "List index out of bounds (0)");
  }
  TVirtualCaptureDevice bars = Device("Cam A", "smptebars=size=640x480:rate=30,format=yuyv422,realtime");
  bars.Inputs = {{"Bars", bars.Graph, V4L2_STD_NTSC_M | V4L2_STD_PAL_B},
                 {"Blue", "color=c=blue:size=640x480:rate=30,format=yuyv422,realtime", 0}};
  VirtualDevices devices({Device("Cam A", "testsrc2=size=640x480:rate=25,format=yuyv422,realtime"), bars});
  TIEDirectShow ds;
  ASSERT_EQ(ds.GetVideoInputs(), (std::vector<std::string>{"Cam A", "Cam A"}));
  ds.SetVideoInput(0, 1);
  ASSERT_NE(ds.VideoInput, nullptr);
  EXPECT_EQ(ds.VideoInput->Path, "virtual:Cam A#1");
  ds.SetVideoInput(5, 0);
  EXPECT_EQ(ds.VideoInput->Path, "virtual:Cam A#1");
  ds.UseSampleGrabber = true;
  ds.Connect();
  ASSERT_TRUE(ds.Connected());
  ASSERT_EQ(ds.VideoFormatCount(), 1);
  const TIEVideoFormat& f = ds.GetVideoFormat(0);
  EXPECT_EQ(f.SubtypeName + " " + std::to_string(f.MinOutputWidth) + "x" + std::to_string(f.MinOutputHeight) + " to " +
                std::to_string(f.MaxOutputWidth) + "x" + std::to_string(f.MaxOutputHeight),
            "YUY2 160x120 to 640x480");
  EXPECT_EQ(f.AnalogStandards, "NTSC_M PAL_B");
  EXPECT_EQ(f.BitsPerSecond, 16u * 640 * 480 * 30);
  EXPECT_EQ(ds.CrossbarInputNames, (std::vector<std::string>{"Bars", "Blue"}));
  EXPECT_EQ(ds.GetCrossbarVideoInput(), 0);
  EXPECT_EQ(ds.GetAvgTimePerFrame(), 333333);
  int32_t w = 0, h = 0;
  std::string name;
  ASSERT_TRUE(ds.GetCurrentVideoFormat(w, h, name));
  EXPECT_EQ(name, "YUY2");
  EXPECT_EQ(w, 160);

  ds.SetCurrentVideoFormat(640, 480, "YUY2");
  EXPECT_EQ(ds.LastVideoFormatRequest().lSampleSize, 614400u);
  ASSERT_NE(ds.LastVideoFormatRequest().VideoInfo(), nullptr);
  EXPECT_EQ(ds.LastVideoFormatRequest().VideoInfo()->AvgTimePerFrame, 0);
  ASSERT_TRUE(ds.GetCurrentVideoFormat(w, h, name));
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 480);
  ds.SetCurrentVideoFormat(640, 480, "MJPG");
  EXPECT_EQ(ds.LastVideoFormatRequest().lSampleSize, 0u);
  // An unknown name keeps the subtype in effect (the device has no MJPG: YUY2); one size of 0
  // keeps the size.
  ds.SetCurrentVideoFormat(320, 0, "NOPE");
  EXPECT_EQ(TIEDirectShow::SubtypeToName(ds.LastVideoFormatRequest().subtype), "YUY2");
  EXPECT_EQ(ds.LastVideoFormatRequest().VideoInfo()->bmiHeader.biWidth, 640);

  // The lists stay after Disconnect.
  ds.Disconnect();
  EXPECT_EQ(ds.VideoFormatCount(), 1);
  EXPECT_EQ(ds.CrossbarInputNames.size(), 2u);
  EXPECT_EQ(ds.GetCrossbarVideoInput(), 0);
}

// While the device streams, every frame posts IEM_NEWFRAME to the notify window (throttled by the
// view's handling); the grabbed frame shows the input chosen on the crossbar.
TEST(IEDirectShowCaptureTest, FramesPostedWhileStreaming) {
  TVirtualCaptureDevice d = Device("Cam B", "");
  d.Inputs = {{"Grey", "color=c=gray:size=640x480:rate=30,format=yuyv422,realtime", 0},
              {"Blue", "color=c=0x2040E0:size=640x480:rate=30,format=yuyv422,realtime", 0}};
  VirtualDevices devices({d});
  auto* form = new TForm(nullptr);
  int frames = 0;
  TIEDirectShow ds;
  ds.SetVideoInput(0, 0);
  ds.UseSampleGrabber = true;
  ds.SetNotifyWindow(form->Handle(), IEM_NEWFRAME, IEM_DSHOWEVENT);
  ds.Connect();
  ds.Run();
  ASSERT_TRUE(WaitFor([&] {
    MSG m;
    while (PeekMessage(&m, form->Handle(), IEM_NEWFRAME, IEM_NEWFRAME, PM_REMOVE)) {
      ++frames;
      EXPECT_EQ(m.lParam, reinterpret_cast<LPARAM>(&ds));
    }
    return frames >= 5;
  }));
  ds.SetCrossbarVideoInput(1);
  EXPECT_EQ(ds.GetCrossbarVideoInput(), 1);
  TIEBitmap b;
  ASSERT_TRUE(WaitFor([&] {
    ds.GetCurrentFrame(&b);
    if (b.Width() != 160) return false;
    const auto* p = static_cast<const uint8_t*>(b.GetRow(60)) + 80 * 3;
    return std::abs(p[0] - 0xE0) < 8 && std::abs(p[2] - 0x20) < 8;
  }));
  ds.Disconnect();
  delete form;
}
