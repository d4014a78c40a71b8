#pragma once
// Video capture devices of the media services: the V4L2 nodes of the machine (single-planar
// streaming capture nodes, in /dev/video* order) and virtual devices drawn by an FFmpeg filter graph
// (test patterns). For each: its name and version, its capabilities (formats by media subtype with
// their sizes and fastest frame interval), its inputs (the crossbar of a device with several inputs
// or a tuner) and analog standards, and its controls. Capture itself is a source of the media
// player (TMediaPlayer::OpenCapture).
//
// Every V4L2 call goes through one table of operations, which tests replace with a scripted fake
// device; every enumeration loop is bounded (a driver may never answer EINVAL).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/system/guid.h"

struct AVPacket;

// The V4L2 operations: the device nodes, open, close and ioctl as the C library has them.
struct TV4L2Ops {
  std::function<std::vector<std::string>()> ListNodes;  // /dev/video* in numeric order
  std::function<int(const std::string& Path, int Flags)> Open;
  std::function<int(int Fd)> Close;
  std::function<int(int Fd, unsigned long Request, void* Arg)> Ioctl;  // -1 with errno on failure
};
// The system's operations.
const TV4L2Ops& SystemV4L2Ops();
// Replaces the table (tests); an empty table restores the system's.
void SetV4L2Ops(const TV4L2Ops& Ops);

// The media subtype of a capture format (the framework's identifiers: FOURCC subtypes
// {XXXXXXXX-0000-0010-8000-00AA00389B71}, the RGB subtypes by their own identifiers).
TGUID FourCCSubtype(uint32_t FourCC);
extern const TGUID MEDIASUBTYPE_RGB32;
extern const TGUID MEDIASUBTYPE_RGB555;
extern const TGUID MEDIASUBTYPE_RGB565;
// The subtype of a V4L2 pixel format, by meaning (YUYV is YUY2, YU12 IYUV, BGR3 RGB24, XR24 RGB32,
// JPEG MJPG ...); other codes as FOURCC subtypes of themselves.
TGUID V4L2PixelFormatSubtype(uint32_t PixelFormat);
// The DirectShow analog-standard mask of a V4L2 standard set (PAL_G has no flag).
uint32_t AnalogStandardsOfV4L2(uint64_t StdId);

// One capability of a device: a format at one size (Min = Max) or a range of sizes.
struct TCaptureCapability {
  TGUID Subtype{};
  uint32_t PixelFormat = 0;      // the device's code (V4L2) or the virtual device's FFmpeg format
  bool Compressed = false;
  int32_t BitsPerPixel = 0;      // 0 for compressed formats
  int32_t MinWidth = 0, MinHeight = 0, MaxWidth = 0, MaxHeight = 0;
  int32_t StepWidth = 1, StepHeight = 1;
  int64_t MinFrameInterval = 0;  // the fastest, in 100 ns; 0 when unknown
  uint32_t BitRate = 0;          // bits x width x height x rate at the largest size; 0 compressed
  uint32_t AnalogStandards = 0;  // of the current input
};

// What a capture is asked for: 0 sizes and intervals keep the device's own, a null subtype its
// first format.
struct TCaptureRequest {
  int32_t Width = 0, Height = 0;
  TGUID Subtype{};
  int64_t FrameInterval = 0;  // 100 ns
};

// One input of a device's crossbar (video inputs first, then audio inputs).
struct TCaptureInput {
  std::string Name;
  bool Audio = false;
  bool Tuner = false;
  uint64_t StdId = 0;
  uint32_t AudioSet = 0;          // audio inputs that go with a video input
};

struct TCaptureDeviceInfo {
  std::string Name;               // the card name
  std::string Version;            // "major.minor.patch" of the driver
  std::string Id;                 // the node's path, or "virtual:<name>#<n>" for a virtual device
  bool Virtual = false;
  std::vector<TCaptureCapability> Capabilities;
  std::vector<TCaptureInput> Inputs;  // empty unless two inputs or a tuner (a crossbar)
  int32_t CurrentInput = 0;
};

// A virtual device: frames from an FFmpeg filter graph (through libavdevice's lavfi input). The
// graph's "size=WxH" is replaced by the size asked for; declared sizes bound the request (the
// nearest is taken). Inputs have graphs and standards of their own.
struct TVirtualCaptureInput {
  std::string Name;
  std::string Graph;
  uint64_t StdId = 0;
};
struct TVirtualCaptureDevice {
  std::string Name;
  std::string Graph = "testsrc2=size=640x480:rate=30,format=yuyv422,realtime";
  std::vector<std::pair<int32_t, int32_t>> Sizes{{640, 480}};
  std::vector<TVirtualCaptureInput> Inputs;
  // Called on every packet read (tests inject faults): a negative AVERROR answer stands for the
  // read's result, 0 lets the packet through (the hook may also shorten it or wait).
  std::function<int(AVPacket* Packet)> ReadHook;
};
// The virtual devices (a layer setting; none by default). The settings store's value
// "Software\Brimvale\Capture" "TestPatternDevice" = 1 adds a "Test pattern" device.
void SetVirtualCaptureDevices(const std::vector<TVirtualCaptureDevice>& Devices);
std::vector<TVirtualCaptureDevice> VirtualCaptureDevices();
// The virtual device of an Id; null when none.
const TVirtualCaptureDevice* FindVirtualCaptureDevice(const std::string& Id, TVirtualCaptureDevice& Copy);

// The capture devices: V4L2 capture nodes (unopenable ones logged), then the virtual devices.
std::vector<TCaptureDeviceInfo> EnumerateCaptureDevices();
// One device by its Id, its capabilities and inputs read now; false when it cannot be opened.
bool ReadCaptureDevice(const std::string& Id, TCaptureDeviceInfo& Info);

// The control side of a V4L2 node (inputs, audio routing, controls), held open while a graph is
// connected to the device. Virtual devices answer from their declaration.
class TCaptureControl {
 public:
  explicit TCaptureControl(const std::string& Id);
  ~TCaptureControl();
  TCaptureControl(const TCaptureControl&) = delete;
  TCaptureControl& operator=(const TCaptureControl&) = delete;
  bool IsOpen() const { return fd_ >= 0 || virtual_; }
  const std::string& Id() const { return id_; }
  bool IsVirtual() const { return virtual_; }
  // The video input in use (G_INPUT); -1 without inputs.
  int32_t CurrentInput();
  // Selects a video input (S_INPUT); false when the device refuses (EBUSY while streaming).
  bool SelectInput(int32_t Index);
  // Routes an audio input (S_AUDIO).
  bool SelectAudio(int32_t Index);
  bool SetControl(uint32_t Id, int32_t Value);
  bool GetControl(uint32_t Id, int32_t& Value);

 private:
  std::string id_;
  int fd_ = -1;
  bool virtual_ = false;
  int32_t virtualInput_ = 0;
};
