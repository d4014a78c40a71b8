#include "platform/media/avi_compressors.h"

#include <QtCore/QString>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "platform/media/ffmpeg_support.h"
#include "platform/media/media_decoders.h"
#include "platform/media/media_settings.h"
#include "platform/registry/registry.h"
#include "platform/system/debug_log.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace {

using Q = TAviCompressor;

// The list, in the order the compressor manager enumerates it.
const std::vector<TAviCompressor>& AllCompressors() {
  static const std::vector<TAviCompressor> all = {
      {mmioFOURCC('M', 'S', 'V', 'C'), "Video 1", "Microsoft Video 1", "msvideo1", {16, 24, 32}, 4, Q::qNone, true, false},
      {mmioFOURCC('M', 'J', 'P', 'G'), "Motion JPEG", "Motion JPEG", "mjpeg", {24, 32}, 1, Q::qScale, false, false},
      {mmioFOURCC('X', 'V', 'I', 'D'), "Xvid MPEG-4", "MPEG-4 part 2 (Xvid)", "mpeg4", {24, 32}, 2, Q::qScale, true, true},
      {mmioFOURCC('H', '2', '6', '4'), "H.264", "H.264 / AVC", "libx264", {24, 32}, 2, Q::qRateFactor, true, true},
      {mmioFOURCC('H', 'F', 'Y', 'U'), "Huffyuv", "Huffyuv lossless", "huffyuv", {24, 32}, 1, Q::qNone, false, false},
      {mmioFOURCC('F', 'F', 'V', '1'), "FFV1", "FFV1 lossless", "ffv1", {24, 32}, 1, Q::qNone, true, false},
      {mmioFOURCC('C', 'V', 'I', 'D'), "Cinepak", "Cinepak", "cinepak", {24, 32}, 4, Q::qNone, true, false},
      {mmioFOURCC('M', 'P', '4', '2'), "MS MPEG-4 V2", "Microsoft MPEG-4 version 2", "msmpeg4v2", {24, 32}, 2, Q::qScale, true, true},
      {mmioFOURCC('D', 'I', 'V', '3'), "MS MPEG-4 V3", "Microsoft MPEG-4 version 3", "msmpeg4", {24, 32}, 2, Q::qScale, true, true},
      {mmioFOURCC('Z', 'M', 'B', 'V'), "Zip Motion Blks", "Zip Motion Blocks Video", "zmbv", {24, 32}, 1, Q::qNone, true, false},
      {mmioFOURCC('U', 'L', 'R', 'G'), "Ut Video RGB", "Ut Video lossless RGB", "utvideo", {24, 32}, 1, Q::qNone, false, false},
      {mmioFOURCC('M', 'A', 'G', 'Y'), "MagicYUV", "MagicYUV lossless", "magicyuv", {24, 32}, 1, Q::qNone, false, false},
      {mmioFOURCC('W', 'M', 'V', '2'), "Windows Media 8", "Windows Media Video 8", "wmv2", {24, 32}, 2, Q::qScale, true, true},
  };
  return all;
}

// The encoder's input pixel formats, best first (the one with alpha for 32-bit frames).
std::vector<AVPixelFormat> PreferredFormats(const std::string& Encoder, uint16_t Bits) {
  const bool alpha = Bits == 32;
  if (Encoder == "msvideo1") return {AV_PIX_FMT_RGB555LE};
  if (Encoder == "mjpeg") return {AV_PIX_FMT_YUVJ420P};
  if (Encoder == "huffyuv") return alpha ? std::vector{AV_PIX_FMT_RGB32, AV_PIX_FMT_RGB24} : std::vector{AV_PIX_FMT_RGB24};
  if (Encoder == "ffv1") return alpha ? std::vector{AV_PIX_FMT_RGB32, AV_PIX_FMT_0RGB32} : std::vector{AV_PIX_FMT_0RGB32};
  if (Encoder == "cinepak") return {AV_PIX_FMT_RGB24};
  if (Encoder == "zmbv") return {AV_PIX_FMT_BGR24, AV_PIX_FMT_BGR0};
  if (Encoder == "utvideo" || Encoder == "magicyuv") return alpha ? std::vector{AV_PIX_FMT_GBRAP, AV_PIX_FMT_GBRP} : std::vector{AV_PIX_FMT_GBRP};
  return {AV_PIX_FMT_YUV420P};
}

