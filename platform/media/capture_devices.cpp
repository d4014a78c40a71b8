#include "platform/media/capture_devices.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/media/media_type.h"
#include "platform/registry/registry.h"
#include "platform/system/debug_log.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

namespace {

// Loops over driver answers stop here even when a driver never says EINVAL.
constexpr int kMaxEnumeration = 64;

std::mutex g_mutex;
TV4L2Ops g_ops;
std::vector<TVirtualCaptureDevice> g_virtual;
std::map<std::string, int32_t> g_virtualInput;

std::vector<std::string> ListVideoNodes() {
  std::vector<std::pair<long, std::string>> nodes;
  if (DIR* d = opendir("/dev")) {
    while (dirent* e = readdir(d)) {
      const std::string name = e->d_name;
      if (name.size() <= 5 || name.compare(0, 5, "video") != 0) continue;
      if (!std::all_of(name.begin() + 5, name.end(), [](char c) { return c >= '0' && c <= '9'; })) continue;
      nodes.push_back({std::strtol(name.c_str() + 5, nullptr, 10), "/dev/" + name});
    }
    closedir(d);
  }
  std::sort(nodes.begin(), nodes.end());
  std::vector<std::string> out;
  for (auto& n : nodes) out.push_back(n.second);
  return out;
}

TV4L2Ops Ops() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_ops.Ioctl ? g_ops : SystemV4L2Ops();
}

// An ioctl retried on EINTR.
int Xioctl(const TV4L2Ops& ops, int fd, unsigned long request, void* arg) {
  for (int i = 0; i < 16; ++i) {
    const int r = ops.Ioctl(fd, request, arg);
    if (r >= 0 || errno != EINTR) return r;
  }
  return -1;
}

// A fixed-size text field of a driver: up to its first NUL or its size, whichever comes first.
std::string Field(const uint8_t* text, size_t size) {
  size_t n = 0;
  while (n < size && text[n] != 0) ++n;
  std::string s(reinterpret_cast<const char*>(text), n);
  // Control characters from a driver stay out of names shown to the user.
  for (char& c : s) {
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  }
  return s;
}

int32_t BitsOf(uint32_t pf) {
  switch (pf) {
    case V4L2_PIX_FMT_YUYV: case V4L2_PIX_FMT_UYVY: case V4L2_PIX_FMT_YVYU: case V4L2_PIX_FMT_RGB565:
    case V4L2_PIX_FMT_RGB555: return 16;
    case V4L2_PIX_FMT_YUV420: case V4L2_PIX_FMT_YVU420: case V4L2_PIX_FMT_NV12: case V4L2_PIX_FMT_NV21:
    case V4L2_PIX_FMT_Y41P: return 12;
    case V4L2_PIX_FMT_BGR24: case V4L2_PIX_FMT_RGB24: return 24;
    case V4L2_PIX_FMT_XBGR32: case V4L2_PIX_FMT_ABGR32: case V4L2_PIX_FMT_BGR32: case V4L2_PIX_FMT_RGB32: return 32;
    case V4L2_PIX_FMT_GREY: return 8;
    default: return 0;
  }
}

uint32_t BitRate(int32_t bits, int32_t w, int32_t h, double rate) {
  if (bits <= 0 || rate <= 0) return 0;
  const double b = static_cast<double>(bits) * w * h * rate;
  return b > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(b);
}

// The fastest frame interval of a format at a size, in 100 ns (0 when the driver does not say),
// and its exact rate.
int64_t FastestInterval(const TV4L2Ops& ops, int fd, uint32_t pf, uint32_t w, uint32_t h, double& rate) {
  int64_t best = 0;
  rate = 0;
  for (uint32_t i = 0; i < kMaxEnumeration; ++i) {
    v4l2_frmivalenum iv{};
    iv.index = i;
    iv.pixel_format = pf;
    iv.width = w;
    iv.height = h;
    if (Xioctl(ops, fd, VIDIOC_ENUM_FRAMEINTERVALS, &iv) < 0) break;
    const v4l2_fract f = iv.type == V4L2_FRMIVAL_TYPE_DISCRETE ? iv.discrete : iv.stepwise.min;
    if (f.denominator > 0 && f.numerator > 0) {
      const int64_t t = static_cast<int64_t>(f.numerator) * 10000000 / f.denominator;
      if (best == 0 || t < best) {
        best = t;
        rate = static_cast<double>(f.denominator) / f.numerator;
      }
    }
    if (iv.type != V4L2_FRMIVAL_TYPE_DISCRETE) break;
  }
  return best;
}

