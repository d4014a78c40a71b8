// Frames of an AVI video stream as packed DIBs: uncompressed frames as stored (with the palette in
// effect at the frame), compressed ones decoded by libavcodec into 24-bit rows. The decoder is found
// from the stream's FOURCC through libavformat's RIFF tables; it starts at the key frame at or
// before a frame and decodes forward, and reads in order go on where the last one stopped.
#include <algorithm>
#include <cstring>
#include <deque>

#include "platform/media/avi_streams.h"
#include "platform/media/ffmpeg_support.h"
#include "platform/media/media_decoders.h"
#include "platform/media/media_settings.h"
#include "platform/system/debug_log.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace {

constexpr uint32_t kDIBFourCC = mmioFOURCC('D', 'I', 'B', ' ');

int64_t RowBytes(int64_t Width, int64_t Bits) { return (Width * Bits + 31) / 32 * 4; }

bool IsUncompressed(const BITMAPINFOHEADER& h) {
  if (h.biCompression == BI_RGB || h.biCompression == kDIBFourCC) {
    return h.biBitCount == 1 || h.biBitCount == 4 || h.biBitCount == 8 || h.biBitCount == 16 ||
           h.biBitCount == 24 || h.biBitCount == 32;
  }
  return h.biCompression == BI_BITFIELDS && (h.biBitCount == 16 || h.biBitCount == 32);
}

// Colour-table entries that follow an uncompressed header.
size_t TableEntries(const BITMAPINFOHEADER& h) {
  if (h.biCompression == BI_BITFIELDS) return 3;
  if (h.biBitCount > 8) return 0;
  const uint32_t max = 1u << h.biBitCount;
  return h.biClrUsed > 0 && h.biClrUsed < max ? h.biClrUsed : max;
}

}  // namespace

class TAviGetFrame {
 public:
  explicit TAviGetFrame(PAVISTREAM Stream) : stream_(Stream) { stream_->AddRef(); }
  ~TAviGetFrame() { stream_->Release(); }
  bool Open(const BITMAPINFOHEADER* Wanted);
  void* Frame(int64_t Position);

 private:
  void* RawFrame(int64_t Chunk, int64_t Position);
  void* DecodedFrame(int64_t Chunk);
  bool Restart(int64_t Key);
  bool ReadPacket(int64_t Index, AVPacket* Packet);

  PAVISTREAM stream_;
  BITMAPINFOHEADER header_{};
  std::vector<uint8_t> dib_;
  bool raw_ = false;
  int64_t length_ = 0;
  int64_t rawRow_ = 0;
  // Decoding.
  TVideoDecoder decoder_;
  AVCodecParameters* parameters_ = nullptr;
  std::deque<int64_t> pending_;  // chunks sent whose frames have not come out
  int64_t next_ = 0;             // the next chunk to send
  int64_t current_ = -1;         // the chunk whose frame dib_ holds
  bool started_ = false, drained_ = false, palettePending_ = false;
  std::vector<uint8_t> chunk_;

  friend void FreeGetFrame(TAviGetFrame*);
};

void FreeGetFrame(TAviGetFrame* g) {
  if (g->parameters_) avcodec_parameters_free(&g->parameters_);
  delete g;
}

