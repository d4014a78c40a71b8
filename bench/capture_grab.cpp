// A driver of capture for bench/compare_media.sh: a virtual capture device drawn by an FFmpeg
// filter graph is played through TIEDirectShow into a window whose IEM_NEWFRAME handler takes each
// frame with GetCurrentFrame, as the capture windows do, until it has taken the frames asked for
// (distinct frames; the user-interface thread sleeps in the event loop between messages, as the
// program's does). Prints frames, CPU time per frame and the latencies of the frames shown: packet
// read to sample buffer (median), sample buffer to the handler (median and 99th percentile).
// -dump writes the first frame taken as top-down BGR24 rows.
//   capture_grab -graph "testsrc2=size=640x480:rate=30,format=yuyv422" -frames 900 -size 640x480
//   capture_grab -device /dev/video0 -frames 300        (a machine's camera, each of its formats)
#include <sys/resource.h>

#include <QtWidgets/QApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "imaging/core/ie_bitmap.h"
#include "imaging/io/ie_direct_show.h"
#include "imaging/io/zodazur_io.h"
#include "platform/media/capture_devices.h"
#include "platform/media/media_events.h"
#include "platform/media/media_player.h"
#include "platform/media/sample_buffer.h"
#include "platform/media/video_sample.h"
#include "platform/ui/forms.h"

namespace {

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec + u.ru_stime.tv_usec / 1e6;
}

class GrabWindow : public TForm {
 public:
  using TForm::TForm;
  void WndProc(TMessage& m) override {
    if (m.Msg == IEM_NEWFRAME) {
      TIEDirectShow::HandleNewFrameMessage(m.LParam, [&] {
        auto* ds = reinterpret_cast<TIEDirectShow*>(m.LParam);
        const TVideoSamplePtr sample = ds->Player() ? ds->Player()->SampleBuffer().CurrentSample() : nullptr;
        ds->GetCurrentFrame(&bitmap);
        // Samples are pooled: a new frame is told by its delivery time.
        if (!sample || sample->DeliverTick == lastTick) return;
        lastTick = sample->DeliverTick;
        if (frames++ == 0 && !dump.empty()) Dump();
        // The latencies of the sample on show: packet read to sample buffer, sample buffer to here.
        if (sample->DeliverTick > 0) {
          const int64_t now = std::chrono::duration_cast<std::chrono::microseconds>(
                                  std::chrono::steady_clock::now().time_since_epoch()).count() * 10;
          toHandler.push_back((now - sample->DeliverTick) / 1e4);
          if (sample->ReadTick > 0) toBuffer.push_back((sample->DeliverTick - sample->ReadTick) / 1e4);
        }
      });
      return;
    }
    TForm::WndProc(m);
  }
  void Dump() {
    if (FILE* f = std::fopen(dump.c_str(), "wb")) {
      for (int32_t y = 0; y < bitmap.Height(); ++y) std::fwrite(bitmap.GetRow(y), 3, static_cast<size_t>(bitmap.Width()), f);
      std::fclose(f);
    }
  }
  TIEBitmap bitmap;
  int frames = 0;
  int64_t lastTick = -1;
  std::string dump;
  std::vector<double> toHandler, toBuffer;  // milliseconds
};

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5))];
}

}  // namespace

int main(int argc, char** argv) {
  std::string graph, device, size = "640x480", dump;
  int frames = 300;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string a = argv[i];
    if (a == "-graph") graph = argv[i + 1];
    else if (a == "-device") device = argv[i + 1];
    else if (a == "-frames") frames = std::atoi(argv[i + 1]);
    else if (a == "-size") size = argv[i + 1];
    else if (a == "-dump") dump = argv[i + 1];
  }
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  Application->Initialize();
  int w = 640, h = 480;
  std::sscanf(size.c_str(), "%dx%d", &w, &h);
  std::vector<std::string> ids;
  if (!graph.empty()) {
    TVirtualCaptureDevice d;
    d.Name = "bench";
    d.Graph = graph;
    d.Sizes = {{w, h}};
    SetVirtualCaptureDevices({d});
    ids.push_back("virtual:bench#0");
  } else {
    for (const TCaptureDeviceInfo& d : EnumerateCaptureDevices())
      if (device.empty() || d.Id == device) ids.push_back(d.Id);
  }
  if (ids.empty()) {
    std::fprintf(stderr, "no capture device\n");
    return 1;
  }
  for (const std::string& id : ids) {
    TCaptureDeviceInfo info;
    if (!ReadCaptureDevice(id, info)) continue;
    for (size_t f = 0; f < (graph.empty() ? info.Capabilities.size() : 1); ++f) {
      auto* window = new GrabWindow(nullptr);
      window->dump = dump;
      TIEDirectShow ds;
      ds.VideoInput = std::make_shared<TIEDSFilter>(TIEDSFilter{info.Name, id});
      ds.UseSampleGrabber = true;
      ds.SetNotifyWindow(window->Handle(), IEM_NEWFRAME, IEM_DSHOWEVENT);
      ds.Connect();
      if (graph.empty()) {
        const TIEVideoFormat& vf = ds.GetVideoFormat(static_cast<int32_t>(f));
        ds.SetCurrentVideoFormat(vf.MaxOutputWidth, vf.MaxOutputHeight, vf.SubtypeName);
      }
      const double cpu0 = CpuSeconds();
      const auto t0 = std::chrono::steady_clock::now();
      ds.Run();
      int32_t code = 0;
      bool lost = false;
      while (window->frames < frames && !lost) {
        // Waits for the next message: a new frame, or an event (posted to the window too).
        Application->HandleMessage();
        while (ds.GetEvent(code)) lost = lost || code == EC_DEVICE_LOST || code == EC_ERRORABORT;
      }
      const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
      const double cpu = CpuSeconds() - cpu0;
      ds.Disconnect();
      std::printf("%s %s: %d frames in %.2f s, %.3f ms CPU per frame%s\n", info.Name.c_str(),
                  graph.empty() ? ds.GetVideoFormat(static_cast<int32_t>(f)).SubtypeName.c_str() : "graph",
                  window->frames, wall, window->frames ? cpu * 1000 / window->frames : 0.0, lost ? " (device lost)" : "");
      std::printf("  latency: read to sample buffer median %.2f ms; sample buffer to the 8025 handler median %.2f ms, "
                  "99th percentile %.2f ms\n",
                  Percentile(window->toBuffer, 0.5), Percentile(window->toHandler, 0.5), Percentile(window->toHandler, 0.99));
      delete window;
    }
  }
  return 0;
}