void ReadV4L2Capabilities(const TV4L2Ops& ops, int fd, TCaptureDeviceInfo& info) {
  uint32_t standards = 0;
  for (const TCaptureInput& in : info.Inputs) {
    if (!in.Audio && &in - info.Inputs.data() == info.CurrentInput) standards = AnalogStandardsOfV4L2(in.StdId);
  }
  for (uint32_t i = 0; i < kMaxEnumeration; ++i) {
    v4l2_fmtdesc d{};
    d.index = i;
    d.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (Xioctl(ops, fd, VIDIOC_ENUM_FMT, &d) < 0) break;
    TCaptureCapability base;
    base.PixelFormat = d.pixelformat;
    base.Subtype = V4L2PixelFormatSubtype(d.pixelformat);
    base.Compressed = (d.flags & V4L2_FMT_FLAG_COMPRESSED) != 0 || BitsOf(d.pixelformat) == 0;
    base.BitsPerPixel = base.Compressed ? 0 : BitsOf(d.pixelformat);
    base.AnalogStandards = standards;
    bool sized = false;
    for (uint32_t k = 0; k < kMaxEnumeration; ++k) {
      v4l2_frmsizeenum s{};
      s.index = k;
      s.pixel_format = d.pixelformat;
      if (Xioctl(ops, fd, VIDIOC_ENUM_FRAMESIZES, &s) < 0) break;
      TCaptureCapability c = base;
      if (s.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
        c.MinWidth = c.MaxWidth = static_cast<int32_t>(std::min<uint32_t>(s.discrete.width, INT32_MAX));
        c.MinHeight = c.MaxHeight = static_cast<int32_t>(std::min<uint32_t>(s.discrete.height, INT32_MAX));
      } else {
        c.MinWidth = static_cast<int32_t>(std::min<uint32_t>(s.stepwise.min_width, INT32_MAX));
        c.MinHeight = static_cast<int32_t>(std::min<uint32_t>(s.stepwise.min_height, INT32_MAX));
        c.MaxWidth = static_cast<int32_t>(std::min<uint32_t>(s.stepwise.max_width, INT32_MAX));
        c.MaxHeight = static_cast<int32_t>(std::min<uint32_t>(s.stepwise.max_height, INT32_MAX));
        c.StepWidth = static_cast<int32_t>(std::clamp<uint32_t>(s.stepwise.step_width, 1, INT32_MAX));
        c.StepHeight = static_cast<int32_t>(std::clamp<uint32_t>(s.stepwise.step_height, 1, INT32_MAX));
      }
      double rate = 0;
      c.MinFrameInterval = FastestInterval(ops, fd, d.pixelformat, static_cast<uint32_t>(c.MaxWidth),
                                           static_cast<uint32_t>(c.MaxHeight), rate);
      c.BitRate = BitRate(c.BitsPerPixel, c.MaxWidth, c.MaxHeight, rate);
      info.Capabilities.push_back(c);
      sized = true;
      if (s.type != V4L2_FRMSIZE_TYPE_DISCRETE) break;
    }
    if (!sized) {
      // Drivers without size enumeration: the size the device has now.
      v4l2_format f{};
      f.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
      if (Xioctl(ops, fd, VIDIOC_G_FMT, &f) == 0) {
        TCaptureCapability c = base;
        c.MinWidth = c.MaxWidth = static_cast<int32_t>(std::min<uint32_t>(f.fmt.pix.width, INT32_MAX));
        c.MinHeight = c.MaxHeight = static_cast<int32_t>(std::min<uint32_t>(f.fmt.pix.height, INT32_MAX));
        info.Capabilities.push_back(c);
      }
    }
  }
}

