#include "tests/support/video_fixture.h"

#include <cmath>
#include <fstream>
#include <iterator>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

namespace testsupport {

namespace {

struct FormatCloser {
  void operator()(AVFormatContext* c) const {
    if (!c) return;
    if (c->pb && !(c->oformat->flags & AVFMT_NOFILE)) avio_closep(&c->pb);
    avformat_free_context(c);
  }
};
struct CodecCloser {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameCloser {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketCloser {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};

std::string Err(const std::string& what, int r) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(r, text, sizeof text);
  return what + ": " + text;
}

// Y, Cb, Cr of an RGB colour in limited range with the given matrix.
void ToYCbCr(const VideoSpec& s, uint8_t& Y, uint8_t& Cb, uint8_t& Cr) {
  const double kr = s.Matrix == 709 ? 0.2126 : 0.299, kb = s.Matrix == 709 ? 0.0722 : 0.114;
  const double kg = 1 - kr - kb;
  const double r = s.R / 255.0, g = s.G / 255.0, b = s.B / 255.0;
  const double y = kr * r + kg * g + kb * b;
  const double pb = (b - y) / (2 * (1 - kb)), pr = (r - y) / (2 * (1 - kr));
  Y = static_cast<uint8_t>(std::lround(16 + 219 * y));
  Cb = static_cast<uint8_t>(std::lround(128 + 224 * pb));
  Cr = static_cast<uint8_t>(std::lround(128 + 224 * pr));
}

bool BitAt(int x, int y, int width, int number) {
  const int blocksPerRow = width / 16;
  if (blocksPerRow <= 0) return false;
  const int bx = x / 16, by = y / 16;
  if (bx >= blocksPerRow) return false;
  const int bit = by * blocksPerRow + bx;
  return bit < 31 && ((number >> bit) & 1);
}

void FillFrame(AVFrame* f, const VideoSpec& s, int n) {
  if (f->format == AV_PIX_FMT_BGR24) {
    for (int y = 0; y < s.Height; ++y) {
      uint8_t* row = f->data[0] + static_cast<ptrdiff_t>(y) * f->linesize[0];
      for (int x = 0; x < s.Width; ++x) {
        uint8_t b, g, r;
        if (s.FlatColour) {
          b = s.B, g = s.G, r = s.R;
        } else {
          b = g = r = BitAt(x, y, s.Width, n) ? 255 : 0;
        }
        row[x * 3] = b, row[x * 3 + 1] = g, row[x * 3 + 2] = r;
      }
    }
    return;
  }
  const bool full = f->format == AV_PIX_FMT_YUVJ420P || f->format == AV_PIX_FMT_YUVJ422P;
  uint8_t fy = 0, fcb = 128, fcr = 128;
  if (s.FlatColour) ToYCbCr(s, fy, fcb, fcr);
  const uint8_t black = full ? 0 : 16, white = full ? 255 : 235;
  for (int y = 0; y < s.Height; ++y) {
    for (int x = 0; x < s.Width; ++x) {
      f->data[0][y * f->linesize[0] + x] = s.FlatColour ? fy : (BitAt(x, y, s.Width, n) ? white : black);
    }
  }
  const int cw = (s.Width + 1) / 2;
  const int ch = f->format == AV_PIX_FMT_YUVJ422P || f->format == AV_PIX_FMT_YUV422P ? s.Height : (s.Height + 1) / 2;
  for (int y = 0; y < ch; ++y) {
    for (int x = 0; x < cw; ++x) {
      f->data[1][y * f->linesize[1] + x] = fcb;
      f->data[2][y * f->linesize[2] + x] = fcr;
    }
  }
}

class Writer {
 public:
  explicit Writer(const VideoSpec& s) : s_(s) {}

