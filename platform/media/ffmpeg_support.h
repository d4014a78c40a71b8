#pragma once
// Small helpers around the FFmpeg libraries for the media services: the library's log routed to the
// debug log, error texts, and owners for its objects.
#include <memory>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

// Sends the libraries' messages of error level and worse (from any thread) to the debug log.
// Installed once; later calls do nothing.
void InstallFFmpegLog();
std::string FFmpegErrorText(int Error);

struct TAVFrameFree {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct TAVPacketFree {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct TAVCodecContextFree {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
using TAVFramePtr = std::unique_ptr<AVFrame, TAVFrameFree>;
using TAVPacketPtr = std::unique_ptr<AVPacket, TAVPacketFree>;
using TAVCodecContextPtr = std::unique_ptr<AVCodecContext, TAVCodecContextFree>;