void ReadV4L2Inputs(const TV4L2Ops& ops, int fd, TCaptureDeviceInfo& info) {
  std::vector<TCaptureInput> inputs;
  bool tuner = false;
  for (uint32_t i = 0; i < kMaxEnumeration; ++i) {
    v4l2_input in{};
    in.index = i;
    if (Xioctl(ops, fd, VIDIOC_ENUMINPUT, &in) < 0) break;
    TCaptureInput c;
    c.Name = Field(in.name, sizeof in.name);
    c.Tuner = in.type == V4L2_INPUT_TYPE_TUNER;
    c.StdId = in.std;
    c.AudioSet = in.audioset;
    tuner = tuner || c.Tuner;
    inputs.push_back(c);
  }
  int current = 0;
  if (Xioctl(ops, fd, VIDIOC_G_INPUT, &current) < 0) current = 0;
  info.CurrentInput = std::clamp<int32_t>(current, 0, std::max<int32_t>(0, static_cast<int32_t>(inputs.size()) - 1));
  // A single input without a tuner is no crossbar; its standards still count.
  if (inputs.size() < 2 && !tuner) {
    if (!inputs.empty()) info.Inputs = {inputs.front()};
    return;
  }
  for (uint32_t i = 0; i < kMaxEnumeration; ++i) {
    v4l2_audio a{};
    a.index = i;
    if (Xioctl(ops, fd, VIDIOC_ENUMAUDIO, &a) < 0) break;
    TCaptureInput c;
    c.Name = Field(a.name, sizeof a.name);
    c.Audio = true;
    inputs.push_back(c);
  }
  info.Inputs = std::move(inputs);
}

bool ReadV4L2Device(const TV4L2Ops& ops, const std::string& path, TCaptureDeviceInfo& info, bool log) {
  const int fd = ops.Open(path, O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (log) {
      const int e = errno;
      OutputDebugString("capture: cannot open " + path + ": " + std::strerror(e) +
                        (e == EACCES ? " (the user may need to be in the video group)" : ""));
    }
    return false;
  }
  v4l2_capability cap{};
  bool usable = Xioctl(ops, fd, VIDIOC_QUERYCAP, &cap) == 0;
  if (usable) {
    const uint32_t caps = (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
    // Single-planar streaming capture nodes only: libavdevice's reader takes those.
    usable = (caps & V4L2_CAP_VIDEO_CAPTURE) && (caps & V4L2_CAP_STREAMING);
  }
  if (usable) {
    info = TCaptureDeviceInfo{};
    info.Name = Field(cap.card, sizeof cap.card);
    info.Version = std::to_string((cap.version >> 16) & 0xFF) + "." + std::to_string((cap.version >> 8) & 0xFF) + "." +
                   std::to_string(cap.version & 0xFF);
    info.Id = path;
    ReadV4L2Inputs(ops, fd, info);
    ReadV4L2Capabilities(ops, fd, info);
  }
  ops.Close(fd);
  return usable;
}

std::string VirtualId(const std::vector<TVirtualCaptureDevice>& all, size_t index) {
  int same = 0;
  for (size_t i = 0; i < index; ++i) same += all[i].Name == all[index].Name;
  return "virtual:" + all[index].Name + "#" + std::to_string(same);
}

std::vector<TVirtualCaptureDevice> AllVirtual() {
  std::vector<TVirtualCaptureDevice> all;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    all = g_virtual;
  }
  TRegistryIniFile settings("Software\\Brimvale");
  if (settings.ReadInteger("Capture", "TestPatternDevice", 0) == 1) {
    TVirtualCaptureDevice d;
    d.Name = "Test pattern";
    d.Sizes = {{320, 240}, {640, 480}, {1280, 720}};
    d.Inputs = {{"Test pattern", "testsrc2=size=640x480:rate=30,format=yuyv422,realtime", 0},
                {"Colour bars", "smptebars=size=640x480:rate=30,format=yuyv422,realtime", 0}};
    all.push_back(d);
  }
  return all;
}

