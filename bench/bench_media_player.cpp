// The media player against a minimal libavcodec loop, in one process on the same file and at the
// same decoder thread count: every frame of a clip decoded and turned into BGR24 rows. The player
// runs without a clock into its sample buffer; the loop reads, sends, receives and scales. The
// last frames of both are compared (exact: same decoder, same converter). The CPU column is the
// whole process's processor time (the player decodes on its own thread). BM_PlayerOverLoop runs the
// two in turn and gives the medians of the per-pair ratios: on a shared machine the load moves
// between runs far more than the 5 % the player may cost, and a pair runs under the same load.
//   BRIMVALE_MEDIA_CLIP=clip.mp4 bench_media_player   (default: a 10-second 1280 x 720 H.264 clip
//   made with the ffmpeg command into the temporary folder)
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/media/media_player.h"
#include "platform/media/media_settings.h"
#include "platform/media/video_sample.h"

#include "bench/bench_timing.h"

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
  int sw = 0, sh = 0, sf = -1;
  int64_t frames = 0;
  auto take = [&] {
    while (avcodec_receive_frame(c, frame) == 0) {
      const int w = frame->width, h = frame->height, row = (w * 3 + 3) & ~3;
      // The converter is set up once (its colour tables cost a good part of a frame's conversion).
      if (!sws || w != sw || h != sh || frame->format != sf) {
        sws = sws_getCachedContext(sws, w, h, static_cast<AVPixelFormat>(frame->format), w, h, AV_PIX_FMT_BGR24,
                                   SWS_BICUBIC, nullptr, nullptr, nullptr);
        const int space = frame->colorspace == AVCOL_SPC_BT709 || (frame->colorspace == AVCOL_SPC_UNSPECIFIED && (w >= 1280 || h > 576))
                              ? SWS_CS_ITU709 : SWS_CS_ITU601;
        sws_setColorspaceDetails(sws, sws_getCoefficients(space), frame->color_range == AVCOL_RANGE_JPEG,
                                 sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
        sw = w, sh = h, sf = frame->format;
      }
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

// Expected: the frames the loop decoded. The benchmark thread sleeps until the sample callback has
// seen that many (then waits briefly for EC_COMPLETE), so that waiting costs no processor time:
// polling the event queue every few hundred microseconds was charged to the player.
int64_t PlayAll(const std::string& file, int threads, int64_t expected, std::vector<uint8_t>& last) {
  TMediaPlayerOptions o;
  o.Clock = mcsNone;
  o.DecoderThreads = threads;
  TMediaPlayer player;
  if (!player.OpenFile(file, o)) return -1;
  std::mutex m;
  std::condition_variable cv;
  std::atomic<int64_t> seen{0};
  player.SampleBuffer().SetCallback([&](double, const uint8_t*, int64_t) {
    if (++seen == expected) {
      std::lock_guard<std::mutex> lock(m);
      cv.notify_all();
    }
  });
  player.Run();
  int32_t code = 0;
  while (!(player.Events().GetEvent(code) && code == EC_COMPLETE)) {
    std::unique_lock<std::mutex> lock(m);
    if (seen < expected) {
      cv.wait_for(lock, std::chrono::milliseconds(50), [&] { return seen >= expected; });
    } else {
      lock.unlock();
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
  }
  player.SampleBuffer().SetCallback(nullptr);
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
  const int64_t expected = DecodeLoop(Clip(), static_cast<int>(state.range(0)), reference);
  int64_t frames = 0;
  for (auto _ : state) frames = PlayAll(Clip(), static_cast<int>(state.range(0)), expected, last);
  state.counters["frames"] = static_cast<double>(frames);
  if (frames != expected) state.SkipWithError("the player showed another number of frames than the loop decoded");
  else if (last != reference) state.SkipWithError("the last frame differs from the libavcodec loop's");
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// Each iteration one loop run and one player run, in alternating order; the counters are medians
// over the pairs (ratios player / loop, and each side's processor milliseconds).
void BM_PlayerOverLoop(benchmark::State& state) {
  SetMediaForceSilentAudio(true);
  const int threads = static_cast<int>(state.range(0));
  std::vector<uint8_t> last, reference;
  const int64_t expected = DecodeLoop(Clip(), threads, reference);
  std::vector<double> cpu, wall, loopCpu, playerCpu;
  int64_t frames = 0, n = 0;
  for (auto _ : state) {
    Timing loop, player;
    const auto runLoop = [&] { MeasureOnce([&] { DecodeLoop(Clip(), threads, reference); }, loop); };
    const auto runPlayer = [&] { MeasureOnce([&] { frames = PlayAll(Clip(), threads, expected, last); }, player); };
    if (n++ % 2) {
      runPlayer();
      runLoop();
    } else {
      runLoop();
      runPlayer();
    }
    cpu.push_back(player.cpu / loop.cpu);
    wall.push_back(player.wall / loop.wall);
    loopCpu.push_back(loop.cpu * 1e3);
    playerCpu.push_back(player.cpu * 1e3);
  }
  state.counters["cpu_ratio"] = Median(cpu);
  state.counters["wall_ratio"] = Median(wall);
  state.counters["loop_cpu_ms"] = Median(loopCpu);
  state.counters["player_cpu_ms"] = Median(playerCpu);
  if (frames != expected) state.SkipWithError("the player showed another number of frames than the loop decoded");
  else if (last != reference) state.SkipWithError("the last frame differs from the libavcodec loop's");
}

}  // namespace

BENCHMARK(BM_PlayerOverLoop)->Arg(1)->Arg(4)->Iterations(10)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LibavcodecLoop)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
BENCHMARK(BM_PlayerNoClock)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
