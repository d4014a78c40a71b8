// The media player against a minimal libavcodec loop, in one process on the same file and at the
// same decoder thread count: every frame of a clip decoded and turned into BGR24 rows. The player
// runs without a clock into its sample buffer; the loop reads, sends, receives and scales. The
// last frames of both are compared (exact: same decoder, same converter). The CPU column is the
// whole process's processor time (the player decodes on its own thread).
//   BRIMVALE_MEDIA_CLIP=clip.mp4 bench_media_player   (default: a 10-second 1280 x 720 H.264 clip
//   made with the ffmpeg command into the temporary folder)
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/media/media_player.h"
#include "platform/media/media_settings.h"
#include "platform/media/video_sample.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace {

const std::string& Clip() {
  static const std::string clip = [] {
    if (const char* env = std::getenv("BRIMVALE_MEDIA_CLIP")) return std::string(env);
    const std::string file = (std::filesystem::temp_directory_path() / "brimvale_bench_clip.mp4").string();
    if (!std::filesystem::exists(file)) {
      const std::string cmd =
          "ffmpeg -hide_banner -loglevel error -y -f lavfi -i testsrc2=size=1280x720:rate=25:duration=10 "
          "-c:v libx264 -preset medium -g 50 -pix_fmt yuv420p " + file;
      if (std::system(cmd.c_str()) != 0) throw std::runtime_error("cannot make the clip (ffmpeg)");
    }
    return file;
  }();
  return clip;
}

// The minimal loop: every frame to BGR24 (bottom-up, as the player's samples), the last one kept.
int64_t DecodeLoop(const std::string& file, int threads, std::vector<uint8_t>& last) {
  AVFormatContext* fmt = nullptr;
  if (avformat_open_input(&fmt, file.c_str(), nullptr, nullptr) < 0) return -1;
  avformat_find_stream_info(fmt, nullptr);
  const int index = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  const AVCodec* codec = avcodec_find_decoder(fmt->streams[index]->codecpar->codec_id);
  AVCodecContext* c = avcodec_alloc_context3(codec);
  avcodec_parameters_to_context(c, fmt->streams[index]->codecpar);
  c->thread_count = threads;
  avcodec_open2(c, codec, nullptr);
  AVPacket* pkt = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  SwsContext* sws = nullptr;
  int64_t frames = 0;
  auto take = [&] {
    while (avcodec_receive_frame(c, frame) == 0) {
      const int w = frame->width, h = frame->height, row = (w * 3 + 3) & ~3;
      sws = sws_getCachedContext(sws, w, h, static_cast<AVPixelFormat>(frame->format), w, h, AV_PIX_FMT_BGR24,
                                 SWS_BICUBIC, nullptr, nullptr, nullptr);
      const int space = frame->colorspace == AVCOL_SPC_BT709 || (frame->colorspace == AVCOL_SPC_UNSPECIFIED && (w >= 1280 || h > 576))
                            ? SWS_CS_ITU709 : SWS_CS_ITU601;
      sws_setColorspaceDetails(sws, sws_getCoefficients(space), frame->color_range == AVCOL_RANGE_JPEG,
                               sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
      last.resize(static_cast<size_t>(row) * h + 64);
      uint8_t* dst[4] = {last.data() + static_cast<size_t>(h - 1) * row, nullptr, nullptr, nullptr};
      const int stride[4] = {-row, 0, 0, 0};
      sws_scale(sws, frame->data, frame->linesize, 0, h, dst, stride);
      last.resize(static_cast<size_t>(row) * h);
      ++frames;
    }
  };
  while (av_read_frame(fmt, pkt) >= 0) {
    if (pkt->stream_index == index) {
      avcodec_send_packet(c, pkt);
      take();
    }
    av_packet_unref(pkt);
  }
  avcodec_send_packet(c, nullptr);
  take();
  sws_freeContext(sws);
  av_frame_free(&frame);
  av_packet_free(&pkt);
  avcodec_free_context(&c);
  avformat_close_input(&fmt);
  return frames;
}

int64_t PlayAll(const std::string& file, int threads, std::vector<uint8_t>& last) {
  TMediaPlayerOptions o;
  o.Clock = mcsNone;
  o.DecoderThreads = threads;
  TMediaPlayer player;
  if (!player.OpenFile(file, o)) return -1;
  player.Run();
  int32_t code = 0;
  while (!(player.Events().GetEvent(code) && code == EC_COMPLETE)) std::this_thread::sleep_for(std::chrono::microseconds(200));
  const TVideoSamplePtr s = player.SampleBuffer().CurrentSample();
  if (s) last.assign(s->Bits(), s->Bits() + s->Size());
  return player.FramesShown();
}

void BM_LibavcodecLoop(benchmark::State& state) {
  std::vector<uint8_t> last;
  int64_t frames = 0;
  for (auto _ : state) frames = DecodeLoop(Clip(), static_cast<int>(state.range(0)), last);
  state.counters["frames"] = static_cast<double>(frames);
}

void BM_PlayerNoClock(benchmark::State& state) {
  SetMediaForceSilentAudio(true);
  std::vector<uint8_t> last, reference;
  DecodeLoop(Clip(), static_cast<int>(state.range(0)), reference);
  int64_t frames = 0;
  for (auto _ : state) frames = PlayAll(Clip(), static_cast<int>(state.range(0)), last);
  state.counters["frames"] = static_cast<double>(frames);
  if (last != reference) state.SkipWithError("the last frame differs from the libavcodec loop's");
}

}  // namespace

BENCHMARK(BM_LibavcodecLoop)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(BM_PlayerNoClock)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
