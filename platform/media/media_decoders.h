#pragma once
// The decoders of a media player (private to the media services): a video decoder that turns its
// frames into bottom-up 24-bit DIB rows with the stream's colour matrix and range, and an audio
// decoder that turns its frames into interleaved 16-bit samples in the output's format.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/media/audio_sink.h"
#include "platform/media/ffmpeg_support.h"

extern "C" {
#include <libavformat/avformat.h>
}

struct SwsContext;
struct SwrContext;
class TVideoSample;

// The frame size passes av_image_check_size2 for 24-bit rows and the layer's pixel limit.
bool MediaFrameSizeAllowed(int64_t Width, int64_t Height);

class TStreamDecoder {
 public:
  TStreamDecoder() = default;
  virtual ~TStreamDecoder() = default;
  TStreamDecoder(const TStreamDecoder&) = delete;
  TStreamDecoder& operator=(const TStreamDecoder&) = delete;
  // Closes the decoder and forgets the converter.
  virtual void Reset() { context_.reset(); }
  // Opens the decoder of Stream with Threads threads (0: the library's choice).
  bool Open(AVStream* Stream, int Threads, std::string& Error);
  // Opens the decoder of a stream described by Parameters (time base TimeBase).
  bool Open(const AVCodecParameters* Parameters, AVRational TimeBase, int Threads, std::string& Error);
  bool IsOpen() const { return context_ != nullptr; }
  AVCodecContext* Context() const { return context_.get(); }
  // A null packet starts draining. Answers like avcodec_send_packet / avcodec_receive_frame.
  int Send(const AVPacket* Packet);
  int Receive(AVFrame* Frame);
  void Flush();

 protected:
  virtual void Configure(AVCodecContext* Context) { (void)Context; }
  TAVCodecContextPtr context_;
};

class TVideoDecoder : public TStreamDecoder {
 public:
  ~TVideoDecoder() override;
  void Reset() override;
  // Packets decoded while set yield no frames that nothing references (frames before a seek
  // target are not shown anyway).
  void SetSkipNonRef(bool Skip);
  // Rows of Frame into Sample, which has the frame's size. False when the conversion fails.
  bool Convert(const AVFrame* Frame, TVideoSample& Sample);
  // Rows of Frame as a bottom-up 24-bit DIB: Bits is the bottom row, rows RowLength bytes apart.
  bool Convert(const AVFrame* Frame, uint8_t* Bits, int32_t RowLength);

 protected:
  void Configure(AVCodecContext* Context) override;

 private:
  SwsContext* sws_ = nullptr;
  int swsWidth_ = 0, swsHeight_ = 0, swsFormat_ = -1, swsSpace_ = -1, swsRange_ = -1;
};

class TAudioDecoder : public TStreamDecoder {
 public:
  ~TAudioDecoder() override;
  void Reset() override;
  // The output format the samples are converted to.
  void SetOutput(const TAudioFormat& Format) { output_ = Format; }
  const TAudioFormat& Output() const { return output_; }
  // Appends Frame's samples in the output format to Out; answers the frames appended.
  int64_t Convert(const AVFrame* Frame, std::vector<int16_t>& Out);

 private:
  SwrContext* swr_ = nullptr;
  TAudioFormat output_;
  int swrRate_ = 0, swrFormat_ = -1;
  AVChannelLayout swrLayout_{};
};
