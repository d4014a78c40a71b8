// Compressed streams and saving streams into a new file (AVIMakeCompressedStream, AVISaveV).
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/media/avi_compressors.h"
#include "platform/media/avi_streams.h"
#include "platform/system/debug_log.h"

namespace {

bool CopiesFrames(FOURCC Handler) { return Handler == 0 || SameFOURCC(Handler, comptypeDIB); }

// A stream that compresses the frames written to it into a stream being written.
class TAviCompressedStream : public TAVIStream {
 public:
  TAviCompressedStream(PAVISTREAM Target, const AVICOMPRESSOPTIONS& Options) : target_(Target), options_(Options) {
    target_->AddRef();
  }
  ~TAviCompressedStream() override {
    // What the encoder still holds goes into the file before the stream lets go of it.
    if (open_ && !CopiesFrames(options_.fccHandler)) {
      std::vector<TAviEncodedSample> samples;
      if (encoder_.Flush(samples) == AVIERR_OK) WriteSamples(samples);
    }
    target_->Release();
  }
  HRESULT Info(AVISTREAMINFOW& Info) override { return target_->Info(Info); }
  int64_t Length() override { return frames_; }
  HRESULT ReadFormat(int64_t Position, std::vector<uint8_t>& Format) override {
    if (input_.empty()) return target_->ReadFormat(Position, Format);
    Format = input_;
    return AVIERR_OK;
  }
  HRESULT SetFormat(int64_t Position, const void* Format, int32_t Size) override {
    if (!Format || Size < 40) return AVIERR_BADPARAM;
    const auto* f = static_cast<const uint8_t*>(Format);
    std::vector<uint8_t> format(f, f + Size);
    if (CopiesFrames(options_.fccHandler)) {
      // Frames go through as they are, palette changes included.
      const HRESULT r = target_->SetFormat(Position, Format, Size);
      if (r == AVIERR_OK) {
        input_ = std::move(format);
        open_ = true;
      }
      return r;
    }
    if (open_) return format == input_ ? AVIERR_OK : AVIERR_UNSUPPORTED;
    AVISTREAMINFOW info;
    if (target_->Info(info) != AVIERR_OK) return AVIERR_BADHANDLE;
    HRESULT r = encoder_.Open(options_.fccHandler, format, info.dwScale, info.dwRate, &options_);
    if (r != AVIERR_OK) return r;
    const std::vector<uint8_t>& out = encoder_.OutputFormat();
    r = target_->SetFormat(0, out.data(), static_cast<int32_t>(out.size()));
    if (r != AVIERR_OK) return r;
    if (auto* w = dynamic_cast<TAviWriteStream*>(target_)) w->SetHandler(encoder_.Compressor()->Handler);
    input_ = std::move(format);
    open_ = true;
    return AVIERR_OK;
  }
  HRESULT Read(int64_t, int32_t, void*, int32_t, int32_t* Bytes, int32_t* SamplesRead) override {
    if (Bytes) *Bytes = 0;
    if (SamplesRead) *SamplesRead = 0;
    return AVIERR_UNSUPPORTED;
  }
  HRESULT Write(int64_t Start, int32_t Samples, const void* Buffer, int32_t BufferSize, uint32_t Flags,
                int32_t* SamplesWritten, int32_t* BytesWritten) override {
    if (SamplesWritten) *SamplesWritten = 0;
    if (BytesWritten) *BytesWritten = 0;
    if (!open_) return AVIERR_BADFORMAT;
    if (CopiesFrames(options_.fccHandler)) {
      const HRESULT r = target_->Write(Start, Samples, Buffer, BufferSize, Flags, SamplesWritten, BytesWritten);
      if (r == AVIERR_OK) frames_ = target_->Length();
      return r;
    }
    std::vector<TAviEncodedSample> samples;
    HRESULT r = encoder_.Encode(Buffer, BufferSize, samples);
    if (r == AVIERR_OK) r = WriteSamples(samples);
    if (r != AVIERR_OK) return r;
    ++frames_;
    if (SamplesWritten) *SamplesWritten = 1;
    if (BytesWritten) *BytesWritten = BufferSize;
    return AVIERR_OK;
  }
  int64_t SampleBytes(int64_t) override { return -1; }

