// The AVI file services' codecs against minimal libavcodec loops, in one process on the same frames
// at one thread each: compression through the compressor list (TAviEncoder) against convert, send
// and receive; AVIStreamGetFrame against read, decode and convert to BGR24. The outputs are compared
// (the same bytes coded, the same pixels decoded).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/media/avi_compressors.h"
#include "platform/media/avi_file.h"
#include "platform/media/media_settings.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace {

constexpr int kWidth = 1280, kHeight = 720, kFrames = 20;
constexpr int kRow = kWidth * 3;

// Bottom-up BGR24 frames with moving gradients and edges.
const std::vector<std::vector<uint8_t>>& Frames() {
  static const std::vector<std::vector<uint8_t>> frames = [] {
    std::vector<std::vector<uint8_t>> f(kFrames, std::vector<uint8_t>(static_cast<size_t>(kRow) * kHeight));
    for (int k = 0; k < kFrames; ++k) {
      for (int y = 0; y < kHeight; ++y) {
        uint8_t* p = f[k].data() + static_cast<size_t>(y) * kRow;
        for (int x = 0; x < kWidth; ++x) {
          p[3 * x] = static_cast<uint8_t>(x + 3 * k);
          p[3 * x + 1] = static_cast<uint8_t>(y * 2 + ((x / 64 + y / 64 + k) & 1) * 80);
          p[3 * x + 2] = static_cast<uint8_t>(128 + 100 * std::sin((x + y + 10 * k) * 0.01));
        }
      }
    }
    return f;
  }();
  return frames;
}

std::vector<uint8_t> InputFormat() {
  BITMAPINFOHEADER h{};
  h.biWidth = kWidth;
  h.biHeight = kHeight;
  h.biBitCount = 24;
  h.biSizeImage = static_cast<uint32_t>(kRow) * kHeight;
  std::vector<uint8_t> f(40);
  std::memcpy(f.data(), &h, 40);
  return f;
}

// Ours: every frame through the compressor list's MJPG at quality 9333 (-q:v 3).
int64_t EncodeOurs() {
  TAviEncoder e;
  e.SetThreads(1);
  AVICOMPRESSOPTIONS o{};
  o.dwQuality = 9333;
  if (e.Open(mmioStringToFOURCC("MJPG", 0), InputFormat(), 1, 25, &o) != AVIERR_OK) return -1;
  std::vector<TAviEncodedSample> out;
  int64_t bytes = 0;
  for (const auto& f : Frames()) {
    out.clear();
    e.Encode(f.data(), static_cast<int64_t>(f.size()), out);
    for (const auto& s : out) bytes += static_cast<int64_t>(s.Data.size());
  }
  out.clear();
  e.Flush(out);
  for (const auto& s : out) bytes += static_cast<int64_t>(s.Data.size());
  return bytes;
}

// The minimal loop: convert, send, receive, with the same settings.
int64_t EncodeLoop() {
  const AVCodec* codec = avcodec_find_encoder_by_name("mjpeg");
  AVCodecContext* c = avcodec_alloc_context3(codec);
  c->width = kWidth;
  c->height = kHeight;
  c->pix_fmt = AV_PIX_FMT_YUVJ420P;
  c->time_base = {1, 25};
  c->framerate = {25, 1};
  c->thread_count = 1;
  c->max_b_frames = 0;
  c->flags |= AV_CODEC_FLAG_QSCALE;
  c->global_quality = 3 * FF_QP2LAMBDA;
  c->qmin = c->qmax = 3;
  c->color_range = AVCOL_RANGE_JPEG;
  c->colorspace = AVCOL_SPC_SMPTE170M;
  c->codec_tag = mmioStringToFOURCC("MJPG", 0);
  avcodec_open2(c, codec, nullptr);
  SwsContext* sws = sws_getContext(kWidth, kHeight, AV_PIX_FMT_BGR24, kWidth, kHeight, AV_PIX_FMT_YUVJ420P,
                                   SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr, nullptr);
  sws_setColorspaceDetails(sws, sws_getCoefficients(SWS_CS_DEFAULT), 0, sws_getCoefficients(SWS_CS_ITU601), 1, 0,
                           1 << 16, 1 << 16);
  AVFrame* frame = av_frame_alloc();
  frame->format = c->pix_fmt;
  frame->width = kWidth;
  frame->height = kHeight;
  av_frame_get_buffer(frame, 0);
  AVPacket* pkt = av_packet_alloc();
  int64_t bytes = 0, pts = 0;
  auto take = [&] {
    while (avcodec_receive_packet(c, pkt) == 0) {
      bytes += pkt->size;
      av_packet_unref(pkt);
    }
  };
  for (const auto& f : Frames()) {
    av_frame_make_writable(frame);
    const uint8_t* src[4] = {f.data() + static_cast<size_t>(kHeight - 1) * kRow, nullptr, nullptr, nullptr};
    const int stride[4] = {-kRow, 0, 0, 0};
    sws_scale(sws, src, stride, 0, kHeight, frame->data, frame->linesize);
    frame->pts = pts++;
    avcodec_send_frame(c, frame);
    take();
  }
  avcodec_send_frame(c, nullptr);
  take();
  av_packet_free(&pkt);
  av_frame_free(&frame);
  sws_freeContext(sws);
  avcodec_free_context(&c);
  return bytes;
}

