// TZodazUrIO's AVI files: single frames read from a file, and files written frame by frame (the
// motion detector's clips), through the AVI file services.
#include <algorithm>
#include <array>
#include <cstring>

#include "imaging/core/ie_bitmap.h"
#include "imaging/core/ie_bits.h"
#include "imaging/core/ie_dibbitmap.h"
#include "imaging/core/ie_settings.h"
#include "imaging/io/io_settings.h"
#include "imaging/io/io_threads.h"
#include "imaging/io/zodazur_io.h"
#include "imaging/processing/ie_dib_export.h"
#include "platform/gdi/graphics.h"
#include "platform/system/debug_log.h"

namespace {

void StartAVIServices() {
  if (!AVIServicesStarted.exchange(true)) AVIFileInit();
}

// Milliseconds a frame: Trunc(1000 / (rate / scale)); 0 for a rate or scale of 0.
int32_t FrameDelay(const AVISTREAMINFOW& Info) {
  if (Info.dwRate == 0 || Info.dwScale == 0) return 0;
  return static_cast<int32_t>(1000.0 / (static_cast<double>(Info.dwRate) / Info.dwScale));
}


}  // namespace

int32_t TZodazUrIO::OpenAVIFile(const std::string& FileName) {
  SetAborting(false);
  if (aviFile_) CloseAVIFile();
  params_->AviFrameCount = 0;
  params_->FileName = FileName;
  params_->FileType = fmtUnknown;
  StartAVIServices();
  HRESULT r = AVIFileOpen(&aviFile_, FileName, OF_READ | OF_SHARE_DENY_WRITE, nullptr);
  if (r == AVIERR_OK) r = AVIFileGetStream(aviFile_, &aviStream_, streamtypeVIDEO, 0);
  if (r == AVIERR_OK) r = AVIStreamInfo(aviStream_, &aviStreamInfo_, sizeof aviStreamInfo_);
  if (r == AVIERR_OK) {
    aviFrameGetter_ = AVIStreamGetFrameOpen(aviStream_, nullptr);
    if (!aviFrameGetter_) r = AVIERR_NOCOMPRESSOR;
  }
  if (r != AVIERR_OK) {
    OutputDebugString("OpenAVIFile: \"" + FileName + "\" cannot be read as AVI frames");
    CloseAVIFile();
    SetAborting(true);
    return 0;
  }
  const int32_t length = AVIStreamLength(aviStream_);
  params_->AviFrameCount = length;
  params_->AviFrameDelayTime = FrameDelay(aviStreamInfo_);
  return length;
}

void TZodazUrIO::LoadFromAVIFrame(int32_t FrameIndex) {
  if (MustRunAsynchronously()) {
    TIEIOThread::CreateIntegerCall(this, &TZodazUrIO::LoadFromAVIFrame, FrameIndex);
    return;
  }
  SetAborting(false);
  TIEBitmap* bitmap = IEBitmap();
  if (bitmap && aviFile_ && !aviWriteStream_ && aviStream_ && aviFrameGetter_ && FrameIndex >= 0 &&
      FrameIndex < AVIStreamLength(aviStream_)) {
    const void* dib = AVIStreamGetFrame(aviFrameGetter_, FrameIndex);
    params_->AviFrameCount = AVIStreamLength(aviStream_);
    params_->AviFrameDelayTime = FrameDelay(aviStreamInfo_);
    if (!dib) {
      // A frame that cannot be read or decoded is a failed load, not an unchanged image.
      SetAborting(true);
    } else {
      TIEDibbitmap frame;
      const int32_t bits = DIBToDibbitmap(dib, frame, nullptr, true, PackedDIBSize(dib));
      if (bits == 0 || frame.Width() == 0) {
        SetAborting(true);
      } else {
        bitmap->CopyFromTIEDibbitmap(&frame);
        switch (bits) {
          case 1: case 4: case 8:
            params_->BitsPerSample = bits;
            params_->SamplesPerPixel = 1;
            break;
          case 15:
            params_->BitsPerSample = 5;
            params_->SamplesPerPixel = 3;
            break;
          default:
            params_->BitsPerSample = 8;
            params_->SamplesPerPixel = 3;
            break;
        }
        params_->SetDpiX(DefaultDPIX);
        params_->SetDpiY(DefaultDPIY);
        params_->Width = params_->OriginalWidth = frame.Width();
        params_->Height = params_->OriginalHeight = frame.Height();
        params_->FreeColorMap();
        UpdateAttached();
      }
    }
  }
  DoFinishWork();
}