// The rate and pixel format of a filter graph ("rate=30", "format=yuyv422").
std::string GraphValue(const std::string& graph, const std::string& key) {
  size_t at = 0;
  while ((at = graph.find(key + "=", at)) != std::string::npos) {
    if (at == 0 || graph[at - 1] == ':' || graph[at - 1] == ',' || graph[at - 1] == '=') {
      const size_t from = at + key.size() + 1;
      const size_t to = graph.find_first_of(":,", from);
      return graph.substr(from, to == std::string::npos ? std::string::npos : to - from);
    }
    at += key.size();
  }
  return {};
}

TCaptureDeviceInfo VirtualInfo(const TVirtualCaptureDevice& d, const std::string& id) {
  TCaptureDeviceInfo info;
  info.Name = d.Name;
  info.Version = "1.0.0";
  info.Id = id;
  info.Virtual = true;
  for (const auto& in : d.Inputs) {
    TCaptureInput c;
    c.Name = in.Name;
    c.StdId = in.StdId;
    info.Inputs.push_back(c);
  }
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = g_virtualInput.find(id);
    info.CurrentInput = it != g_virtualInput.end() ? it->second : 0;
  }
  if (info.Inputs.size() < 2) info.Inputs.resize(std::min<size_t>(info.Inputs.size(), 1));
  const std::string graph = !d.Inputs.empty() ? d.Inputs[std::min<size_t>(info.CurrentInput, d.Inputs.size() - 1)].Graph : d.Graph;
  const std::string format = GraphValue(graph, "format");
  const AVPixelFormat pf = av_get_pix_fmt(format.empty() ? "yuyv422" : format.c_str());
  const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(pf);
  const double rate = std::atof(GraphValue(graph, "rate").c_str());
  uint32_t fourcc = 0;
  switch (pf) {
    case AV_PIX_FMT_YUYV422: fourcc = V4L2_PIX_FMT_YUYV; break;
    case AV_PIX_FMT_UYVY422: fourcc = V4L2_PIX_FMT_UYVY; break;
    case AV_PIX_FMT_YUV420P: fourcc = V4L2_PIX_FMT_YUV420; break;
    case AV_PIX_FMT_BGR24: fourcc = V4L2_PIX_FMT_BGR24; break;
    case AV_PIX_FMT_BGR0: fourcc = V4L2_PIX_FMT_XBGR32; break;
    default: break;
  }
  const uint32_t standards = info.Inputs.empty() ? 0 : AnalogStandardsOfV4L2(info.Inputs[std::min<size_t>(info.CurrentInput, info.Inputs.size() - 1)].StdId);
  // One capability over the declared sizes (a request takes the nearest of them).
  if (!d.Sizes.empty()) {
    TCaptureCapability c;
    c.PixelFormat = static_cast<uint32_t>(pf);
    c.Subtype = V4L2PixelFormatSubtype(fourcc);
    c.BitsPerPixel = desc ? av_get_bits_per_pixel(desc) : 0;
    c.MinWidth = c.MinHeight = INT32_MAX;
    for (const auto& [w, h] : d.Sizes) {
      c.MinWidth = std::min(c.MinWidth, w);
      c.MinHeight = std::min(c.MinHeight, h);
      c.MaxWidth = std::max(c.MaxWidth, w);
      c.MaxHeight = std::max(c.MaxHeight, h);
    }
    c.MinFrameInterval = rate > 0 ? static_cast<int64_t>(1e7 / rate) : 0;
    c.BitRate = BitRate(c.BitsPerPixel, c.MaxWidth, c.MaxHeight, rate);
    c.AnalogStandards = standards;
    info.Capabilities.push_back(c);
  }
  return info;
}

}  // namespace

