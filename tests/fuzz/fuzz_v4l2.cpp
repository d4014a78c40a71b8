// V4L2 device enumeration over a fake device that answers every call from the input: which nodes
// count, their formats, sizes, rates, inputs and audio inputs. Every loop must end and every text
// stay within its field whatever a driver answers.
#include <linux/videodev2.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/media/capture_devices.h"

namespace {

const uint8_t* g_data = nullptr;
size_t g_size = 0, g_pos = 0;

uint8_t Next() { return g_pos < g_size ? g_data[g_pos++] : 0; }

// Fills the call's record from the input: a first byte of 0 fails the call (EINVAL), anything else
// succeeds with the record's bytes taken from the input (kept indexes and types as asked).
int Answer(unsigned long request, void* arg) {
  const uint8_t verdict = Next();
  if (verdict == 0 || g_pos >= g_size) {
    errno = verdict == 1 ? EBUSY : EINVAL;
    return -1;
  }
  const size_t size = _IOC_SIZE(request);
  std::vector<uint8_t> keep(static_cast<uint8_t*>(arg), static_cast<uint8_t*>(arg) + size);
  const size_t n = std::min(size, g_size - g_pos);
  std::memcpy(arg, g_data + g_pos, n);
  g_pos += n;
  // The fields the caller set (index, pixel format, sizes) stay as asked, as a driver keeps them.
  if (request == VIDIOC_ENUM_FMT || request == VIDIOC_ENUMINPUT || request == VIDIOC_ENUMAUDIO) {
    std::memcpy(arg, keep.data(), 4);
  }
  if (request == VIDIOC_ENUM_FRAMESIZES) std::memcpy(arg, keep.data(), 8);
  if (request == VIDIOC_ENUM_FRAMEINTERVALS) std::memcpy(arg, keep.data(), 16);
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  TV4L2Ops ops;
  ops.ListNodes = [] {
    std::vector<std::string> nodes;
    const int n = g_size > 0 ? g_data[0] % 4 : 0;
    for (int i = 0; i < n; ++i) nodes.push_back("/dev/video" + std::to_string(i));
    return nodes;
  };
  ops.Open = [](const std::string&, int) {
    if (Next() == 0xFF) {
      errno = EACCES;
      return -1;
    }
    return 1000;
  };
  ops.Close = [](int) { return 0; };
  ops.Ioctl = [](int, unsigned long request, void* arg) { return Answer(request, arg); };
  SetV4L2Ops(ops);
  SetVirtualCaptureDevices({});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 65536) return 0;
  g_data = data;
  g_size = size;
  g_pos = 1;
  for (const TCaptureDeviceInfo& d : EnumerateCaptureDevices()) {
    volatile size_t sink = d.Name.size() + d.Capabilities.size() + d.Inputs.size();
    (void)sink;
  }
  return 0;
}