AVPixelFormat ChooseFormat(const AVCodec* Codec, const std::string& Encoder, uint16_t Bits) {
  for (AVPixelFormat f : PreferredFormats(Encoder, Bits)) {
    if (!Codec->pix_fmts) return f;
    for (const AVPixelFormat* p = Codec->pix_fmts; *p != AV_PIX_FMT_NONE; ++p)
      if (*p == f) return f;
  }
  return Codec->pix_fmts ? Codec->pix_fmts[0] : AV_PIX_FMT_NONE;
}

const char* const kSettingsKey = "Software\\Brimvale\\Compressors";

// Quality 0 ... 10 000 onto a quantiser of 31 ... 1 (or a rate factor of 51 ... 0).
int QualityToScale(int32_t Quality, int Worst, int Best) {
  const double q = std::clamp(Quality, 0, 10000) / 10000.0;
  return static_cast<int>(std::lround(Worst + (Best - Worst) * q));
}

void CopyName(char16_t* Out, size_t Room, const char* Text) {
  const std::u16string w = QString::fromUtf8(Text).toStdU16String();
  const size_t n = std::min(w.size(), Room - 1);
  std::memcpy(Out, w.data(), n * sizeof(char16_t));
  Out[n] = 0;
}

}  // namespace

const std::vector<TAviCompressor>& AviCompressors() {
  static const std::vector<TAviCompressor> installed = [] {
    std::vector<TAviCompressor> v;
    for (const TAviCompressor& c : AllCompressors()) {
      if (avcodec_find_encoder_by_name(c.Encoder)) v.push_back(c);
    }
    return v;
  }();
  return installed;
}

const TAviCompressor* FindAviCompressor(FOURCC Handler) {
  for (const TAviCompressor& c : AviCompressors())
    if (SameFOURCC(c.Handler, Handler)) return &c;
  return nullptr;
}

bool AviCompressorAccepts(const TAviCompressor& Compressor, const BITMAPINFOHEADER& Input) {
  if (Input.biCompression != BI_RGB) return false;
  if (std::find(Compressor.BitCounts.begin(), Compressor.BitCounts.end(), Input.biBitCount) == Compressor.BitCounts.end())
    return false;
  const int64_t w = Input.biWidth, h = Input.biHeight < 0 ? -int64_t{Input.biHeight} : Input.biHeight;
  if (w <= 0 || h <= 0 || w % Compressor.SizeMultiple != 0 || h % Compressor.SizeMultiple != 0) return false;
  return MediaFrameSizeAllowed(w, h);
}

int32_t AviCompressorStoredQuality(FOURCC Handler) {
  TRegistryIniFile settings(kSettingsKey);
  return settings.ReadInteger(FOURCCToString(Handler), "Quality", -1);
}

// ---------------------------------------------------------------------------- compressor manager

struct TICInstance {
  const TAviCompressor* Compressor;
  uint32_t Mode;
};

bool ICInfo(FOURCC Type, uint32_t Index, ICINFO* Info) {
  if (Type != 0 && !SameFOURCC(Type, ICTYPE_VIDEO)) return false;
  const auto& list = AviCompressors();
  if (Index >= list.size()) return false;
  if (Info) {
    *Info = ICINFO{};
    Info->fccType = ICTYPE_VIDEO;
    Info->fccHandler = list[Index].Handler;
  }
  return true;
}

HIC ICOpen(FOURCC Type, FOURCC Handler, uint32_t Mode) {
  if (Type != 0 && !SameFOURCC(Type, ICTYPE_VIDEO)) return nullptr;
  const TAviCompressor* c = FindAviCompressor(Handler);
  return c ? new TICInstance{c, Mode} : nullptr;
}

int32_t ICClose(HIC Instance) {
  delete Instance;
  return ICERR_OK;
}

int32_t ICGetInfo(HIC Instance, ICINFO* Info, uint32_t Size) {
  if (!Instance || !Info) return 0;
  ICINFO i;
  i.fccType = ICTYPE_VIDEO;
  i.fccHandler = Instance->Compressor->Handler;
  i.dwFlags = VIDCF_COMPRESSFRAMES | (Instance->Compressor->Quality != TAviCompressor::qNone ? VIDCF_QUALITY : 0) |
              (Instance->Compressor->KeyFrames ? VIDCF_TEMPORAL : 0) | (Instance->Compressor->DataRate ? VIDCF_CRUNCH : 0);
  CopyName(i.szName, 16, Instance->Compressor->Name);
  CopyName(i.szDescription, 128, Instance->Compressor->Description);
  CopyName(i.szDriver, 128, Instance->Compressor->Encoder);
  const uint32_t n = std::min<uint32_t>(Size, sizeof i);
  std::memcpy(Info, &i, n);
  return static_cast<int32_t>(n);
}