const TV4L2Ops& SystemV4L2Ops() {
  static const TV4L2Ops ops{ListVideoNodes, [](const std::string& p, int f) { return ::open(p.c_str(), f); },
                            [](int fd) { return ::close(fd); },
                            [](int fd, unsigned long r, void* a) { return ::ioctl(fd, r, a); }};
  return ops;
}

void SetV4L2Ops(const TV4L2Ops& Ops) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_ops = Ops;
}

const TGUID MEDIASUBTYPE_RGB32 = {0xE436EB7E, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
const TGUID MEDIASUBTYPE_RGB555 = {0xE436EB7C, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
const TGUID MEDIASUBTYPE_RGB565 = {0xE436EB7B, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};

TGUID FourCCSubtype(uint32_t FourCC) { return TGUID{FourCC, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}}; }

TGUID V4L2PixelFormatSubtype(uint32_t PixelFormat) {
  auto code = [](char a, char b, char c, char d) {
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) | static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
  };
  switch (PixelFormat) {
    case V4L2_PIX_FMT_YUYV: return FourCCSubtype(code('Y', 'U', 'Y', '2'));
    case V4L2_PIX_FMT_YUV420: return FourCCSubtype(code('I', 'Y', 'U', 'V'));
    case V4L2_PIX_FMT_YVU420: return FourCCSubtype(code('Y', 'V', '1', '2'));
    case V4L2_PIX_FMT_BGR24: return MEDIASUBTYPE_RGB24;
    case V4L2_PIX_FMT_XBGR32: case V4L2_PIX_FMT_BGR32: return MEDIASUBTYPE_RGB32;
    case V4L2_PIX_FMT_RGB555: return MEDIASUBTYPE_RGB555;
    case V4L2_PIX_FMT_RGB565: return MEDIASUBTYPE_RGB565;
    case V4L2_PIX_FMT_MJPEG: case V4L2_PIX_FMT_JPEG: return FourCCSubtype(code('M', 'J', 'P', 'G'));
    default: return FourCCSubtype(PixelFormat);  // UYVY, YVYU, Y41P, H264 ... are their own codes
  }
}

uint32_t AnalogStandardsOfV4L2(uint64_t S) {
  struct Row {
    uint64_t v4l2;
    uint32_t flag;
  };
  static const Row rows[] = {
      {V4L2_STD_NTSC_M, 0x1},         {V4L2_STD_NTSC_M_JP, 0x2},      {V4L2_STD_NTSC_443, 0x4},
      {V4L2_STD_PAL_B | V4L2_STD_PAL_B1, 0x10}, {V4L2_STD_PAL_D | V4L2_STD_PAL_D1, 0x20}, {V4L2_STD_PAL_H, 0x80},
      {V4L2_STD_PAL_I, 0x100},        {V4L2_STD_PAL_M, 0x200},        {V4L2_STD_PAL_N, 0x400},
      {V4L2_STD_PAL_60, 0x800},       {V4L2_STD_SECAM_B, 0x1000},     {V4L2_STD_SECAM_D, 0x2000},
      {V4L2_STD_SECAM_G, 0x4000},     {V4L2_STD_SECAM_H, 0x8000},     {V4L2_STD_SECAM_K, 0x10000},
      {V4L2_STD_SECAM_K1, 0x20000},   {V4L2_STD_SECAM_L, 0x40000},    {V4L2_STD_SECAM_LC, 0x80000},
      {V4L2_STD_PAL_Nc, 0x100000},
  };
  uint32_t mask = 0;
  for (const Row& r : rows)
    if (S & r.v4l2) mask |= r.flag;
  return mask;
}

void SetVirtualCaptureDevices(const std::vector<TVirtualCaptureDevice>& Devices) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_virtual = Devices;
  g_virtualInput.clear();
}

std::vector<TVirtualCaptureDevice> VirtualCaptureDevices() { return AllVirtual(); }