  std::string Run(const std::string& fileName) {
    AVFormatContext* raw = nullptr;
    int r = avformat_alloc_output_context2(&raw, nullptr, s_.Container.c_str(), fileName.c_str());
    if (r < 0 || !raw) return Err("output " + s_.Container, r);
    fmt_.reset(raw);
    if (s_.Video) {
      if (std::string e = AddVideo(); !e.empty()) return e;
    }
    if (s_.Audio) {
      if (std::string e = AddAudio(); !e.empty()) return e;
    }
    if (!(fmt_->oformat->flags & AVFMT_NOFILE)) {
      r = avio_open(&fmt_->pb, fileName.c_str(), AVIO_FLAG_WRITE);
      if (r < 0) return Err("open " + fileName, r);
    }
    r = avformat_write_header(fmt_.get(), nullptr);
    if (r < 0) return Err("header", r);
    pkt_.reset(av_packet_alloc());
    // Video frames and audio blocks interleaved by time.
    const int64_t audioTotal = s_.Audio ? static_cast<int64_t>(s_.Frames) * s_.RateDen * s_.SampleRate / s_.RateNum : 0;
    int frame = s_.Video ? 0 : s_.Frames;
    int64_t audioDone = 0;
    while (frame < s_.Frames || audioDone < audioTotal) {
      const double vt = static_cast<double>(frame) * s_.RateDen / s_.RateNum;
      const double at = s_.Audio ? static_cast<double>(audioDone) / s_.SampleRate : 1e300;
      if (frame < s_.Frames && (vt <= at || audioDone >= audioTotal)) {
        if (std::string e = VideoFrame(frame++); !e.empty()) return e;
      } else {
        if (std::string e = AudioBlock(audioDone, audioTotal); !e.empty()) return e;
      }
    }
    if (video_) {
      if (std::string e = Encode(video_.get(), vs_, nullptr); !e.empty()) return e;
    }
    if (audio_) {
      if (std::string e = Encode(audio_.get(), as_, nullptr); !e.empty()) return e;
    }
    r = av_write_trailer(fmt_.get());
    if (r < 0) return Err("trailer", r);
    return {};
  }