int32_t ICCompressQuery(HIC Instance, const BITMAPINFOHEADER* Input, const BITMAPINFOHEADER* Output) {
  if (!Instance || !Input) return ICERR_BADFORMAT;
  if (!AviCompressorAccepts(*Instance->Compressor, *Input)) return ICERR_BADFORMAT;
  if (Output && (!SameFOURCC(Output->biCompression, Instance->Compressor->Handler) || Output->biWidth != Input->biWidth ||
                 std::abs(Output->biHeight) != std::abs(Input->biHeight))) {
    return ICERR_BADFORMAT;
  }
  return ICERR_OK;
}

HIC ICLocate(FOURCC Type, FOURCC Handler, const BITMAPINFOHEADER* Input, const BITMAPINFOHEADER* Output, uint32_t Mode) {
  if (Type != 0 && !SameFOURCC(Type, ICTYPE_VIDEO)) return nullptr;
  for (const TAviCompressor& c : AviCompressors()) {
    if (Handler != 0 && !SameFOURCC(c.Handler, Handler)) continue;
    TICInstance probe{&c, Mode};
    if (Input && ICCompressQuery(&probe, Input, Output) != ICERR_OK) continue;
    return new TICInstance{&c, Mode};
  }
  return nullptr;
}

bool ICQueryConfigure(HIC Instance) { return Instance && Instance->Compressor->Quality != TAviCompressor::qNone; }

intptr_t ICSendMessage(HIC Instance, uint32_t Message, intptr_t Param1, intptr_t Param2) {
  switch (Message) {
    case ICM_COMPRESS_QUERY:
      return ICCompressQuery(Instance, reinterpret_cast<const BITMAPINFOHEADER*>(Param1),
                             reinterpret_cast<const BITMAPINFOHEADER*>(Param2));
    case ICM_CONFIGURE:
      if (Param1 == ICMF_CONFIGURE_QUERY) return ICQueryConfigure(Instance) ? ICERR_OK : ICERR_UNSUPPORTED;
      return ICConfigure(Instance, reinterpret_cast<HWND>(Param1));
    default:
      return ICERR_UNSUPPORTED;
  }
}

// The dialog itself lives with the other AVI dialogs (avi_dialogs.cpp).
bool AskCompressorQuality(HWND Parent, const std::string& Name, int32_t& Quality);

int32_t ICConfigure(HIC Instance, HWND Parent) {
  if (!ICQueryConfigure(Instance)) return ICERR_UNSUPPORTED;
  int32_t quality = AviCompressorStoredQuality(Instance->Compressor->Handler);
  if (quality < 0) quality = 7500;
  if (!AskCompressorQuality(Parent, Instance->Compressor->Name, quality)) return ICERR_ABORT;
  TRegistryIniFile settings(kSettingsKey);
  settings.WriteInteger(FOURCCToString(Instance->Compressor->Handler), "Quality", std::clamp(quality, 0, 10000));
  settings.UpdateFile();
  return ICERR_OK;
}

// ------------------------------------------------------------------------------------- encoding

struct TAviEncoder::TImpl {
  TAVCodecContextPtr context;
  TAVFramePtr frame;
  TAVPacketPtr packet;
  SwsContext* sws = nullptr;
  AVPixelFormat input = AV_PIX_FMT_NONE;
  int32_t width = 0, height = 0, rowLength = 0;
  uint32_t palette[256] = {};
  int64_t pts = 0;
  ~TImpl() { sws_freeContext(sws); }
};

TAviEncoder::TAviEncoder() : threads_(MediaCodecThreads()) {}
TAviEncoder::~TAviEncoder() = default;

int32_t TAviEncoder::Threads() const { return impl_ && impl_->context ? impl_->context->thread_count : threads_; }