uint8_t TZodazUrIO::CreateAVIFile(const std::string& FileName, int32_t Rate, const std::string& Codec) {
  SetAborting(false);
  StartAVIServices();
  if (Rate < 1) {
    SetAborting(true);
    return 3;
  }
  // A file still open would be lost.
  if (aviFile_) CloseAVIFile();
  // The file is made beside FileName and replaces it only when complete (at CloseAVIFile).
  if (AVIFileOpen(&aviFile_, FileName, OF_CREATE | OF_WRITE, nullptr) != AVIERR_OK) {
    aviFile_ = nullptr;
    throw EInvalidGraphic("unable to create AVI file");
  }
  aviDiscard_ = false;
  AVISTREAMINFOW info{};
  info.fccType = streamtypeVIDEO;
  info.dwScale = 1;
  info.dwRate = static_cast<uint32_t>(Rate);
  info.dwQuality = -1;
  const int32_t bits = params_->BitsPerSample == 8 && params_->SamplesPerPixel == 1 ? 8 : 24;
  info.dwSuggestedBufferSize = static_cast<uint32_t>(
      std::min<int64_t>(int64_t{RowLength(params_->Width, bits, 32)} * params_->Height, UINT32_MAX));
  info.rcFrame = TRect{0, 0, params_->Width, params_->Height};
  uint8_t result = 0;
  if (AVIFileCreateStream(aviFile_, &aviWriteStream_, &info) != AVIERR_OK) {
    AVIFileDiscard(aviFile_);
    AVIFileRelease(aviFile_);
    aviFile_ = nullptr;
    aviWriteStream_ = nullptr;
    SetAborting(true);
    return 3;
  }
  {
    aviCompressOptions_ = AVICOMPRESSOPTIONS{};
    if (!Codec.empty()) {
      aviCompressOptions_.fccType = streamtypeVIDEO;
      aviCompressOptions_.fccHandler = mmioStringToFOURCC(Codec, 0);
      aviCompressOptions_.dwKeyFrameEvery = 0;
      aviCompressOptions_.dwQuality = static_cast<uint32_t>(ICQUALITY_DEFAULT);
    } else {
      LPAVICOMPRESSOPTIONS options[1] = {&aviCompressOptions_};
      if (!AVISaveOptions(nullptr, 0, 1, &aviWriteStream_, options)) {
        // Cancelled: nothing is made, the old file stays.
        aviDiscard_ = true;
        CloseAVIFile();
        SetAborting(true);
        return 1;
      }
    }
    switch (AVIMakeCompressedStream(&aviStream_, aviWriteStream_, &aviCompressOptions_, nullptr)) {
      case AVIERR_OK: break;
      case AVIERR_NOCOMPRESSOR: result = 1; break;
      case AVIERR_MEMORY: result = 2; break;
      default: result = 3; break;  // AVIERR_UNSUPPORTED and the rest: no stream to write to
    }
  }
  if (result != 0) aviDiscard_ = true;
  SetAborting(result != 0);
  aviFrameIndex_ = 0;
  return result;
}

