#include "platform/media/media_decoders.h"

#include <algorithm>
#include <cstring>

#include "platform/media/media_settings.h"
#include "platform/media/packed_yuv_rows.h"
#include "platform/media/video_sample.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

bool MediaFrameSizeAllowed(int64_t Width, int64_t Height) {
  if (Width <= 0 || Height <= 0 || Width > INT32_MAX || Height > INT32_MAX) return false;
  if (av_image_check_size2(static_cast<unsigned>(Width), static_cast<unsigned>(Height), INT64_MAX,
                           AV_PIX_FMT_BGR24, 0, nullptr) < 0)
    return false;
  return Width * Height <= MediaPixelLimit();
}

// ------------------------------------------------------------------------------------ any stream

bool TStreamDecoder::Open(AVStream* Stream, int Threads, std::string& Error) {
  return Open(Stream->codecpar, Stream->time_base, Threads, Error);
}

bool TStreamDecoder::Open(const AVCodecParameters* Parameters, AVRational TimeBase, int Threads, std::string& Error) {
  const AVCodec* codec = avcodec_find_decoder(Parameters->codec_id);
  if (!codec) {
    Error = std::string("no decoder for ") + avcodec_get_name(Parameters->codec_id);
    return false;
  }
  TAVCodecContextPtr context(avcodec_alloc_context3(codec));
  if (!context) {
    Error = "out of memory";
    return false;
  }
  int r = avcodec_parameters_to_context(context.get(), Parameters);
  if (r < 0) {
    Error = "bad codec parameters: " + FFmpegErrorText(r);
    return false;
  }
  context->pkt_timebase = TimeBase;
  context->thread_count = std::max(0, Threads);
  Configure(context.get());
  r = avcodec_open2(context.get(), codec, nullptr);
  if (r < 0) {
    Error = "cannot open the decoder: " + FFmpegErrorText(r);
    return false;
  }
  context_ = std::move(context);
  return true;
}

int TStreamDecoder::Send(const AVPacket* Packet) {
  return context_ ? avcodec_send_packet(context_.get(), Packet) : AVERROR(EINVAL);
}

int TStreamDecoder::Receive(AVFrame* Frame) {
  return context_ ? avcodec_receive_frame(context_.get(), Frame) : AVERROR(EINVAL);
}

void TStreamDecoder::Flush() {
  if (context_) avcodec_flush_buffers(context_.get());
}

// ----------------------------------------------------------------------------------------- video

TVideoDecoder::~TVideoDecoder() { sws_freeContext(sws_); }

void TVideoDecoder::Reset() {
  TStreamDecoder::Reset();
  sws_freeContext(sws_);
  sws_ = nullptr;
  swsFormat_ = -1;
}

void TVideoDecoder::Configure(AVCodecContext* Context) {
  // The decoder refuses frames above the layer's limit before it allocates them.
  const int64_t limit = MediaPixelLimit();
  Context->max_pixels = limit > INT64_MAX / 2 ? INT64_MAX / 2 : limit;
}

void TVideoDecoder::SetSkipNonRef(bool Skip) {
  if (context_) context_->skip_frame = Skip ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
}

namespace {

// A colour tag of a frame as a number: decoders pass on values from the bitstream that the
// enumeration does not name, which must not be read as the enumeration.
template <class E>
int TagValue(const E& Field) {
  static_assert(sizeof(E) == sizeof(int));
  int v;
  std::memcpy(&v, &Field, sizeof v);
  return v;
}

// The matrix of a stream; an untagged one is guessed from its size, as players do (BT.709 for
// high definition, BT.601 below).
int SwsColorSpace(int Space, int Width, int Height) {
  switch (Space) {
    case AVCOL_SPC_BT709: return SWS_CS_ITU709;
    case AVCOL_SPC_FCC: return SWS_CS_FCC;
    case AVCOL_SPC_BT470BG:
    case AVCOL_SPC_SMPTE170M: return SWS_CS_ITU601;
    case AVCOL_SPC_SMPTE240M: return SWS_CS_SMPTE240M;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL: return SWS_CS_BT2020;
    default: return Width >= 1280 || Height > 576 ? SWS_CS_ITU709 : SWS_CS_ITU601;
  }
}

bool FullRange(const AVFrame* Frame) {
  if (TagValue(Frame->color_range) == AVCOL_RANGE_JPEG) return true;
  switch (Frame->format) {
    case AV_PIX_FMT_YUVJ420P:
    case AV_PIX_FMT_YUVJ422P:
    case AV_PIX_FMT_YUVJ444P:
    case AV_PIX_FMT_YUVJ440P:
    case AV_PIX_FMT_YUVJ411P: return true;
    default: return false;
  }
}

}  // namespace