HRESULT TAviEncoder::Open(FOURCC Handler, const std::vector<uint8_t>& Input, uint32_t Scale, uint32_t Rate,
                          const AVICOMPRESSOPTIONS* Options) {
  InstallFFmpegLog();
  impl_.reset();
  compressor_ = FindAviCompressor(Handler);
  if (!compressor_) return AVIERR_NOCOMPRESSOR;
  if (Input.size() < 40) return AVIERR_BADFORMAT;
  BITMAPINFOHEADER in;
  std::memcpy(&in, Input.data(), 40);
  if (!AviCompressorAccepts(*compressor_, in)) return AVIERR_BADFORMAT;
  const AVCodec* codec = avcodec_find_encoder_by_name(compressor_->Encoder);
  if (!codec) return AVIERR_NOCOMPRESSOR;
  auto impl = std::make_unique<TImpl>();
  impl->width = in.biWidth;
  impl->height = std::abs(in.biHeight);
  impl->rowLength = static_cast<int32_t>((int64_t{in.biWidth} * in.biBitCount + 31) / 32 * 4);
  switch (in.biBitCount) {
    case 16: impl->input = AV_PIX_FMT_RGB555LE; break;
    case 24: impl->input = AV_PIX_FMT_BGR24; break;
    default: impl->input = AV_PIX_FMT_BGRA; break;
  }
  impl->context.reset(avcodec_alloc_context3(codec));
  impl->frame.reset(av_frame_alloc());
  impl->packet.reset(av_packet_alloc());
  if (!impl->context || !impl->frame || !impl->packet) return AVIERR_MEMORY;
  AVCodecContext* c = impl->context.get();
  c->width = impl->width;
  c->height = impl->height;
  c->pix_fmt = ChooseFormat(codec, compressor_->Encoder, in.biBitCount);
  c->codec_tag = compressor_->Handler;
  const int scale = static_cast<int>(std::clamp<uint32_t>(Scale ? Scale : 1, 1, INT32_MAX));
  const int rate = static_cast<int>(std::clamp<uint32_t>(Rate ? Rate : 25, 1, INT32_MAX));
  c->time_base = av_make_q(scale, rate);
  av_reduce(&c->time_base.num, &c->time_base.den, c->time_base.num, c->time_base.den, INT32_MAX);
  c->framerate = av_inv_q(c->time_base);
  c->max_b_frames = 0;
  c->thread_count = threads_;
  // JPEG is full-range BT.601; other YUV encoders get the matrix players assume for the size (BT.709
  // for high definition), tagged where the codec carries it.
  const bool jpeg = c->pix_fmt == AV_PIX_FMT_YUVJ420P;
  const bool hd = impl->width >= 1280 || impl->height > 576;
  c->color_range = jpeg ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG;
  c->colorspace = jpeg || !hd ? AVCOL_SPC_SMPTE170M : AVCOL_SPC_BT709;
  int32_t quality = Options ? static_cast<int32_t>(Options->dwQuality) : ICQUALITY_DEFAULT;
  if (quality < 0 || quality > 10000) quality = AviCompressorStoredQuality(compressor_->Handler);
  AVDictionary* opts = nullptr;
  if (compressor_->Quality == TAviCompressor::qScale) {
    const int q = quality < 0 ? 3 : QualityToScale(quality, 31, 1);
    c->flags |= AV_CODEC_FLAG_QSCALE;
    c->global_quality = q * FF_QP2LAMBDA;
    c->qmin = c->qmax = q;
  } else if (compressor_->Quality == TAviCompressor::qRateFactor) {
    const int crf = quality < 0 ? 23 : QualityToScale(quality, 51, 0);
    av_dict_set_int(&opts, "crf", crf, 0);
  }
  if (std::string(compressor_->Encoder) == "libx264") {
    av_dict_set(&opts, "preset", "veryfast", 0);
    av_dict_set(&opts, "x264-params", "bframes=0", 0);
  }
  if (Options && compressor_->KeyFrames && (Options->dwFlags & AVICOMPRESSF_KEYFRAMES) && Options->dwKeyFrameEvery > 0) {
    c->gop_size = static_cast<int>(std::min<uint32_t>(Options->dwKeyFrameEvery, 600));
  }
  if (Options && compressor_->DataRate && (Options->dwFlags & AVICOMPRESSF_DATARATE) && Options->dwBytesPerSecond > 0 &&
      compressor_->Quality != TAviCompressor::qScale) {
    c->bit_rate = int64_t{Options->dwBytesPerSecond} * 8;
  }
  const int r = avcodec_open2(c, codec, &opts);
  av_dict_free(&opts);
  if (r < 0) {
    OutputDebugString(std::string("AVI compressor ") + compressor_->Encoder + ": " + FFmpegErrorText(r));
    return AVIERR_COMPRESSOR;
  }
  impl->sws = sws_getContext(impl->width, impl->height, impl->input, impl->width, impl->height, c->pix_fmt,
                             SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr, nullptr);
  if (!impl->sws) return AVIERR_COMPRESSOR;
  const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(c->pix_fmt);
  if (desc && !(desc->flags & AV_PIX_FMT_FLAG_RGB) && desc->nb_components >= 3) {
    sws_setColorspaceDetails(impl->sws, sws_getCoefficients(SWS_CS_DEFAULT), 0,
                             sws_getCoefficients(jpeg || !hd ? SWS_CS_ITU601 : SWS_CS_ITU709), jpeg ? 1 : 0, 0, 1 << 16,
                             1 << 16);
  }
  impl->frame->format = c->pix_fmt;
  impl->frame->width = c->width;
  impl->frame->height = c->height;
  if (av_frame_get_buffer(impl->frame.get(), 0) < 0) return AVIERR_MEMORY;
  // The compressed frames' format: the header with the code, then the codec's data.
  BITMAPINFOHEADER out{};
  out.biWidth = impl->width;
  out.biHeight = impl->height;
  out.biBitCount = compressor_->Encoder == std::string("msvideo1") ? 16 : (in.biBitCount == 32 && c->pix_fmt != AV_PIX_FMT_0RGB32 ? 32 : 24);
  out.biCompression = compressor_->Handler;
  out.biSizeImage = static_cast<uint32_t>(int64_t{impl->width} * impl->height * out.biBitCount / 8);
  const size_t extra = c->extradata_size > 0 ? static_cast<size_t>(c->extradata_size) : 0;
  out.biSize = 40 + static_cast<uint32_t>(extra);
  output_.assign(40 + extra, 0);
  std::memcpy(output_.data(), &out, 40);
  if (extra) std::memcpy(output_.data() + 40, c->extradata, extra);
  impl_ = std::move(impl);
  return AVIERR_OK;
}

