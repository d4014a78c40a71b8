#pragma once
// A scripted fake of the V4L2 device nodes for the capture tests: nodes with their capabilities,
// formats, sizes, intervals, inputs and audio inputs, answered through the media services' table of
// V4L2 operations. Nodes may be unopenable, metadata-only or multiplanar, answer EBUSY to input
// changes, or never end an enumeration.
#include <linux/videodev2.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/media/capture_devices.h"

namespace testsupport {

struct FakeV4L2Format {
  uint32_t PixelFormat = V4L2_PIX_FMT_YUYV;
  uint32_t Flags = 0;
  std::vector<std::pair<uint32_t, uint32_t>> Sizes;  // discrete sizes; empty with Stepwise set
  bool Stepwise = false;
  v4l2_frmsize_stepwise Steps{};
  std::vector<v4l2_fract> Intervals{{1, 30}};
};

struct FakeV4L2Node {
  std::string Path;
  std::string Card = "Fake camera";  // up to 32 bytes; exactly 32 leaves no NUL
  uint32_t Version = 0x050A03;
  uint32_t Caps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
  int OpenError = 0;                // errno of open
  bool Busy = false;                // S_INPUT answers EBUSY
  bool Endless = false;             // ENUM_FMT never answers EINVAL
  std::vector<FakeV4L2Format> Formats;
  std::vector<v4l2_input> Inputs;
  std::vector<std::string> AudioNames;
  int CurrentInput = 0;
  int CurrentAudio = -1;
  std::map<uint32_t, int32_t> Controls;
};

class FakeV4L2 {
 public:
  std::vector<FakeV4L2Node> Nodes;
  int Calls = 0;

  // Installs the fake as the media services' V4L2 operations until the object goes.
  void Install() {
    TV4L2Ops ops;
    ops.ListNodes = [this] {
      std::vector<std::string> paths;
      for (const auto& n : Nodes) paths.push_back(n.Path);
      return paths;
    };
    ops.Open = [this](const std::string& path, int) {
      for (size_t i = 0; i < Nodes.size(); ++i) {
        if (Nodes[i].Path != path) continue;
        if (Nodes[i].OpenError) {
          errno = Nodes[i].OpenError;
          return -1;
        }
        return static_cast<int>(1000 + i);
      }
      errno = ENOENT;
      return -1;
    };
    ops.Close = [](int) { return 0; };
    ops.Ioctl = [this](int fd, unsigned long request, void* arg) { return Ioctl(fd, request, arg); };
    SetV4L2Ops(ops);
  }
  ~FakeV4L2() { SetV4L2Ops(TV4L2Ops{}); }

  static v4l2_input Input(const char* name, uint32_t type, v4l2_std_id std, uint32_t audioset = 0) {
    v4l2_input in{};
    std::memcpy(in.name, name, std::min(std::strlen(name), sizeof in.name - 1));
    in.type = type;
    in.std = std;
    in.audioset = audioset;
    return in;
  }

 private:
  int Fail(int e) {
    errno = e;
    return -1;
  }

  int Ioctl(int fd, unsigned long request, void* arg) {
    ++Calls;
    if (fd < 1000 || fd - 1000 >= static_cast<int>(Nodes.size())) return Fail(EBADF);
    FakeV4L2Node& n = Nodes[static_cast<size_t>(fd - 1000)];
    switch (request) {
      case VIDIOC_QUERYCAP: {
        auto* c = static_cast<v4l2_capability*>(arg);
        *c = v4l2_capability{};
        std::memcpy(c->card, n.Card.data(), std::min(n.Card.size(), sizeof c->card));
        c->version = n.Version;
        c->capabilities = n.Caps | V4L2_CAP_DEVICE_CAPS;
        c->device_caps = n.Caps;
        return 0;
      }
      case VIDIOC_ENUM_FMT: {
        auto* d = static_cast<v4l2_fmtdesc*>(arg);
        if (n.Endless) {
          d->pixelformat = V4L2_PIX_FMT_YUYV;
          return 0;
        }
        if (d->index >= n.Formats.size()) return Fail(EINVAL);
        d->pixelformat = n.Formats[d->index].PixelFormat;
        d->flags = n.Formats[d->index].Flags;
        return 0;
      }
      case VIDIOC_ENUM_FRAMESIZES: {
        auto* s = static_cast<v4l2_frmsizeenum*>(arg);
        const FakeV4L2Format* f = Find(n, s->pixel_format);
        if (!f) return Fail(EINVAL);
        if (f->Stepwise) {
          if (s->index > 0) return Fail(EINVAL);
          s->type = V4L2_FRMSIZE_TYPE_STEPWISE;
          s->stepwise = f->Steps;
          return 0;
        }
        if (s->index >= f->Sizes.size()) return Fail(EINVAL);
        s->type = V4L2_FRMSIZE_TYPE_DISCRETE;
        s->discrete.width = f->Sizes[s->index].first;
        s->discrete.height = f->Sizes[s->index].second;
        return 0;
      }
      case VIDIOC_ENUM_FRAMEINTERVALS: {
        auto* iv = static_cast<v4l2_frmivalenum*>(arg);
        const FakeV4L2Format* f = Find(n, iv->pixel_format);
        if (!f || iv->index >= f->Intervals.size()) return Fail(EINVAL);
        iv->type = V4L2_FRMIVAL_TYPE_DISCRETE;
        iv->discrete = f->Intervals[iv->index];
        return 0;
      }
      case VIDIOC_ENUMINPUT: {
        auto* in = static_cast<v4l2_input*>(arg);
        if (in->index >= n.Inputs.size()) return Fail(EINVAL);
        const uint32_t index = in->index;
        *in = n.Inputs[index];
        in->index = index;
        return 0;
      }
      case VIDIOC_ENUMAUDIO: {
        auto* a = static_cast<v4l2_audio*>(arg);
        if (a->index >= n.AudioNames.size()) return Fail(EINVAL);
        std::memcpy(a->name, n.AudioNames[a->index].data(), std::min(n.AudioNames[a->index].size(), sizeof a->name - 1));
        return 0;
      }
      case VIDIOC_G_INPUT: *static_cast<int*>(arg) = n.CurrentInput; return 0;
      case VIDIOC_S_INPUT: {
        const int i = *static_cast<int*>(arg);
        if (n.Busy) return Fail(EBUSY);
        if (i < 0 || i >= static_cast<int>(n.Inputs.size())) return Fail(EINVAL);
        n.CurrentInput = i;
        return 0;
      }
      case VIDIOC_S_AUDIO: {
        const auto* a = static_cast<const v4l2_audio*>(arg);
        if (a->index >= n.AudioNames.size()) return Fail(EINVAL);
        n.CurrentAudio = static_cast<int>(a->index);
        return 0;
      }
      case VIDIOC_S_CTRL: {
        const auto* c = static_cast<const v4l2_control*>(arg);
        n.Controls[c->id] = c->value;
        return 0;
      }
      case VIDIOC_G_CTRL: {
        auto* c = static_cast<v4l2_control*>(arg);
        auto it = n.Controls.find(c->id);
        if (it == n.Controls.end()) return Fail(EINVAL);
        c->value = it->second;
        return 0;
      }
      default: return Fail(ENOTTY);
    }
  }

  static const FakeV4L2Format* Find(const FakeV4L2Node& n, uint32_t pf) {
    for (const auto& f : n.Formats)
      if (f.PixelFormat == pf) return &f;
    return nullptr;
  }
};

}  // namespace testsupport