void TZodazUrIO::WriteAVIFrame() {
  TIEBitmap* bitmap = IEBitmap();
  if (!aviStream_ || !aviWriteStream_ || !bitmap || bitmap->Width() <= 0 || bitmap->Height() <= 0) return;
  try {
    if (bitmap->PixelFormat() != ie24RGB && bitmap->PixelFormat() != ie1g) bitmap->SetPixelFormat(ie24RGB);
    TIEBitmap copy;
    copy.SetLocation(ieMemory);
    copy.Assign(bitmap);
    BITMAPINFOHEADER h{};
    h.biWidth = copy.Width();
    h.biHeight = copy.Height();
    std::vector<uint8_t> format;
    bool setFormat = aviFrameIndex_ == 0;
    const bool eightBit = params_->SamplesPerPixel == 1 && params_->BitsPerSample == 8;
    const bool alpha = !eightBit && bitmap->HasAlphaChannel();
    if (eightBit) {
      copy.SetPixelFormat(ie8p);
      h.biBitCount = 8;
      h.biClrUsed = 256;
      setFormat = true;  // each frame with its own palette
    } else {
      if (copy.PixelFormat() != ie24RGB) copy.SetPixelFormat(ie24RGB);
      h.biBitCount = alpha ? 32 : 24;
    }
    const int32_t rowLength = RowLength(h.biWidth, h.biBitCount, 32);
    h.biSizeImage = static_cast<uint32_t>(int64_t{rowLength} * h.biHeight);
    format.resize(40);
    std::memcpy(format.data(), &h, 40);
    if (eightBit) {
      for (int32_t i = 0; i < 256; ++i) {
        const TIERGB c = i < copy.GetPaletteLength() ? copy.GetPaletteColor(i) : TIERGB{0, 0, 0};
        format.push_back(c.b);
        format.push_back(c.g);
        format.push_back(c.r);
        format.push_back(0);
      }
    }
    // The rows bottom-up, from the picture's last row to its first.
    std::vector<uint8_t> bits(h.biSizeImage, 0);
    TIEBitmap* alphaChannel = alpha ? bitmap->GetAlphaChannel() : nullptr;
    std::vector<uint8_t> alphaRow;
    for (int32_t y = 0; y < h.biHeight; ++y) {
      uint8_t* out = bits.data() + int64_t{rowLength} * (h.biHeight - 1 - y);
      const int32_t w = h.biWidth;
      if (alphaChannel) {
        const auto* a = static_cast<const uint8_t*>(alphaChannel->GetRow(y));
        alphaRow.assign(a, a + w);
        const auto* p = static_cast<const uint8_t*>(copy.GetRow(y));
        for (int32_t x = 0; x < w; ++x) {
          out[4 * x] = p[3 * x];
          out[4 * x + 1] = p[3 * x + 1];
          out[4 * x + 2] = p[3 * x + 2];
          out[4 * x + 3] = alphaRow[x];
        }
      } else {
        std::memcpy(out, copy.GetRow(y), static_cast<size_t>(eightBit ? w : int64_t{w} * 3));
      }
    }
    HRESULT r = AVIERR_OK;
    if (setFormat) r = AVIStreamSetFormat(aviStream_, aviFrameIndex_, format.data(), static_cast<int32_t>(format.size()));
    if (r == AVIERR_OK) {
      r = AVIStreamWrite(aviStream_, aviFrameIndex_, 1, bits.data(), static_cast<int32_t>(bits.size()), AVIIF_KEYFRAME,
                         nullptr, nullptr);
    }
    if (r != AVIERR_OK) {
      // The frame is lost: the caller learns it.
      OutputDebugString("WriteAVIFrame: frame " + std::to_string(aviFrameIndex_) + " not written");
      SetAborting(true);
      return;
    }
    ++aviFrameIndex_;
  } catch (const std::exception& e) {
    OutputDebugString(std::string("WriteAVIFrame: ") + e.what());
    SetAborting(true);
  }
}

void TZodazUrIO::CloseAVIFile() {
  if (aviWriteStream_) {
    // A file without a frame, or whose creation failed, does not replace its target.
    if (aviDiscard_ || aviFrameIndex_ == 0) AVIFileDiscard(aviFile_);
    AVISaveOptionsFree(1, std::array<LPAVICOMPRESSOPTIONS, 1>{&aviCompressOptions_}.data());
    aviCompressOptions_ = AVICOMPRESSOPTIONS{};
    if (aviStream_) AVIStreamRelease(aviStream_);
    AVIStreamRelease(aviWriteStream_);
    if (aviFile_) AVIFileRelease(aviFile_);
    aviStream_ = aviWriteStream_ = nullptr;
    aviFile_ = nullptr;
    aviDiscard_ = false;
    return;
  }
  if (aviFrameGetter_) AVIStreamGetFrameClose(aviFrameGetter_);
  if (aviStream_) AVIStreamRelease(aviStream_);
  if (aviFile_) AVIFileRelease(aviFile_);
  aviFrameGetter_ = nullptr;
  aviStream_ = nullptr;
  aviFile_ = nullptr;
}