 private:
  std::string AddVideo() {
    const AVCodec* codec = avcodec_find_encoder_by_name(s_.Codec.c_str());
    if (!codec) return "no encoder " + s_.Codec;
    vs_ = avformat_new_stream(fmt_.get(), nullptr);
    video_.reset(avcodec_alloc_context3(codec));
    AVCodecContext* c = video_.get();
    c->width = s_.Width;
    c->height = s_.Height;
    c->time_base = AVRational{s_.RateDen, s_.RateNum};
    c->framerate = AVRational{s_.RateNum, s_.RateDen};
    c->gop_size = s_.Gop;
    c->max_b_frames = s_.BFrames;
    c->thread_count = 1;
    if (s_.Codec == "rawvideo") {
      c->pix_fmt = AV_PIX_FMT_BGR24;
    } else if (s_.Codec == "mjpeg") {
      c->pix_fmt = AV_PIX_FMT_YUVJ420P;
      c->color_range = AVCOL_RANGE_JPEG;
    } else {
      c->pix_fmt = AV_PIX_FMT_YUV420P;
    }
    if (s_.Codec == "mjpeg" || s_.Codec == "mpeg4" || s_.Codec == "mpeg2video" || s_.Codec == "wmv2") {
      c->flags |= AV_CODEC_FLAG_QSCALE;
      c->global_quality = FF_QP2LAMBDA * 2;
      c->qmin = c->qmax = 2;
    }
    if (s_.Codec == "libx264") {
      av_opt_set(c->priv_data, "preset", "ultrafast", 0);
      av_opt_set(c->priv_data, "crf", "18", 0);
      if (s_.BFrames > 0) {
        // ultrafast turns B-frames off; ask for them again.
        av_opt_set(c->priv_data, "x264-params", ("bframes=" + std::to_string(s_.BFrames) + ":b-adapt=0").c_str(), 0);
      }
    }
    if (s_.FlatColour && c->pix_fmt != AV_PIX_FMT_BGR24) {
      c->colorspace = s_.Matrix == 709 ? AVCOL_SPC_BT709 : AVCOL_SPC_SMPTE170M;
      c->color_primaries = s_.Matrix == 709 ? AVCOL_PRI_BT709 : AVCOL_PRI_SMPTE170M;
      c->color_trc = s_.Matrix == 709 ? AVCOL_TRC_BT709 : AVCOL_TRC_SMPTE170M;
    }
    if (fmt_->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int r = avcodec_open2(c, codec, nullptr);
    if (r < 0) return Err("open " + s_.Codec, r);
    r = avcodec_parameters_from_context(vs_->codecpar, c);
    if (r < 0) return Err("parameters", r);
    vs_->time_base = c->time_base;
    vs_->avg_frame_rate = c->framerate;
    return {};
  }

  std::string AddAudio() {
    const AVCodec* codec = avcodec_find_encoder_by_name(s_.AudioCodec.c_str());
    if (!codec) return "no encoder " + s_.AudioCodec;
    as_ = avformat_new_stream(fmt_.get(), nullptr);
    audio_.reset(avcodec_alloc_context3(codec));
    AVCodecContext* c = audio_.get();
    c->sample_rate = s_.SampleRate;
    av_channel_layout_default(&c->ch_layout, s_.Channels);
    c->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
    c->bit_rate = 128000 * s_.Channels;
    c->time_base = AVRational{1, s_.SampleRate};
    if (fmt_->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int r = avcodec_open2(c, codec, nullptr);
    if (r < 0) return Err("open " + s_.AudioCodec, r);
    r = avcodec_parameters_from_context(as_->codecpar, c);
    if (r < 0) return Err("parameters", r);
    as_->time_base = c->time_base;
    return {};
  }

  std::string VideoFrame(int n) {
    std::unique_ptr<AVFrame, FrameCloser> f(av_frame_alloc());
    f->format = video_->pix_fmt;
    f->width = s_.Width;
    f->height = s_.Height;
    int r = av_frame_get_buffer(f.get(), 0);
    if (r < 0) return Err("frame", r);
    FillFrame(f.get(), s_, n);
    f->pts = n + std::llround(s_.StartOffset * s_.RateNum / s_.RateDen);
    f->color_range = video_->color_range;
    f->colorspace = video_->colorspace;
    return Encode(video_.get(), vs_, f.get());
  }

  std::string AudioBlock(int64_t& done, int64_t total) {
    AVCodecContext* c = audio_.get();
    const int size = c->frame_size > 0 ? c->frame_size : 1024;
    std::unique_ptr<AVFrame, FrameCloser> f(av_frame_alloc());
    f->format = c->sample_fmt;
    f->sample_rate = c->sample_rate;
    av_channel_layout_copy(&f->ch_layout, &c->ch_layout);
    f->nb_samples = size;
    int r = av_frame_get_buffer(f.get(), 0);
    if (r < 0) return Err("audio frame", r);
    for (int i = 0; i < size; ++i) {
      const int64_t k = done + i;
      const double v = k < total ? s_.Amplitude * std::sin(2 * M_PI * s_.ToneHz * k / s_.SampleRate) : 0.0;
      for (int ch = 0; ch < s_.Channels; ++ch) {
        switch (c->sample_fmt) {
          case AV_SAMPLE_FMT_S16: reinterpret_cast<int16_t*>(f->data[0])[i * s_.Channels + ch] = static_cast<int16_t>(std::lrint(v * 32767)); break;
          case AV_SAMPLE_FMT_S16P: reinterpret_cast<int16_t*>(f->data[ch])[i] = static_cast<int16_t>(std::lrint(v * 32767)); break;
          case AV_SAMPLE_FMT_FLTP: reinterpret_cast<float*>(f->data[ch])[i] = static_cast<float>(v); break;
          case AV_SAMPLE_FMT_FLT: reinterpret_cast<float*>(f->data[0])[i * s_.Channels + ch] = static_cast<float>(v); break;
          default: return "unhandled sample format";
        }
      }
    }
    f->pts = done + std::llround(s_.StartOffset * s_.SampleRate);
    done += size;
    return Encode(c, as_, f.get());
  }

  std::string Encode(AVCodecContext* c, AVStream* st, AVFrame* f) {
    int r = avcodec_send_frame(c, f);
    if (r < 0 && r != AVERROR_EOF) return Err("encode", r);
    for (;;) {
      r = avcodec_receive_packet(c, pkt_.get());
      if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return {};
      if (r < 0) return Err("receive", r);
      av_packet_rescale_ts(pkt_.get(), c->time_base, st->time_base);
      pkt_->stream_index = st->index;
      r = av_interleaved_write_frame(fmt_.get(), pkt_.get());
      if (r < 0) return Err("write", r);
    }
  }

  const VideoSpec& s_;
  std::unique_ptr<AVFormatContext, FormatCloser> fmt_;
  std::unique_ptr<AVCodecContext, CodecCloser> video_, audio_;
  std::unique_ptr<AVPacket, PacketCloser> pkt_;
  AVStream* vs_ = nullptr;
  AVStream* as_ = nullptr;
};

}  // namespace

std::string MakeVideo(const std::string& FileName, const VideoSpec& Spec) {
  av_log_set_level(AV_LOG_ERROR);
  return Writer(Spec).Run(FileName);
}

int FrameNumberOf(const uint8_t* Bits, int Width, int Height, int RowLength) {
  const int blocksPerRow = Width / 16;
  int n = 0;
  for (int by = 0; by < Height / 16; ++by) {
    for (int bx = 0; bx < blocksPerRow; ++bx) {
      const int bit = by * blocksPerRow + bx;
      if (bit >= 31) return n;
      const int x = bx * 16 + 8, y = by * 16 + 8;
      // Bottom-up rows: picture row y is stored at Height - 1 - y.
      const uint8_t* p = Bits + static_cast<ptrdiff_t>(Height - 1 - y) * RowLength + x * 3;
      const int v = (p[0] + p[1] + p[2]) / 3;
      if (v > 160) {
        n |= 1 << bit;
      } else if (v > 90) {
        return -1;
      }
    }
  }
  return n;
}

std::vector<uint8_t> ReadFileBytes(const std::string& FileName) {
  std::ifstream in(FileName, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace testsupport