const TVirtualCaptureDevice* FindVirtualCaptureDevice(const std::string& Id, TVirtualCaptureDevice& Copy) {
  const std::vector<TVirtualCaptureDevice> all = AllVirtual();
  for (size_t i = 0; i < all.size(); ++i) {
    if (VirtualId(all, i) == Id) {
      Copy = all[i];
      return &Copy;
    }
  }
  return nullptr;
}

std::vector<TCaptureDeviceInfo> EnumerateCaptureDevices() {
  std::vector<TCaptureDeviceInfo> devices;
  const TV4L2Ops ops = Ops();
  const std::vector<std::string> nodes = ops.ListNodes ? ops.ListNodes() : std::vector<std::string>();
  for (size_t i = 0; i < nodes.size() && i < 256; ++i) {
    TCaptureDeviceInfo info;
    if (ReadV4L2Device(ops, nodes[i], info, true)) devices.push_back(std::move(info));
  }
  const std::vector<TVirtualCaptureDevice> all = AllVirtual();
  for (size_t i = 0; i < all.size(); ++i) devices.push_back(VirtualInfo(all[i], VirtualId(all, i)));
  return devices;
}

bool ReadCaptureDevice(const std::string& Id, TCaptureDeviceInfo& Info) {
  TVirtualCaptureDevice copy;
  if (FindVirtualCaptureDevice(Id, copy)) {
    Info = VirtualInfo(copy, Id);
    return true;
  }
  return ReadV4L2Device(Ops(), Id, Info, true);
}

// ---------------------------------------------------------------------------------- control side

TCaptureControl::TCaptureControl(const std::string& Id) : id_(Id) {
  TVirtualCaptureDevice copy;
  if (FindVirtualCaptureDevice(Id, copy)) {
    virtual_ = true;
    std::lock_guard<std::mutex> lock(g_mutex);
    virtualInput_ = g_virtualInput.count(Id) ? g_virtualInput[Id] : 0;
    return;
  }
  fd_ = Ops().Open(Id, O_RDWR | O_NONBLOCK | O_CLOEXEC);
}

TCaptureControl::~TCaptureControl() {
  if (fd_ >= 0) Ops().Close(fd_);
}

int32_t TCaptureControl::CurrentInput() {
  if (virtual_) {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_virtualInput.count(id_) ? g_virtualInput[id_] : 0;
  }
  int index = 0;
  if (fd_ < 0 || Xioctl(Ops(), fd_, VIDIOC_G_INPUT, &index) < 0) return -1;
  return index;
}

bool TCaptureControl::SelectInput(int32_t Index) {
  if (Index < 0) return false;
  if (virtual_) {
    TVirtualCaptureDevice copy;
    if (!FindVirtualCaptureDevice(id_, copy) || static_cast<size_t>(Index) >= std::max<size_t>(copy.Inputs.size(), 1)) {
      return false;
    }
    std::lock_guard<std::mutex> lock(g_mutex);
    g_virtualInput[id_] = Index;
    return true;
  }
  int index = Index;
  return fd_ >= 0 && Xioctl(Ops(), fd_, VIDIOC_S_INPUT, &index) == 0;
}

bool TCaptureControl::SelectAudio(int32_t Index) {
  if (virtual_) return false;
  v4l2_audio a{};
  a.index = static_cast<uint32_t>(std::max(Index, 0));
  return fd_ >= 0 && Index >= 0 && Xioctl(Ops(), fd_, VIDIOC_S_AUDIO, &a) == 0;
}

bool TCaptureControl::SetControl(uint32_t Id, int32_t Value) {
  if (fd_ < 0) return false;
  v4l2_control c{};
  c.id = Id;
  c.value = Value;
  return Xioctl(Ops(), fd_, VIDIOC_S_CTRL, &c) == 0;
}

bool TCaptureControl::GetControl(uint32_t Id, int32_t& Value) {
  if (fd_ < 0) return false;
  v4l2_control c{};
  c.id = Id;
  if (Xioctl(Ops(), fd_, VIDIOC_G_CTRL, &c) != 0) return false;
  Value = c.value;
  return true;
}
