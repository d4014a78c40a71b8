#include "platform/media/capture_source.h"

#include <dlfcn.h>
#include <linux/videodev2.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <string>

#include "platform/media/ffmpeg_support.h"
#include "platform/system/debug_log.h"

extern "C" {
#include <libavdevice/version_major.h>
#include <libavutil/rational.h>
}

namespace {

// libavdevice (and the eighty-odd libraries it links: X11, SDL, PulseAudio, OpenAL...) is loaded
// on the first capture only, so that a program that only plays or reads files does not map and
// relocate it at every start. False, with the reason in the debug log, when it cannot be loaded.
bool RegisterDevices() {
  static std::once_flag once;
  static bool registered = false;
  std::call_once(once, [] {
    const std::string name = "libavdevice.so." + std::to_string(LIBAVDEVICE_VERSION_MAJOR);
    void* library = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    auto registerAll = library ? reinterpret_cast<void (*)()>(dlsym(library, "avdevice_register_all")) : nullptr;
    if (!registerAll) {
      const char* why = dlerror();
      OutputDebugString("capture: cannot load " + name + ": " + (why ? why : "no avdevice_register_all"));
      return;
    }
    registerAll();  // the library stays loaded: FFmpeg now holds its input formats
    registered = true;
  });
  return registered;
}

// libavdevice's name for a V4L2 pixel format (a pixel format or a codec).
const char* InputFormatName(uint32_t pf) {
  switch (pf) {
    case V4L2_PIX_FMT_YUYV: return "yuyv422";
    case V4L2_PIX_FMT_UYVY: return "uyvy422";
    case V4L2_PIX_FMT_YVYU: return "yvyu422";
    case V4L2_PIX_FMT_YUV420: return "yuv420p";
    case V4L2_PIX_FMT_NV12: return "nv12";
    case V4L2_PIX_FMT_BGR24: return "bgr24";
    case V4L2_PIX_FMT_RGB24: return "rgb24";
    case V4L2_PIX_FMT_XBGR32: case V4L2_PIX_FMT_BGR32: return "bgr0";
    case V4L2_PIX_FMT_GREY: return "gray";
    case V4L2_PIX_FMT_RGB565: return "rgb565le";
    case V4L2_PIX_FMT_RGB555: return "rgb555le";
    case V4L2_PIX_FMT_MJPEG: case V4L2_PIX_FMT_JPEG: return "mjpeg";
    case V4L2_PIX_FMT_H264: return "h264";
    default: return nullptr;
  }
}

// A graph with its first "size=WxH" set to the size asked for.
std::string SizedGraph(std::string graph, int32_t w, int32_t h) {
  const size_t at = graph.find("size=");
  if (at == std::string::npos) return graph;
  const size_t end = graph.find_first_of(":,", at);
  return graph.replace(at + 5, end == std::string::npos ? std::string::npos : end - at - 5,
                       std::to_string(w) + "x" + std::to_string(h));
}

}  // namespace

TCaptureSource::TCaptureSource(std::string Id) : id_(std::move(Id)) {}

TCaptureSource::~TCaptureSource() { Stop(); }

bool TCaptureSource::Open(std::string& Error) {
  InstallFFmpegLog();
  if (!RegisterDevices()) {
    Error = "capture devices are not available (libavdevice could not be loaded)";
    return false;
  }
  virtual_ = FindVirtualCaptureDevice(id_, virtualDevice_) != nullptr;
  TCaptureDeviceInfo info;
  if (!ReadCaptureDevice(id_, info)) {
    Error = "no capture device " + id_;
    return false;
  }
  control_ = std::make_unique<TCaptureControl>(id_);
  std::lock_guard<std::mutex> lock(mutex_);
  info_ = std::move(info);
  return true;
}

TCaptureDeviceInfo TCaptureSource::Info() const {
  std::lock_guard<std::mutex> lock(mutex_);
  TCaptureDeviceInfo info = info_;
  if (control_ && !info.Inputs.empty()) {
    const int32_t current = control_->CurrentInput();
    if (current >= 0) info.CurrentInput = current;
  }
  return info;
}

void TCaptureSource::SetRequest(const TCaptureRequest& Request) {
  std::lock_guard<std::mutex> lock(mutex_);
  request_ = Request;
}

TCaptureRequest TCaptureSource::Request() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return request_;
}