bool TAviGetFrame::Open(const BITMAPINFOHEADER* Wanted) {
  AVISTREAMINFOW info;
  if (stream_->Info(info) != AVIERR_OK || info.fccType != streamtypeVIDEO) return false;
  std::vector<uint8_t> format;
  if (stream_->ReadFormat(0, format) != AVIERR_OK || format.size() < 40) return false;
  std::memcpy(&header_, format.data(), 40);
  length_ = stream_->Length();
  const int64_t width = header_.biWidth, height = header_.biHeight < 0 ? -int64_t{header_.biHeight} : header_.biHeight;
  if (width <= 0 || height <= 0) return false;
  raw_ = IsUncompressed(header_);
  if (Wanted && !(Wanted->biBitCount == 24 && Wanted->biCompression == BI_RGB) &&
      !(raw_ && Wanted->biBitCount == header_.biBitCount)) {
    return false;
  }
  if (raw_) {
    if (Wanted && Wanted->biBitCount != header_.biBitCount) return false;  // no conversion of stored frames
    rawRow_ = RowBytes(width, header_.biBitCount);
    return rawRow_ * height <= INT32_MAX;
  }
  if (!MediaFrameSizeAllowed(width, height)) {
    OutputDebugString("AVI frames: a frame of " + std::to_string(width) + " x " + std::to_string(height) + " refused");
    return false;
  }
  InstallFFmpegLog();
  const AVCodecTag* const tables[] = {avformat_get_riff_video_tags(), nullptr};
  const AVCodecID id = av_codec_get_id(tables, header_.biCompression);
  if (id == AV_CODEC_ID_NONE) {
    OutputDebugString("AVI frames: no decoder for \"" + FOURCCToString(header_.biCompression) + "\"");
    return false;
  }
  parameters_ = avcodec_parameters_alloc();
  if (!parameters_) return false;
  parameters_->codec_type = AVMEDIA_TYPE_VIDEO;
  parameters_->codec_id = id;
  parameters_->codec_tag = header_.biCompression;
  parameters_->width = static_cast<int>(width);
  parameters_->height = static_cast<int>(height);
  parameters_->bits_per_coded_sample = header_.biBitCount;
  // What follows the 40-byte header is the codec's own data (a colour table for palette codecs);
  // writers count it in biSize or not, so biSize is not asked.
  const size_t extra = format.size() - 40;
  if (extra > 0 && extra < (1u << 24)) {
    parameters_->extradata = static_cast<uint8_t*>(av_mallocz(extra + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!parameters_->extradata) return false;
    std::memcpy(parameters_->extradata, format.data() + 40, extra);
    parameters_->extradata_size = static_cast<int>(extra);
  }
  std::string error;
  const AVRational tb{static_cast<int>(std::max<uint32_t>(info.dwScale, 1) & 0x7FFFFFFF),
                      static_cast<int>(std::max<uint32_t>(info.dwRate, 1) & 0x7FFFFFFF)};
  if (!decoder_.Open(parameters_, tb, MediaCodecThreads(), error)) {
    OutputDebugString("AVI frames: " + error);
    return false;
  }
  const int64_t row = RowBytes(width, 24);
  dib_.assign(40 + static_cast<size_t>(row * height), 0);
  BITMAPINFOHEADER out{};
  out.biWidth = static_cast<int32_t>(width);
  out.biHeight = static_cast<int32_t>(height);
  out.biBitCount = 24;
  out.biSizeImage = static_cast<uint32_t>(row * height);
  std::memcpy(dib_.data(), &out, 40);
  return true;
}

void* TAviGetFrame::Frame(int64_t Position) {
  if (Position < 0 || Position >= length_) return nullptr;
  // An empty chunk is a dropped frame: the frame before it stands.
  int64_t chunk = Position;
  while (chunk >= 0 && stream_->SampleBytes(chunk) == 0) --chunk;
  if (chunk < 0) return nullptr;
  try {
    return raw_ ? RawFrame(chunk, Position) : DecodedFrame(chunk);
  } catch (const std::exception& e) {
    OutputDebugString(std::string("AVI frames: ") + e.what());
    return nullptr;
  }
}

void* TAviGetFrame::RawFrame(int64_t Chunk, int64_t Position) {
  const int64_t height = header_.biHeight < 0 ? -int64_t{header_.biHeight} : header_.biHeight;
  const int64_t image = rawRow_ * height;
  int32_t bytes = 0, samples = 0;
  if (stream_->Read(Chunk, 1, nullptr, 0, &bytes, &samples) != AVIERR_OK || bytes < image) return nullptr;
  chunk_.resize(static_cast<size_t>(bytes));
  if (stream_->Read(Chunk, 1, chunk_.data(), bytes, &bytes, &samples) != AVIERR_OK || bytes < image) return nullptr;
  // The header and the colour table in effect at the position.
  std::vector<uint8_t> format;
  if (stream_->ReadFormat(Position, format) != AVIERR_OK || format.size() < 40) return nullptr;
  BITMAPINFOHEADER h;
  std::memcpy(&h, format.data(), 40);
  const size_t entries = TableEntries(header_);
  const uint32_t headerSize = std::clamp<uint32_t>(h.biSize, 40, static_cast<uint32_t>(format.size()));
  h.biSize = 40;
  h.biHeight = static_cast<int32_t>(height);
  h.biSizeImage = static_cast<uint32_t>(image);
  if (h.biCompression == kDIBFourCC) h.biCompression = BI_RGB;
  if (header_.biBitCount <= 8) h.biClrUsed = static_cast<uint32_t>(entries);
  dib_.assign(40 + entries * 4 + static_cast<size_t>(image), 0);
  std::memcpy(dib_.data(), &h, 40);
  const size_t table = std::min(entries * 4, format.size() - headerSize);
  std::memcpy(dib_.data() + 40, format.data() + headerSize, table);
  uint8_t* bits = dib_.data() + 40 + entries * 4;
  if (header_.biHeight < 0) {
    // A top-down stream comes out bottom-up.
    for (int64_t y = 0; y < height; ++y) {
      std::memcpy(bits + (height - 1 - y) * rawRow_, chunk_.data() + y * rawRow_, static_cast<size_t>(rawRow_));
    }
  } else {
    std::memcpy(bits, chunk_.data(), static_cast<size_t>(image));
  }
  return dib_.data();
}

bool TAviGetFrame::ReadPacket(int64_t Index, AVPacket* Packet) {
  int32_t bytes = 0, samples = 0;
  if (stream_->Read(Index, 1, nullptr, 0, &bytes, &samples) != AVIERR_OK || bytes <= 0) return false;
  if (av_new_packet(Packet, bytes) < 0) return false;
  if (stream_->Read(Index, 1, Packet->data, bytes, &bytes, &samples) != AVIERR_OK) return false;
  Packet->pts = Packet->dts = Index;
  if (stream_->KeyFrameAtOrBefore(Index) == Index) Packet->flags |= AV_PKT_FLAG_KEY;
  if (palettePending_ && header_.biBitCount <= 8) {
    // Palette decoders take their colours with the first packet.
    std::vector<uint8_t> format;
    if (stream_->ReadFormat(Index, format) == AVIERR_OK && format.size() >= 40) {
      uint8_t* side = av_packet_new_side_data(Packet, AV_PKT_DATA_PALETTE, AVPALETTE_SIZE);
      if (side) {
        const uint32_t headerSize = std::clamp<uint32_t>(header_.biSize, 40, static_cast<uint32_t>(format.size()));
        const size_t n = std::min<size_t>((format.size() - headerSize) / 4, 256);
        for (size_t i = 0; i < n; ++i) {
          const uint8_t* q = format.data() + headerSize + 4 * i;
          const uint32_t argb = 0xFF000000u | uint32_t{q[2]} << 16 | uint32_t{q[1]} << 8 | q[0];
          std::memcpy(side + 4 * i, &argb, 4);
        }
      }
    }
    palettePending_ = false;
  }
  return true;
}

bool TAviGetFrame::Restart(int64_t Key) {
  decoder_.Flush();
  pending_.clear();
  next_ = Key;
  current_ = -1;
  started_ = true;
  drained_ = false;
  palettePending_ = true;
  return true;
}

void* TAviGetFrame::DecodedFrame(int64_t Chunk) {
  if (Chunk == current_) return dib_.data();
  const int64_t key = stream_->KeyFrameAtOrBefore(Chunk);
  // Go on from where the decoder stands when no key frame lies between; else start at the key.
  const bool goOn = started_ && !drained_ && Chunk > current_ && key < next_ &&
                    (pending_.empty() || pending_.front() <= Chunk);
  if (!goOn) Restart(key);
  TAVPacketPtr packet(av_packet_alloc());
  TAVFramePtr frame(av_frame_alloc());
  if (!packet || !frame) return nullptr;
  const int32_t row = static_cast<int32_t>(RowBytes(header_.biWidth, 24));
  // Each chunk sent comes out at most once, and a drained decoder gives nothing more: the loop ends.
  for (int64_t guard = 0; guard < length_ + 64; ++guard) {
    for (;;) {
      const int r = decoder_.Receive(frame.get());
      if (r < 0) break;
      if (pending_.empty()) continue;
      const int64_t index = pending_.front();
      pending_.pop_front();
      if (index == Chunk) {
        if (frame->width != header_.biWidth || frame->height != std::abs(header_.biHeight) ||
            !decoder_.Convert(frame.get(), dib_.data() + 40, row)) {
          return nullptr;
        }
        current_ = Chunk;
        av_frame_unref(frame.get());
        return dib_.data();
      }
      av_frame_unref(frame.get());
      if (index > Chunk) return nullptr;
    }
    if (drained_) return nullptr;
    if (next_ >= length_ || next_ > Chunk + 64) {
      // The frames still inside the decoder come out when it drains.
      decoder_.Send(nullptr);
      drained_ = true;
      continue;
    }
    const int64_t index = next_++;
    if (stream_->SampleBytes(index) <= 0) continue;
    av_packet_unref(packet.get());
    if (!ReadPacket(index, packet.get())) continue;
    int r = decoder_.Send(packet.get());
    if (r == AVERROR(EAGAIN)) {
      // The decoder is full: what it holds comes out first, then the packet goes in.
      --next_;
      continue;
    }
    if (r >= 0) pending_.push_back(index);
  }
  return nullptr;
}

PGETFRAME AVIStreamGetFrameOpen(PAVISTREAM Stream, const BITMAPINFOHEADER* Wanted) {
  if (!Stream) return nullptr;
  auto* g = new TAviGetFrame(Stream);
  if (!g->Open(Wanted)) {
    FreeGetFrame(g);
    return nullptr;
  }
  return g;
}

void* AVIStreamGetFrame(PGETFRAME GetFrame, int32_t Position) { return GetFrame ? GetFrame->Frame(Position) : nullptr; }

HRESULT AVIStreamGetFrameClose(PGETFRAME GetFrame) {
  if (!GetFrame) return AVIERR_BADHANDLE;
  FreeGetFrame(GetFrame);
  return AVIERR_OK;
}