 private:
  HRESULT WriteSamples(const std::vector<TAviEncodedSample>& Samples) {
    for (const TAviEncodedSample& s : Samples) {
      const HRESULT r = target_->Write(-1, 1, s.Data.data(), static_cast<int32_t>(s.Data.size()),
                                       s.Key ? AVIIF_KEYFRAME : 0, nullptr, nullptr);
      if (r != AVIERR_OK) return r;
    }
    return AVIERR_OK;
  }

  PAVISTREAM target_;
  AVICOMPRESSOPTIONS options_;
  TAviEncoder encoder_;
  std::vector<uint8_t> input_;
  bool open_ = false;
  int64_t frames_ = 0;
};

}  // namespace

HRESULT AVIMakeCompressedStream(PAVISTREAM* Compressed, PAVISTREAM Source, const AVICOMPRESSOPTIONS* Options,
                                const void* Handler) {
  (void)Handler;
  if (!Compressed) return AVIERR_BADPARAM;
  *Compressed = nullptr;
  if (!Source || !Options) return AVIERR_BADPARAM;
  AVISTREAMINFOW info;
  if (Source->Info(info) != AVIERR_OK) return AVIERR_BADHANDLE;
  if (!dynamic_cast<TAviWriteStream*>(Source)) return AVIERR_UNSUPPORTED;  // compressed reads are not offered
  if (info.fccType != streamtypeVIDEO) return AVIERR_UNSUPPORTED;
  if (!CopiesFrames(Options->fccHandler) && !FindAviCompressor(Options->fccHandler)) return AVIERR_NOCOMPRESSOR;
  *Compressed = new TAviCompressedStream(Source, *Options);
  return AVIERR_OK;
}

// ------------------------------------------------------------------------------------- AVISaveV

namespace {

struct TSaveStream {
  PAVISTREAM Source = nullptr;
  PAVISTREAM Out = nullptr;
  AVISTREAMINFOW Info;
  bool Video = false;
  bool Compress = false;
  PGETFRAME Frames = nullptr;
  TAviEncoder Encoder;
  int64_t Next = 0;          // the next source sample
  int64_t Length = 0;
  double SamplesPerSecond = 0;
  int64_t Unit = 1;          // samples written at a time
  std::vector<uint8_t> Format;
  std::vector<uint8_t> Buffer;
};

HRESULT WriteEncoded(TSaveStream& s, const std::vector<TAviEncodedSample>& samples) {
  for (const TAviEncodedSample& e : samples) {
    const HRESULT r = AVIStreamWrite(s.Out, -1, 1, e.Data.data(), static_cast<int32_t>(e.Data.size()),
                                     e.Key ? AVIIF_KEYFRAME : 0, nullptr, nullptr);
    if (r != AVIERR_OK) return r;
  }
  return AVIERR_OK;
}

// Writes the next unit of one stream.
HRESULT SaveUnit(TSaveStream& s) {
  const int64_t i = s.Next;
  if (s.Compress) {
    s.Next++;
    // Every frame reaches the compressor as a bottom-up DIB (a compressed source decoded, a
    // top-down one turned, a dropped frame repeated).
    auto* dib = static_cast<const uint8_t*>(AVIStreamGetFrame(s.Frames, static_cast<int32_t>(i)));
    if (!dib) return AVIERR_FILEREAD;
    const auto* h = reinterpret_cast<const BITMAPINFOHEADER*>(dib);
    const void* bits = dib + 40 + 4 * int64_t{h->biClrUsed};
    const int64_t size = h->biSizeImage;
    std::vector<TAviEncodedSample> samples;
    HRESULT r = s.Encoder.Encode(bits, size, samples);
    if (r == AVIERR_OK) r = WriteEncoded(s, samples);
    return r;
  }
  // Copied: a unit of samples with its key flag; a video frame's palette change goes first.
  const int64_t n = std::min<int64_t>(s.Unit, s.Length - i);
  s.Next += n;
  if (s.Video) {
    std::vector<uint8_t> f;
    int32_t fs = 0;
    if (AVIStreamReadFormat(s.Source, static_cast<int32_t>(i), nullptr, &fs) == AVIERR_OK && fs > 0) {
      f.resize(static_cast<size_t>(fs));
      if (AVIStreamReadFormat(s.Source, static_cast<int32_t>(i), f.data(), &fs) == AVIERR_OK && f != s.Format) {
        const HRESULT r = AVIStreamSetFormat(s.Out, static_cast<int32_t>(i), f.data(), fs);
        if (r != AVIERR_OK) return r;
        s.Format = f;
      }
    }
  }
  int32_t bytes = 0, samples = 0;
  HRESULT r = AVIStreamRead(s.Source, static_cast<int32_t>(i), static_cast<int32_t>(n), nullptr, 0, &bytes, &samples);
  if (r != AVIERR_OK) return r;
  s.Buffer.resize(static_cast<size_t>(std::max(bytes, 1)));
  r = AVIStreamRead(s.Source, static_cast<int32_t>(i), static_cast<int32_t>(n), s.Buffer.data(), bytes, &bytes, &samples);
  if (r != AVIERR_OK) return r;
  const bool key = !s.Video || s.Source->KeyFrameAtOrBefore(i) == i;
  return AVIStreamWrite(s.Out, static_cast<int32_t>(i), samples, s.Buffer.data(), bytes, key ? AVIIF_KEYFRAME : 0,
                        nullptr, nullptr);
}

}  // namespace

