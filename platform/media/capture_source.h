#pragma once
// A capture device as a source of the media player (private to the media services). Opening takes
// the control side only (the device's description, its inputs); Start opens libavdevice's reader
// (video4linux2 for a V4L2 node, lavfi for a virtual device) with the format, size, rate and input
// asked for, non-blocking; Stop closes it. A live source has no duration and cannot seek.
#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "platform/media/capture_devices.h"
#include "platform/media/media_source.h"

class TCaptureSource : public TMediaSource {
 public:
  explicit TCaptureSource(std::string Id);
  ~TCaptureSource() override;
  bool Open(std::string& Error) override;
  AVFormatContext* Context() override { return context_; }
  int ReadPacket(AVPacket* Packet) override;
  int SeekKeyFrame(int, int64_t) override { return AVERROR(ENOSYS); }
  bool Live() const override { return true; }
  const std::string& Id() const { return id_; }

  // Opens the reader: 0, or a negative AVERROR (EBUSY: another program holds the device).
  int Start();
  void Stop();
  bool Streaming() const { return context_ != nullptr; }

  // The device as read at Open (inputs and capabilities; the current input kept up to date).
  TCaptureDeviceInfo Info() const;
  TCaptureControl* Control() { return control_.get(); }
  void SetRequest(const TCaptureRequest& Request);
  TCaptureRequest Request() const;
  // The capability the request chose, with the size taken (nearest declared size for a virtual
  // device); the interval a frame takes, in 100 ns (0 when unknown).
  TCaptureCapability Chosen(int32_t& Width, int32_t& Height) const;
  int64_t FrameInterval() const;

 private:
  std::string id_;
  bool virtual_ = false;
  TVirtualCaptureDevice virtualDevice_;
  std::unique_ptr<TCaptureControl> control_;
  mutable std::mutex mutex_;
  TCaptureDeviceInfo info_;
  TCaptureRequest request_;
  AVFormatContext* context_ = nullptr;
};