TCaptureCapability TCaptureSource::Chosen(int32_t& Width, int32_t& Height) const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<const TCaptureCapability*> candidates;
  for (const auto& c : info_.Capabilities) {
    if (SameGuid(c.Subtype, request_.Subtype)) candidates.push_back(&c);
  }
  if (candidates.empty()) {
    // No such subtype: the device's first format.
    for (const auto& c : info_.Capabilities) {
      if (SameGuid(c.Subtype, info_.Capabilities.front().Subtype)) candidates.push_back(&c);
    }
  }
  if (candidates.empty()) {
    Width = Height = 0;
    return {};
  }
  const TCaptureCapability* best = candidates.front();
  Width = best->MaxWidth;
  Height = best->MaxHeight;
  if (virtual_ && !virtualDevice_.Sizes.empty()) {
    // A virtual device takes the declared size nearest the request (the first without one).
    Width = virtualDevice_.Sizes.front().first;
    Height = virtualDevice_.Sizes.front().second;
    if (request_.Width > 0 && request_.Height > 0) {
      int64_t bestDistance = INT64_MAX;
      for (const auto& [w, h] : virtualDevice_.Sizes) {
        const int64_t d = std::abs(int64_t{w} - request_.Width) + std::abs(int64_t{h} - request_.Height);
        if (d < bestDistance) {
          bestDistance = d;
          Width = w;
          Height = h;
        }
      }
    }
    return *best;
  }
  if (request_.Width > 0 && request_.Height > 0) {
    int64_t bestDistance = INT64_MAX;
    for (const TCaptureCapability* c : candidates) {
      // The size inside the capability nearest the request, on its steps.
      const int32_t w = std::clamp(request_.Width, c->MinWidth, c->MaxWidth);
      const int32_t h = std::clamp(request_.Height, c->MinHeight, c->MaxHeight);
      const int32_t sw = c->MinWidth + (w - c->MinWidth) / c->StepWidth * c->StepWidth;
      const int32_t sh = c->MinHeight + (h - c->MinHeight) / c->StepHeight * c->StepHeight;
      const int64_t d = std::abs(int64_t{sw} - request_.Width) + std::abs(int64_t{sh} - request_.Height);
      if (d < bestDistance) {
        bestDistance = d;
        best = c;
        Width = sw;
        Height = sh;
      }
    }
  }
  return *best;
}

int64_t TCaptureSource::FrameInterval() const {
  int32_t w, h;
  const TCaptureCapability c = Chosen(w, h);
  const int64_t asked = Request().FrameInterval;
  return asked > 0 ? asked : c.MinFrameInterval;
}

int TCaptureSource::Start() {
  Stop();
  int32_t w = 0, h = 0;
  const TCaptureCapability cap = Chosen(w, h);
  if (w <= 0 || h <= 0) return AVERROR(EINVAL);
  const int64_t interval = FrameInterval();
  AVFormatContext* ctx = avformat_alloc_context();
  if (!ctx) return AVERROR(ENOMEM);
  ctx->flags |= AVFMT_FLAG_NONBLOCK;
  int r;
  if (virtual_) {
    std::string graph = virtualDevice_.Graph;
    if (!virtualDevice_.Inputs.empty()) {
      const int32_t input = control_ ? std::max(0, control_->CurrentInput()) : 0;
      graph = virtualDevice_.Inputs[std::min<size_t>(static_cast<size_t>(input), virtualDevice_.Inputs.size() - 1)].Graph;
    }
    graph = SizedGraph(graph, w, h);
    r = avformat_open_input(&ctx, graph.c_str(), av_find_input_format("lavfi"), nullptr);
  } else {
    AVDictionary* options = nullptr;
    av_dict_set(&options, "video_size", (std::to_string(w) + "x" + std::to_string(h)).c_str(), 0);
    if (const char* name = InputFormatName(cap.PixelFormat)) av_dict_set(&options, "input_format", name, 0);
    if (interval > 0) {
      const AVRational rate = av_d2q(1e7 / static_cast<double>(interval), 100000);
      av_dict_set(&options, "framerate", (std::to_string(rate.num) + "/" + std::to_string(rate.den)).c_str(), 0);
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!info_.Inputs.empty() && control_) {
        const int32_t input = control_->CurrentInput();
        if (input >= 0) av_dict_set_int(&options, "channel", input, 0);
      }
    }
    r = avformat_open_input(&ctx, id_.c_str(), av_find_input_format("video4linux2"), &options);
    av_dict_free(&options);
  }
  if (r < 0) {
    // avformat_open_input frees the context on failure.
    OutputDebugString("capture: cannot open " + id_ + ": " + FFmpegErrorText(r));
    return r;
  }
  if (ctx->nb_streams < 1 || ctx->streams[0]->codecpar->codec_type != AVMEDIA_TYPE_VIDEO) {
    avformat_close_input(&ctx);
    return AVERROR(EINVAL);
  }
  std::lock_guard<std::mutex> lock(mutex_);
  context_ = ctx;
  return 0;
}

void TCaptureSource::Stop() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (context_) avformat_close_input(&context_);
  context_ = nullptr;
}

int TCaptureSource::ReadPacket(AVPacket* Packet) {
  if (Interrupted()) return AVERROR_EXIT;
  if (!context_) return AVERROR(EINVAL);
  int r = av_read_frame(context_, Packet);
  if (r >= 0 && virtual_ && virtualDevice_.ReadHook) {
    const int hook = virtualDevice_.ReadHook(Packet);
    if (hook < 0) {
      av_packet_unref(Packet);
      r = hook;
    }
  }
  return r;
}