HRESULT AVISaveV(const std::string& FileName, const void* Handler, const AVISAVECALLBACK& Callback, int32_t Streams,
                 PAVISTREAM* StreamList, LPAVICOMPRESSOPTIONS* Options) {
  (void)Handler;
  if (Streams <= 0 || !StreamList) return AVIERR_BADPARAM;
  std::vector<TSaveStream> list(static_cast<size_t>(Streams));
  PAVIFILE file = nullptr;
  HRESULT result = AVIERR_OK;
  auto cleanUp = [&](bool keep) {
    for (TSaveStream& s : list) {
      if (s.Frames) AVIStreamGetFrameClose(s.Frames);
      if (s.Out) AVIStreamRelease(s.Out);
      s.Frames = nullptr;
      s.Out = nullptr;
    }
    if (file) {
      // A failed or stopped save leaves the target as it was.
      if (!keep) AVIFileDiscard(file);
      while (AVIFileRelease(file) > 0) {
      }
    }
  };
  for (int32_t k = 0; k < Streams; ++k) {
    TSaveStream& s = list[static_cast<size_t>(k)];
    s.Source = StreamList[k];
    if (!s.Source || s.Source->Info(s.Info) != AVIERR_OK) return AVIERR_BADHANDLE;
    s.Video = s.Info.fccType == streamtypeVIDEO;
    s.Length = s.Source->Length();
    std::vector<uint8_t> format;
    if (s.Source->ReadFormat(0, format) != AVIERR_OK || format.empty()) return AVIERR_BADFORMAT;
    s.Format = format;
    const AVICOMPRESSOPTIONS* o = Options ? Options[k] : nullptr;
    s.Compress = s.Video && o && !CopiesFrames(o->fccHandler);
    if (s.Compress) {
      // The compressor takes the frames as the frame reader gives them.
      s.Frames = AVIStreamGetFrameOpen(s.Source, nullptr);
      if (!s.Frames) {
        cleanUp(false);
        return AVIERR_BADFORMAT;
      }
      const auto* dib = static_cast<const uint8_t*>(AVIStreamGetFrame(s.Frames, 0));
      if (!dib) {
        cleanUp(false);
        return AVIERR_FILEREAD;
      }
      const auto* h = reinterpret_cast<const BITMAPINFOHEADER*>(dib);
      format.assign(dib, dib + 40 + 4 * int64_t{h->biClrUsed});
      const HRESULT r = s.Encoder.Open(o->fccHandler, format, s.Info.dwScale, s.Info.dwRate, o);
      if (r != AVIERR_OK) {
        cleanUp(false);
        return r;
      }
    }
    const double rate = s.Info.dwScale ? static_cast<double>(s.Info.dwRate) / s.Info.dwScale : 0;
    s.SamplesPerSecond = rate > 0 ? rate : 1;
  }
  // Sound goes in units of one video frame (else of a second).
  double frameSeconds = 1.0;
  for (const TSaveStream& s : list) {
    if (s.Video && s.SamplesPerSecond > 0) {
      frameSeconds = 1.0 / s.SamplesPerSecond;
      break;
    }
  }
  for (TSaveStream& s : list) {
    if (!s.Video) s.Unit = std::max<int64_t>(1, static_cast<int64_t>(std::ceil(s.SamplesPerSecond * frameSeconds)));
    if (!s.Video && s.Info.dwSampleSize == 0) s.Unit = 1;
  }

  result = AVIFileOpen(&file, FileName, OF_CREATE | OF_WRITE, nullptr);
  if (result != AVIERR_OK) {
    cleanUp(false);
    return result;
  }
  for (TSaveStream& s : list) {
    AVISTREAMINFOW info = s.Info;
    info.dwLength = 0;
    info.dwSuggestedBufferSize = 0;
    std::vector<uint8_t> format = s.Format;
    if (s.Compress) {
      info.fccHandler = s.Encoder.Compressor()->Handler;
      format = s.Encoder.OutputFormat();
    }
    result = AVIFileCreateStream(file, &s.Out, &info);
    if (result == AVIERR_OK) result = AVIStreamSetFormat(s.Out, 0, format.data(), static_cast<int32_t>(format.size()));
    if (result != AVIERR_OK) {
      cleanUp(false);
      return result;
    }
    s.Format = s.Compress ? std::vector<uint8_t>() : format;
  }
  int64_t total = 0, done = 0;
  for (const TSaveStream& s : list) total += s.Video ? s.Length : (s.Length + s.Unit - 1) / s.Unit;
  int32_t lastPercent = -1;
  for (;;) {
    // The stream whose next unit starts first.
    TSaveStream* next = nullptr;
    double when = 0;
    for (TSaveStream& s : list) {
      if (s.Next >= s.Length) continue;
      const double t = s.Next / s.SamplesPerSecond;
      if (!next || t < when) {
        next = &s;
        when = t;
      }
    }
    if (!next) break;
    result = SaveUnit(*next);
    if (result != AVIERR_OK) break;
    ++done;
    const int32_t percent = total > 0 ? static_cast<int32_t>(done * 100 / total) : 100;
    if (Callback && percent != lastPercent) {
      lastPercent = percent;
      if (Callback(percent) != 0) {
        result = AVIERR_USERABORT;
        break;
      }
    }
  }
  if (result == AVIERR_OK) {
    for (TSaveStream& s : list) {
      if (!s.Compress) continue;
      std::vector<TAviEncodedSample> samples;
      result = s.Encoder.Flush(samples);
      if (result == AVIERR_OK) result = WriteEncoded(s, samples);
      if (result != AVIERR_OK) break;
    }
  }
  if (result != AVIERR_OK) {
    cleanUp(false);
    return result;
  }
  // Releasing the streams and the file completes the file and puts it in place.
  TAviFileWriter* writer = file->Core()->Writer.get();
  for (TSaveStream& s : list) {
    if (s.Frames) AVIStreamGetFrameClose(s.Frames);
    s.Frames = nullptr;
  }
  for (TSaveStream& s : list) {
    AVIStreamRelease(s.Out);
    s.Out = nullptr;
  }
  result = writer->Close(true);
  while (AVIFileRelease(file) > 0) {
  }
  return result;
}