// An MJPG AVI of the frames, made once.
const std::string& Clip() {
  static const std::string file = [] {
    const std::string name = (std::filesystem::temp_directory_path() / "brimvale_bench_avi.avi").string();
    PAVIFILE f = nullptr;
    PAVISTREAM s = nullptr, z = nullptr;
    AVIFileOpen(&f, name, OF_CREATE | OF_WRITE);
    AVISTREAMINFOW i{};
    i.fccType = streamtypeVIDEO;
    i.dwScale = 1;
    i.dwRate = 25;
    AVIFileCreateStream(f, &s, &i);
    AVICOMPRESSOPTIONS o{};
    o.fccHandler = mmioStringToFOURCC("MJPG", 0);
    o.dwQuality = 9333;
    AVIMakeCompressedStream(&z, s, &o, nullptr);
    const std::vector<uint8_t> fmt = InputFormat();
    AVIStreamSetFormat(z, 0, fmt.data(), 40);
    int32_t n = 0;
    for (const auto& frame : Frames()) AVIStreamWrite(z, n++, 1, frame.data(), static_cast<int32_t>(frame.size()), AVIIF_KEYFRAME, nullptr, nullptr);
    AVIStreamRelease(z);
    AVIStreamRelease(s);
    AVIFileRelease(f);
    return name;
  }();
  return file;
}

// Ours: every frame through AVIStreamGetFrame; the last frame's rows kept.
void DecodeOurs(std::vector<uint8_t>& last) {
  PAVIFILE f = nullptr;
  PAVISTREAM s = nullptr;
  AVIFileOpen(&f, Clip(), OF_READ);
  AVIFileGetStream(f, &s, streamtypeVIDEO, 0);
  PGETFRAME g = AVIStreamGetFrameOpen(s, nullptr);
  const int32_t n = AVIStreamLength(s);
  const uint8_t* dib = nullptr;
  for (int32_t k = 0; k < n; ++k) dib = static_cast<const uint8_t*>(AVIStreamGetFrame(g, k));
  if (dib) last.assign(dib + 40, dib + 40 + static_cast<size_t>(kRow) * kHeight);
  AVIStreamGetFrameClose(g);
  AVIStreamRelease(s);
  AVIFileRelease(f);
}

void DecodeLoop(std::vector<uint8_t>& last) {
  AVFormatContext* fmt = nullptr;
  avformat_open_input(&fmt, Clip().c_str(), nullptr, nullptr);
  avformat_find_stream_info(fmt, nullptr);
  const AVCodecParameters* par = fmt->streams[0]->codecpar;
  const AVCodec* codec = avcodec_find_decoder(par->codec_id);
  AVCodecContext* c = avcodec_alloc_context3(codec);
  avcodec_parameters_to_context(c, par);
  c->thread_count = 1;
  avcodec_open2(c, codec, nullptr);
  AVPacket* pkt = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  SwsContext* sws = nullptr;
  last.resize(static_cast<size_t>(kRow) * kHeight);
  auto take = [&] {
    while (avcodec_receive_frame(c, frame) == 0) {
      sws = sws_getCachedContext(sws, kWidth, kHeight, static_cast<AVPixelFormat>(frame->format), kWidth, kHeight,
                                 AV_PIX_FMT_BGR24, SWS_BICUBIC, nullptr, nullptr, nullptr);
      sws_setColorspaceDetails(sws, sws_getCoefficients(SWS_CS_ITU601), 1, sws_getCoefficients(SWS_CS_DEFAULT), 1, 0,
                               1 << 16, 1 << 16);
      uint8_t* dst[4] = {last.data() + static_cast<size_t>(kHeight - 1) * kRow, nullptr, nullptr, nullptr};
      const int stride[4] = {-kRow, 0, 0, 0};
      sws_scale(sws, frame->data, frame->linesize, 0, kHeight, dst, stride);
    }
  };
  while (av_read_frame(fmt, pkt) >= 0) {
    avcodec_send_packet(c, pkt);
    av_packet_unref(pkt);
    take();
  }
  avcodec_send_packet(c, nullptr);
  take();
  sws_freeContext(sws);
  av_frame_free(&frame);
  av_packet_free(&pkt);
  avcodec_free_context(&c);
  avformat_close_input(&fmt);
}

void BM_EncodeLibavcodecLoop(benchmark::State& state) {
  int64_t bytes = 0;
  for (auto _ : state) bytes = EncodeLoop();
  state.counters["bytes"] = static_cast<double>(bytes);
}

void BM_EncodeCompressorList(benchmark::State& state) {
  const int64_t reference = EncodeLoop();
  int64_t bytes = 0;
  for (auto _ : state) bytes = EncodeOurs();
  state.counters["bytes"] = static_cast<double>(bytes);
  if (bytes != reference) state.SkipWithError("the coded size differs from the libavcodec loop's");
}

void BM_DecodeLibavcodecLoop(benchmark::State& state) {
  std::vector<uint8_t> last;
  for (auto _ : state) DecodeLoop(last);
}

void BM_DecodeGetFrame(benchmark::State& state) {
  SetMediaCodecThreads(1);
  std::vector<uint8_t> reference, last;
  DecodeLoop(reference);
  for (auto _ : state) DecodeOurs(last);
  if (last != reference) state.SkipWithError("the last frame differs from the libavcodec loop's");
}

}  // namespace

BENCHMARK(BM_EncodeLibavcodecLoop)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EncodeCompressorList)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodeLibavcodecLoop)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodeGetFrame)->Unit(benchmark::kMillisecond)->UseRealTime();