HRESULT TAviEncoder::Receive(std::vector<TAviEncodedSample>& Out) {
  for (;;) {
    const int r = avcodec_receive_packet(impl_->context.get(), impl_->packet.get());
    if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return AVIERR_OK;
    if (r < 0) return AVIERR_COMPRESSOR;
    TAviEncodedSample s;
    s.Data.assign(impl_->packet->data, impl_->packet->data + impl_->packet->size);
    s.Key = (impl_->packet->flags & AV_PKT_FLAG_KEY) != 0;
    Out.push_back(std::move(s));
    av_packet_unref(impl_->packet.get());
  }
}

HRESULT TAviEncoder::Encode(const void* Bits, int64_t Size, std::vector<TAviEncodedSample>& Out) {
  if (!impl_) return AVIERR_BADHANDLE;
  if (!Bits || Size < int64_t{impl_->rowLength} * impl_->height) return AVIERR_BADSIZE;
  if (av_frame_make_writable(impl_->frame.get()) < 0) return AVIERR_MEMORY;
  // Bottom-up rows: the converter starts at the last row and steps backwards.
  const uint8_t* src[4] = {static_cast<const uint8_t*>(Bits) + int64_t{impl_->height - 1} * impl_->rowLength, nullptr,
                           nullptr, nullptr};
  const int stride[4] = {-impl_->rowLength, 0, 0, 0};
  sws_scale(impl_->sws, src, stride, 0, impl_->height, impl_->frame->data, impl_->frame->linesize);
  impl_->frame->pts = impl_->pts++;
  const int r = avcodec_send_frame(impl_->context.get(), impl_->frame.get());
  if (r < 0) return AVIERR_COMPRESSOR;
  return Receive(Out);
}

HRESULT TAviEncoder::Flush(std::vector<TAviEncodedSample>& Out) {
  if (!impl_) return AVIERR_BADHANDLE;
  const int r = avcodec_send_frame(impl_->context.get(), nullptr);
  if (r < 0 && r != AVERROR_EOF) return AVIERR_COMPRESSOR;
  return Receive(Out);
}