bool TVideoDecoder::Convert(const AVFrame* Frame, TVideoSample& Sample) {
  if (Frame->width != Sample.Width() || Frame->height != Sample.Height()) return false;
  return Convert(Frame, Sample.MutableBits(), Sample.RowLength());
}

bool TVideoDecoder::Convert(const AVFrame* Frame, uint8_t* Bits, int32_t RowLength) {
  const int w = Frame->width, h = Frame->height;
  if (w <= 0 || h <= 0 || Frame->format < 0) return false;
  const auto format = static_cast<AVPixelFormat>(Frame->format);
  const int space = SwsColorSpace(TagValue(Frame->colorspace), w, h);
  const int range = FullRange(Frame) ? 1 : 0;
  // Packed 4:2:2 frames (most capture devices') go straight to the rows, the same bytes as below.
  if (PackedYuvFrameToDib(Frame, space, range != 0, Bits, RowLength)) return true;
  if (!sws_ || w != swsWidth_ || h != swsHeight_ || Frame->format != swsFormat_ || space != swsSpace_ ||
      range != swsRange_) {
    sws_ = sws_getCachedContext(sws_, w, h, format, w, h, AV_PIX_FMT_BGR24, SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (!sws_) {
      swsFormat_ = -1;
      return false;
    }
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(format);
    if (desc && !(desc->flags & AV_PIX_FMT_FLAG_RGB)) {
      sws_setColorspaceDetails(sws_, sws_getCoefficients(space), range, sws_getCoefficients(SWS_CS_DEFAULT), 1, 0,
                               1 << 16, 1 << 16);
    }
    swsWidth_ = w;
    swsHeight_ = h;
    swsFormat_ = Frame->format;
    swsSpace_ = space;
    swsRange_ = range;
  }
  // A bottom-up DIB: the converter starts at the last row and steps backwards.
  uint8_t* dst[4] = {Bits + static_cast<ptrdiff_t>(h - 1) * RowLength, nullptr, nullptr, nullptr};
  const int dstStride[4] = {-RowLength, 0, 0, 0};
  return sws_scale(sws_, Frame->data, Frame->linesize, 0, h, dst, dstStride) == h;
}

// ----------------------------------------------------------------------------------------- audio

TAudioDecoder::~TAudioDecoder() { Reset(); }

void TAudioDecoder::Reset() {
  TStreamDecoder::Reset();
  swr_free(&swr_);
  av_channel_layout_uninit(&swrLayout_);
  swrRate_ = 0;
  swrFormat_ = -1;
}

int64_t TAudioDecoder::Convert(const AVFrame* Frame, std::vector<int16_t>& Out) {
  if (Frame->nb_samples <= 0 || Frame->sample_rate <= 0) return 0;
  AVChannelLayout layout{};
  if (Frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || av_channel_layout_check(&Frame->ch_layout) == 0) {
    if (Frame->ch_layout.nb_channels <= 0) return 0;
    av_channel_layout_default(&layout, Frame->ch_layout.nb_channels);
  } else if (av_channel_layout_copy(&layout, &Frame->ch_layout) < 0) {
    return 0;
  }
  if (!swr_ || Frame->sample_rate != swrRate_ || Frame->format != swrFormat_ ||
      av_channel_layout_compare(&layout, &swrLayout_) != 0) {
    swr_free(&swr_);
    AVChannelLayout outLayout{};
    av_channel_layout_default(&outLayout, output_.Channels);
    int r = swr_alloc_set_opts2(&swr_, &outLayout, AV_SAMPLE_FMT_S16, output_.SampleRate, &layout,
                                static_cast<AVSampleFormat>(Frame->format), Frame->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&outLayout);
    if (r < 0 || swr_init(swr_) < 0) {
      swr_free(&swr_);
      av_channel_layout_uninit(&layout);
      return 0;
    }
    swrRate_ = Frame->sample_rate;
    swrFormat_ = Frame->format;
    av_channel_layout_uninit(&swrLayout_);
    av_channel_layout_copy(&swrLayout_, &layout);
  }
  av_channel_layout_uninit(&layout);
  const int capacity = swr_get_out_samples(swr_, Frame->nb_samples);
  if (capacity <= 0) return 0;
  const size_t start = Out.size();
  Out.resize(start + static_cast<size_t>(capacity) * output_.Channels);
  uint8_t* dst = reinterpret_cast<uint8_t*>(Out.data() + start);
  const int n = swr_convert(swr_, &dst, capacity, const_cast<const uint8_t**>(Frame->extended_data), Frame->nb_samples);
  Out.resize(start + static_cast<size_t>(std::max(n, 0)) * output_.Channels);
  return std::max(n, 0);
}
