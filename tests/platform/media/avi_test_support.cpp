#include "tests/platform/media/avi_test_support.h"

#include <gtest/gtest.h>

#include <sstream>

#include "tests/support/png_fixture.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace avitest {

Probe ProbeWithLibav(const std::string& FileName, bool DecodeVideo) {
  Probe p;
  AVFormatContext* fmt = nullptr;
  if (avformat_open_input(&fmt, FileName.c_str(), nullptr, nullptr) < 0) return p;
  if (avformat_find_stream_info(fmt, nullptr) < 0) {
    avformat_close_input(&fmt);
    return p;
  }
  p.Opened = true;
  std::vector<AVCodecContext*> decoders(fmt->nb_streams, nullptr);
  for (unsigned i = 0; i < fmt->nb_streams; ++i) {
    const AVCodecParameters* par = fmt->streams[i]->codecpar;
    Probe::S s;
    s.Type = av_get_media_type_string(par->codec_type) ? av_get_media_type_string(par->codec_type) : "";
    s.Codec = avcodec_get_name(par->codec_id);
    char tag[AV_FOURCC_MAX_STRING_SIZE] = {};
    av_fourcc_make_string(tag, par->codec_tag);
    s.Tag = tag;
    s.Width = par->width;
    s.Height = par->height;
    s.RateNum = fmt->streams[i]->r_frame_rate.num;
    s.RateDen = fmt->streams[i]->r_frame_rate.den;
    p.Streams.push_back(s);
    if (DecodeVideo && par->codec_type == AVMEDIA_TYPE_VIDEO) {
      const AVCodec* codec = avcodec_find_decoder(par->codec_id);
      if (!codec) continue;
      AVCodecContext* c = avcodec_alloc_context3(codec);
      avcodec_parameters_to_context(c, par);
      c->thread_count = 1;
      if (avcodec_open2(c, codec, nullptr) < 0) {
        avcodec_free_context(&c);
        continue;
      }
      decoders[i] = c;
    }
  }
  AVPacket* pkt = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  auto take = [&](unsigned i) {
    while (avcodec_receive_frame(decoders[i], frame) == 0) {
      const int w = frame->width, h = frame->height;
      Bytes rows(static_cast<size_t>(w) * 3 * h);
      SwsContext* sws = sws_getContext(w, h, static_cast<AVPixelFormat>(frame->format), w, h, AV_PIX_FMT_BGR24,
                                       SWS_POINT, nullptr, nullptr, nullptr);
      uint8_t* dst[4] = {rows.data(), nullptr, nullptr, nullptr};
      const int stride[4] = {w * 3, 0, 0, 0};
      sws_scale(sws, frame->data, frame->linesize, 0, h, dst, stride);
      sws_freeContext(sws);
      p.Streams[i].Frames.push_back(std::move(rows));
      av_frame_unref(frame);
    }
  };
  while (av_read_frame(fmt, pkt) >= 0) {
    const unsigned i = static_cast<unsigned>(pkt->stream_index);
    p.Streams[i].Packets++;
    if (decoders[i]) {
      avcodec_send_packet(decoders[i], pkt);
      take(i);
    }
    av_packet_unref(pkt);
  }
  for (unsigned i = 0; i < decoders.size(); ++i) {
    if (!decoders[i]) continue;
    avcodec_send_packet(decoders[i], nullptr);
    take(i);
    avcodec_free_context(&decoders[i]);
  }
  av_frame_free(&frame);
  av_packet_free(&pkt);
  avformat_close_input(&fmt);
  return p;
}

std::map<std::string, std::string> FFprobe(const std::string& FileName, const std::string& Select) {
  std::map<std::string, std::string> values;
  const std::string tool = testsupport::FindProgram({"ffprobe"});
  EXPECT_FALSE(tool.empty()) << "ffprobe is missing (scripts/install-deps.sh installs ffmpeg)";
  if (tool.empty()) return values;
  std::string out;
  const int status = testsupport::RunProgram("'" + tool + "' -v error -count_frames -select_streams " + Select +
                                                 " -show_streams -of default=noprint_wrappers=1 '" + FileName + "'",
                                             &out);
  EXPECT_EQ(status, 0) << out;
  std::istringstream in(out);
  std::string line;
  while (std::getline(in, line)) {
    const size_t eq = line.find('=');
    if (eq != std::string::npos && !values.count(line.substr(0, eq))) values[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return values;
}

}  // namespace avitest
